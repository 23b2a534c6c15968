#pragma once
// What a command's link records for --capture and --trace: every exchange,
// printed decoded on stderr as it ends (--trace), and written into a pcapng
// file through a safe save when the command ends, however it ended (--capture).

#include <optional>
#include <string>

#include "hart/TraceSink.h"
#include "traffic/ExchangeRecorder.h"

namespace qt40::cli {

class CliTraffic {
public:
    CliTraffic(std::string capturePath, bool decodedTrace, std::string port);
    CliTraffic(const CliTraffic&) = delete;
    CliTraffic& operator=(const CliTraffic&) = delete;

    traffic::ExchangeRecorder& Recorder() { return recorder_; }
    // Writes the capture when one was asked for: nothing, or why it failed.
    std::optional<std::string> Finish();

private:
    std::string capturePath_;
    std::string port_;
    StderrTraceSink trace_;
    traffic::ExchangeRecorder recorder_;
};

}  // namespace qt40::cli
