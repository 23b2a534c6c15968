#pragma once
// Prompts that answer as the command-line tool does (every question declined:
// a failed line is given up) unless a test scripts an answer for a key; every
// question is recorded.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/Prompts.h"

namespace qt40::test {

class DeclinedPrompts final : public Prompts {
public:
    Answer Message(const std::string& key, const MessageArgs& args, BoxType type) override;
    std::optional<NumberResult> EnterNumber(const NumberEntry&) override { return std::nullopt; }
    std::optional<std::string> EnterText(const TextEntry&) override { return std::nullopt; }
    std::optional<SelectionResult> Select(const Selection&) override { return std::nullopt; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return std::nullopt; }

    // How often the message `key` was asked.
    int Count(const std::string& key) const;

    struct Asked {
        std::string key;
        MessageArgs args;
    };
    std::vector<Asked> asked;
    // The answer to a key, every time it is asked.
    std::map<std::string, Answer> answers;
};

}  // namespace qt40::test
