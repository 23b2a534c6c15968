#include "cli/SimValueLog.h"

#include <span>

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
    if (session_.link.command != 48 || !file_.is_open()) return;
    file_ << RecordPrinter::MonitorLine(session_.record, session_.link.deviceStatus) << '\n'
          << std::flush;
    ++lines_;
}

}  // namespace qt40::cli
