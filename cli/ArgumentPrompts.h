#pragma once
// The questions of a device procedure answered from the command line: the
// command itself is the confirmation, entries take the values given as
// options (checked as the entry dialogs check them), and messages are kept
// for the command to report.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "model/EntryRules.h"
#include "base/Prompts.h"

namespace qt40::cli {

class ArgumentPrompts final : public Prompts {
public:
    struct Refusal {
        std::string text;  // what was given
        NumberEntry entry;
    };
    struct Note {
        std::string key;
        MessageArgs args;
    };

    // Why `text`, given for `option`, is refused by the entry rules of
    // `entry`: not a decimal number, outside the entry's range (`unit` after
    // it), or longer than the device's field; nothing when it is taken.
    static std::optional<std::string> RefusalOf(const std::string& option, const std::string& text,
                                                const NumberEntry& entry,
                                                const std::string& unit = {});
    // The entry's verdict on a value given on the command line.
    static NumberVerdict Check(const NumberEntry& entry, const std::string& text);

    void QueueNumber(std::string text) { numbers_.push_back(std::move(text)); }
    void QueueCode(int code) { codes_.push_back(code); }

    Answer Message(const std::string& key, const MessageArgs& args, BoxType type) override;
    std::optional<NumberResult> EnterNumber(const NumberEntry& entry) override;
    std::optional<std::string> EnterText(const TextEntry&) override { return std::nullopt; }
    std::optional<SelectionResult> Select(const Selection& selection) override;
    std::optional<std::string> OpenFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return std::nullopt; }

    // A value the entry refused, and the messages shown (other than questions).
    const std::optional<Refusal>& Refused() const { return refused_; }
    const std::vector<Note>& Notes() const { return notes_; }

private:
    std::deque<std::string> numbers_;
    std::deque<int> codes_;
    std::optional<Refusal> refused_;
    std::vector<Note> notes_;
};

}  // namespace qt40::cli
