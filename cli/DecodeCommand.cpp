#include "cli/DecodeCommand.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>

#include "cli/CliContext.h"
#include "cli/EnglishMessages.h"
#include "files/Utf8Path.h"
#include "model/PrintableText.h"
#include "traffic/CaptureReader.h"
#include "traffic/ExchangeText.h"

namespace qt40::cli {

DecodeCommand::DecodeCommand()
    : CliCommand("decode", "Print the HART exchanges of a pcapng capture, decoded") {}

void DecodeCommand::AddOptions(CLI::App& command, CliContext&) {
    command.add_option("file", file_, "A capture (pcapng), from --capture or from Wireshark")
        ->required();
}

int DecodeCommand::Run(CliContext& context) {
    std::ostream& out = context.Out();
    std::string error;
    const auto capture = traffic::CaptureReader::ReadFile(PathFromUtf8(file_), error);
    if (!capture) return context.Fail(PrintableText(error));
    // A comment is the file's text: each of its lines after "# ", escaped.
    for (const std::string& comment : capture->comments) {
        std::size_t from = 0;
        for (;;) {
            const std::size_t end = comment.find('\n', from);
            out << "# " << PrintableText(comment.substr(from, end - from)) << '\n';
            if (end == std::string::npos) break;
            from = end + 1;
        }
    }
    // A HART-IP session's own messages are counted apart from the exchanges.
    const auto session = static_cast<std::size_t>(
        std::count_if(capture->exchanges.begin(), capture->exchanges.end(),
                      [](const traffic::Exchange& e) { return e.sessionMessage; }));
    out << "# " << capture->exchanges.size() - session << " exchanges";
    if (session)
        out << " and " << session << (session == 1 ? " session message" : " session messages");
    out << " in " << capture->packets << " packets";
    if (capture->packets) out << ", starting " << traffic::UtcText(capture->wallClockStartUs);
    out << '\n';
    for (const std::string& line : capture->NotRead()) out << "# " << line << '\n';
    const traffic::DecoderTexts texts = EnglishDecoderTexts();
    for (const traffic::Exchange& e : capture->exchanges) {
        out << '\n';
        char at[48];
        std::snprintf(at, sizeof at, "+%.6f s ", static_cast<double>(e.sentUs) / 1e6);
        bool first = true;
        for (const std::string& line : traffic::DetailLines(e, texts)) {
            out << (first ? at : "") << PrintableText(line) << '\n';
            first = false;
        }
    }
    out.flush();
    if (capture->Damaged()) {
        return context.Fail(PrintableText(file_) +
                            " is damaged: " + PrintableText(capture->DamageText()));
    }
    return kExitOk;
}

}  // namespace qt40::cli
