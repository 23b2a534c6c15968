#pragma once
// Prompts for a benchmark, which never asks anything: every box is OK'd and
// every entry declined.

#include <optional>
#include <string>

#include "base/Prompts.h"

namespace qt40 {

class NoPrompts : public Prompts {
public:
    Answer Message(const std::string&, const MessageArgs&, BoxType) override { return Answer::Ok; }
    std::optional<NumberResult> EnterNumber(const NumberEntry&) override { return std::nullopt; }
    std::optional<std::string> EnterText(const TextEntry&) override { return std::nullopt; }
    std::optional<SelectionResult> Select(const Selection&) override { return std::nullopt; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return std::nullopt; }
};

}  // namespace qt40
