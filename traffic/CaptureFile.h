#pragma once
// A capture written as the exchanges happen: the file is opened (and its
// path checked) before anything is sent, and every exchange is on disk as a
// whole pcapng block once it has ended, so a command that is killed leaves a
// capture Wireshark reads up to its last exchange. Exchanges may come from
// any thread.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include "traffic/CaptureWriter.h"

namespace qt40::traffic {

class CaptureFile {
public:
    // `transport` writes the comment of a capture whose first exchange never comes.
    CaptureFile(std::filesystem::path path, CaptureSource source, Transport transport);
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // Creates (or empties) the file: why it cannot, or nothing.
    std::optional<std::string> Open();
    void Add(const Exchange& exchange);
    // Closes the capture (an open TCP connection with it): why it is not
    // whole, or nothing.
    std::optional<std::string> Finish();

private:
    void Put(const std::vector<std::uint8_t>& bytes);

    std::filesystem::path path_;
    CaptureSource source_;
    Transport transport_;
    std::mutex mutex_;
    std::ofstream file_;
    std::optional<CaptureWriter> writer_;  // from the first exchange on
    std::string error_;
};

}  // namespace qt40::traffic
