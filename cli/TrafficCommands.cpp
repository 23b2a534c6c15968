#include "cli/TrafficCommands.h"

#include <cstdio>

#include "cli/CliApp.h"
#include "files/Utf8Path.h"
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
        err_ << "qt40cfg-cli: " << error << '\n' << std::flush;
        return kExitFailed;
    }
    for (const std::string& comment : capture->comments) out_ << "# " << comment << '\n';
    out_ << "# " << capture->exchanges.size() << " exchanges in " << capture->packets
         << " packets, starting " << traffic::UtcText(capture->wallClockStartUs) << '\n';
    for (const traffic::Exchange& e : capture->exchanges) {
        out_ << '\n';
        char at[48];
        std::snprintf(at, sizeof at, "+%.6f s ", static_cast<double>(e.sentUs) / 1e6);
        bool first = true;
        for (const std::string& line : traffic::DetailLines(e)) {
            out_ << (first ? at : "") << line << '\n';
            first = false;
        }
    }
    out_.flush();
    return kExitOk;
}

}  // namespace qt40::cli
