#pragma once
// The HART exchanges in a capture: HART-IP token-passing messages found in
// the UDP datagrams and TCP streams of a pcapng file (our own captures of a
// serial line among them), requests paired with the responses of the same
// sequence number. What our own captures say in their comments (preambles
// removed, the try, how an exchange ended) is read back.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "traffic/Exchange.h"

namespace qt40::traffic {

struct CaptureContents {
    std::vector<std::string> comments;  // the sections' comments
    std::int64_t wallClockStartUs = 0;  // time of the first packet
    std::vector<Exchange> exchanges;
    std::size_t packets = 0;
    std::size_t otherMessages = 0;  // HART-IP messages that carry no HART frame
};

class CaptureReader {
public:
    static std::optional<CaptureContents> Read(std::span<const std::uint8_t> bytes,
                                               std::string& error);
    // The file's bytes (up to 256 MiB), then Read.
    static std::optional<CaptureContents> ReadFile(const std::filesystem::path& path,
                                                   std::string& error);
};

}  // namespace qt40::traffic
