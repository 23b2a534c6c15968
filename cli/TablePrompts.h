#pragma once
// The table commands' answers to the questions a table file, a table write
// or the coefficient entries ask. Nobody sits at the terminal: with --yes
// every question is answered OK (or Yes) and shown as a note; without it the
// first question or warning is refused and becomes the command's error.
// Value entries are answered from the command line's values, checked as the
// entry dialog checks them.

#include <deque>
#include <optional>
#include <ostream>
#include <string>

#include "cli/EnglishMessages.h"
#include "base/Prompts.h"

namespace qt40::cli {

class TablePrompts final : public Prompts {
public:
    TablePrompts(std::ostream& err, bool yes) : err_(err), yes_(yes) {}

    void QueueEntry(std::string text) { entries_.push_back(std::move(text)); }

    Answer Message(const std::string& key, const MessageArgs& args, BoxType type) override;
    std::optional<NumberResult> EnterNumber(const NumberEntry& entry) override;
    std::optional<std::string> EnterText(const TextEntry&) override { return std::nullopt; }
    std::optional<SelectionResult> Select(const Selection&) override { return std::nullopt; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return std::nullopt; }

    // The first message that ended (or, without --yes, refused) something.
    const std::optional<std::string>& Refusal() const { return refusal_; }
    // The last message shown, whatever the answer.
    const std::string& LastMessage() const { return last_; }

private:
    std::ostream& err_;
    bool yes_;
    std::deque<std::string> entries_;
    std::optional<std::string> refusal_;
    std::string last_;
};

}  // namespace qt40::cli
