#pragma once
// The failure bits of the additional status (command 48) that the program
// shows, by group, with their built-in labels and the control numbers the
// language file relabels them by.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace qt40 {

struct AdditionalStatusGroup {
    int controlId;
    const char* heading;
};

struct AdditionalStatusBit {
    int group;  // index into AdditionalStatusGroups()
    int byte;   // data byte 0 … 5 of the answer
    int bit;
    int controlId;
    const char* label;
};

std::span<const AdditionalStatusGroup> AdditionalStatusGroups();
std::span<const AdditionalStatusBit> AdditionalStatusBits();
// The labelled bits set in `bytes`, in table order.
std::vector<AdditionalStatusBit> SetAdditionalStatusBits(const std::array<std::int16_t, 6>& bytes);

// A bit the device set that no row names (bits 5-7 of byte 0, 4-5 of byte 2,
// 2, 3 and 6 of byte 3, and all of bytes 1 and 5): still a status to report.
struct UnlabelledStatusBit {
    int byte;
    int bit;
    bool operator==(const UnlabelledStatusBit&) const = default;
};
// The bits set in `bytes` without a label, byte by byte from bit 0.
std::vector<UnlabelledStatusBit> SetUnlabelledStatusBits(const std::array<std::int16_t, 6>& bytes);

}  // namespace qt40
