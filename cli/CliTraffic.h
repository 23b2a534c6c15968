#pragma once
// What a command's link records for --capture and --trace: every exchange,
// printed decoded on stderr as it ends (--trace), and written into a pcapng
// file as it ends (--capture), the file opened before anything is sent.

#include <memory>
#include <optional>
#include <string>

#include "base/TraceSink.h"
#include "traffic/CaptureFile.h"
#include "traffic/ExchangeRecorder.h"

namespace qt40::cli {

class CliTraffic {
public:
    CliTraffic(std::string capturePath, bool decodedTrace, std::string port);
    CliTraffic(const CliTraffic&) = delete;
    CliTraffic& operator=(const CliTraffic&) = delete;

    traffic::ExchangeRecorder& Recorder() { return recorder_; }
    // Opens the capture when one was asked for: nothing, or why it cannot be written.
    std::optional<std::string> Start();
    // Closes the capture: nothing, or why it is not whole.
    std::optional<std::string> Finish();

private:
    std::string capturePath_;
    std::string port_;
    StderrTraceSink trace_;
    std::unique_ptr<traffic::CaptureFile> capture_;
    traffic::ExchangeRecorder recorder_;
};

}  // namespace qt40::cli
