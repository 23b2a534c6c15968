#include "cli/TrafficCommands.h"

#include <algorithm>
#include <cstdio>

#include "cli/EnglishMessages.h"
#include "cli/CliApp.h"
#include "files/Utf8Path.h"
#include "model/PrintableText.h"
#include "traffic/CaptureReader.h"
#include "traffic/ExchangeText.h"

namespace qt40::cli {

void TrafficCommands::Register(CLI::App& app) {
    decode_ = app.add_subcommand("decode", "Print the HART exchanges of a pcapng capture, decoded");
    decode_->add_option("file", file_, "A capture (pcapng), from --capture or from Wireshark")
        ->required();
}

std::optional<int> TrafficCommands::Run() {
    if (decode_ && *decode_) return Decode();
    return std::nullopt;
}

int TrafficCommands::Decode() {
    std::string error;
    const auto capture = traffic::CaptureReader::ReadFile(PathFromUtf8(file_), error);
    if (!capture) {
        out_.flush();
        err_ << "qt40cfg-cli: " << PrintableText(error) << '\n' << std::flush;
        return kExitFailed;
    }
    // A comment is the file's text: each of its lines after "# ", escaped.
    for (const std::string& comment : capture->comments) {
        std::size_t from = 0;
        for (;;) {
            const std::size_t end = comment.find('\n', from);
            out_ << "# " << PrintableText(comment.substr(from, end - from)) << '\n';
            if (end == std::string::npos) break;
            from = end + 1;
        }
    }
    // A HART-IP session's own messages are counted apart from the exchanges.
    const auto session = static_cast<std::size_t>(
        std::count_if(capture->exchanges.begin(), capture->exchanges.end(),
                      [](const traffic::Exchange& e) { return e.sessionMessage; }));
    out_ << "# " << capture->exchanges.size() - session << " exchanges";
    if (session) out_ << " and " << session << (session == 1 ? " session message" : " session messages");
    out_ << " in " << capture->packets << " packets";
    if (capture->packets) out_ << ", starting " << traffic::UtcText(capture->wallClockStartUs);
    out_ << '\n';
    for (const std::string& line : capture->NotRead()) out_ << "# " << line << '\n';
    const traffic::DecoderTexts texts = EnglishDecoderTexts();
    for (const traffic::Exchange& e : capture->exchanges) {
        out_ << '\n';
        char at[48];
        std::snprintf(at, sizeof at, "+%.6f s ", static_cast<double>(e.sentUs) / 1e6);
        bool first = true;
        for (const std::string& line : traffic::DetailLines(e, texts)) {
            out_ << (first ? at : "") << PrintableText(line) << '\n';
            first = false;
        }
    }
    out_.flush();
    if (capture->Damaged()) {
        err_ << "qt40cfg-cli: " << PrintableText(file_)
             << " is damaged: " << PrintableText(capture->DamageText()) << '\n'
             << std::flush;
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace qt40::cli
