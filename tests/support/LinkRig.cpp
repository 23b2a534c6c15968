#include "tests/support/LinkRig.h"

namespace qt40::test {

std::vector<int> CommandsOf(const std::vector<std::vector<std::uint8_t>>& frames,
                            std::size_t from) {
    std::vector<int> commands;
    for (std::size_t f = from; f < frames.size(); ++f) {
        const auto& frame = frames[f];
        std::size_t i = 0;
        while (i < frame.size() && frame[i] == 0xFF) ++i;
        const std::size_t at = i + ((frame[i] & 0x80) ? 6 : 2);
        if (at < frame.size()) commands.push_back(frame[at]);
    }
    return commands;
}

}  // namespace qt40::test
