#pragma once
// Recorded exchanges as a pcapng capture Wireshark decodes. Over a serial
// line each request and answer becomes a HART-IP token-passing message
// (request or response, the exchange number as sequence number) in a UDP
// datagram between 192.0.2.1 and 192.0.2.2, port 5094, the preambles removed;
// the capture's comment says so. Exchanges that went over HART-IP are written
// as the messages went, over UDP or over one consistent TCP connection, the
// session's own messages among them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "files/FileResult.h"
#include "traffic/IpFlow.h"
#include "traffic/PcapngWriter.h"
#include "traffic/Exchange.h"

namespace qt40::traffic {

struct CaptureSource {
    std::string line;          // the port or endpoint, for the comment
    std::int64_t wallClockStartUs = 0;  // the recorder's monotonic 0 in UTC
    std::uint64_t dropped = 0;  // exchanges the recorder dropped before these
    std::string application = "qt40cfg";
    std::string note{};  // said at the end of the comment
};

class CaptureWriter {
public:
    // The comment is written from `transport` (that of the first exchange).
    CaptureWriter(const CaptureSource& source, Transport transport);

    void Add(const Exchange& exchange);
    // The bytes written since the last Take (the section header first), for
    // a file written as the exchanges come.
    std::vector<std::uint8_t> Take();
    // Closes an open TCP connection and returns the bytes not yet taken
    // (without a Take: the whole file).
    std::vector<std::uint8_t> Finish();

    // All of it, saved through a temporary file that replaces `path` only
    // when complete.
    static FileResult Save(const std::filesystem::path& path,
                           const std::vector<ExchangePtr>& exchanges, const CaptureSource& source);
    static std::string Comment(const CaptureSource& source, Transport transport);

private:
    void Write(std::int64_t us, const std::vector<IpFlow::Packet>& packets,
               const std::string& comment);
    void AddSerial(const Exchange& e);
    void AddHartIp(const Exchange& e);
    void AddSession(const Exchange& e);

    CaptureSource source_;
    PcapngWriter pcapng_;
    IpFlow flow_;
    std::int64_t lastUs_ = 0;
};

}  // namespace qt40::traffic
