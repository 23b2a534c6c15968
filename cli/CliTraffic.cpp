#include "cli/CliTraffic.h"

#include "cli/EnglishMessages.h"
#include "files/Utf8Path.h"
#include "model/PrintableText.h"
#include "traffic/ExchangeText.h"

#ifndef QT40_VERSION
#define QT40_VERSION "0.0.0"
#endif

namespace qt40::cli {
namespace {

// The transport a port name picks, for a capture whose first exchange never comes.
traffic::Transport TransportOf(const std::string& port) {
    if (port.rfind("hartip+udp://", 0) == 0) return traffic::Transport::HartIpUdp;
    if (port.rfind("hartip://", 0) == 0) return traffic::Transport::HartIpTcp;
    return traffic::Transport::Serial;
}

}  // namespace

CliTraffic::CliTraffic(std::string capturePath, bool decodedTrace, std::string port)
    : capturePath_(std::move(capturePath)), port_(std::move(port)) {
    if (!capturePath_.empty()) {
        traffic::CaptureSource source;
        source.line = port_;
        source.wallClockStartUs = recorder_.WallClockStartUs();
        source.application = std::string("qt40cfg-cli ") + QT40_VERSION;
        capture_ = std::make_unique<traffic::CaptureFile>(PathFromUtf8(capturePath_), source,
                                                          TransportOf(port_));
    }
    recorder_.OnFinished([this, decodedTrace, texts = EnglishDecoderTexts()](const traffic::Exchange& e) {
        if (capture_) capture_->Add(e);
        if (!decodedTrace) return;
        for (const std::string& line : traffic::TraceLines(e, texts))
            trace_.Trace(PrintableText(line) + "\n");
    });
}

std::optional<std::string> CliTraffic::Start() {
    if (!capture_) return std::nullopt;
    if (auto error = capture_->Open()) return "capture not written: " + *error;
    return std::nullopt;
}

std::optional<std::string> CliTraffic::Finish() {
    if (!capture_) return std::nullopt;
    if (auto error = capture_->Finish()) return "capture not written: " + *error;
    return std::nullopt;
}

}  // namespace qt40::cli
