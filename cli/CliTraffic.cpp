#include "cli/CliTraffic.h"

#include "files/Utf8Path.h"
#include "traffic/CaptureWriter.h"
#include "traffic/ExchangeText.h"

#ifndef QT40_VERSION
#define QT40_VERSION "0.0.0"
#endif

namespace qt40::cli {

CliTraffic::CliTraffic(std::string capturePath, bool decodedTrace, std::string port)
    : capturePath_(std::move(capturePath)), port_(std::move(port)) {
    if (decodedTrace) {
        recorder_.OnFinished([this](const traffic::Exchange& e) {
            for (const std::string& line : traffic::TraceLines(e)) trace_.Trace(line + "\n");
        });
    }
}

std::optional<std::string> CliTraffic::Finish() {
    if (capturePath_.empty()) return std::nullopt;
    traffic::CaptureSource source;
    source.line = port_;
    source.wallClockStartUs = recorder_.WallClockStartUs();
    source.dropped = recorder_.Dropped();
    source.application = std::string("qt40cfg-cli ") + QT40_VERSION;
    const FileResult saved = traffic::CaptureWriter::Save(PathFromUtf8(capturePath_), recorder_.All(), source);
    if (saved.ok()) return std::nullopt;
    return "capture not written: " + saved.error;
}

}  // namespace qt40::cli
