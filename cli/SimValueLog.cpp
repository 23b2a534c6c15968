#include "cli/SimValueLog.h"

#include <span>
#include <string>
#include <vector>

#include "cli/RecordPrinter.h"
#include "hart/CommandSet.h"
#include "hart/FrameCodec.h"

namespace qt40::cli {

bool SimValueLog::Open(const std::string& path) {
    file_.open(path, std::ios::out | std::ios::trunc);
    return file_.is_open();
}

void SimValueLog::Observe(const sim::SimReply& reply) {
    // Line noise, then the preambles, then the frame.
    const auto& bytes = reply.bytes;
    std::size_t start = 0;
    while (start < bytes.size() && bytes[start] != 0xFF) ++start;
    while (start < bytes.size() && bytes[start] == 0xFF) ++start;
    const std::span<const std::uint8_t> frame(bytes.data() + start, bytes.size() - start);
    if (!DecodeResponseFrame(session_.link, frame)) return;
    const CommandStep* step = FindCommand(session_.link.command);
    if (step == nullptr || !DecodeAnswer(session_, *step)) return;
    const std::uint8_t command = session_.link.command;
    if ((command != 2 && command != 3) || !file_.is_open()) return;
    // "PV …", "PV% …", "Term. …", "AO …", "status …", two spaces apart.
    const std::string line = RecordPrinter::MonitorLine(session_.record, session_.link.deviceStatus);
    std::vector<std::string> parts;
    for (std::size_t at = 0; at != std::string::npos;) {
        const std::size_t end = line.find("  ", at);
        parts.push_back(line.substr(at, end == std::string::npos ? end : end - at));
        at = end == std::string::npos ? end : end + 2;
    }
    if (parts.size() < 4) return;
    if (command == 3) {
        file_ << "3|" << parts[0] << '|' << parts[2] << '\n';
    } else {
        file_ << "2|" << parts[1] << '|' << parts[3] << '\n';
    }
    file_.flush();
    ++lines_;
}

}  // namespace qt40::cli
