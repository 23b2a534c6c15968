#pragma once
// Prompts for the fuzzers: OK or Cancel taken from the input's own bytes, so
// the fuzzer explores both branches of every question.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Prompts.h"

namespace qt40::fuzz {

class FuzzPrompts : public Prompts {
public:
    explicit FuzzPrompts(std::span<const std::uint8_t> choices) : choices_(choices) {}

    Answer Message(const std::string&, const MessageArgs&, BoxType type) override {
        const bool cancel = NextBit();
        return (static_cast<std::uint32_t>(type) & 0xF) == 0x1 && cancel ? Answer::Cancel
                                                                         : Answer::Ok;
    }
    std::optional<NumberResult> EnterNumber(const NumberEntry&) override { return std::nullopt; }
    std::optional<std::string> EnterText(const TextEntry&) override { return std::nullopt; }
    std::optional<SelectionResult> Select(const Selection&) override { return std::nullopt; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return std::nullopt; }

private:
    bool NextBit() {
        if (choices_.empty()) return false;
        const bool bit = (choices_[bitIndex_ / 8 % choices_.size()] >> (bitIndex_ % 8)) & 1;
        ++bitIndex_;
        return bit;
    }

    std::span<const std::uint8_t> choices_;
    std::size_t bitIndex_ = 0;
};

}  // namespace qt40::fuzz
