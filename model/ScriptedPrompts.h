#pragma once
// Prompts for tests: every question is recorded, every answer comes from a
// queue filled by the test. A question without a scripted answer, an answer
// the box cannot give, or answers left over at the end fail the running test.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "base/Prompts.h"

namespace qt40 {

class ScriptedPrompts : public Prompts {
public:
    struct AskedMessage {
        std::string key;
        MessageArgs args;
        BoxType type;
    };
    enum class FileDialog { Open, Save };
    struct AskedFile {
        FileDialog dialog;
        FileRequest request;
    };

    ScriptedPrompts() = default;
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;
    ~ScriptedPrompts() override;

    // Answers, used in the order given.
    void QueueAnswer(Answer answer);
    void QueueAnswers(std::initializer_list<Answer> answers);
    void QueueNumber(std::optional<NumberResult> result);
    void QueueText(std::optional<std::string> result);
    void QueueSelection(std::optional<SelectionResult> result);
    void QueueFileName(std::optional<std::string> path);

    // What was asked, in order per kind.
    const std::vector<AskedMessage>& Messages() const { return messages_; }
    const std::vector<NumberEntry>& NumberEntries() const { return numbers_; }
    const std::vector<TextEntry>& TextEntries() const { return texts_; }
    const std::vector<Selection>& Selections() const { return selections_; }
    const std::vector<AskedFile>& FileRequests() const { return files_; }
    // Questions that found no scripted answer (each also failed the test).
    const std::vector<std::string>& Unanswered() const { return unanswered_; }
    // Scripted answers not used yet.
    std::size_t PendingAnswers() const;

    Answer Message(const std::string& key, const MessageArgs& args, BoxType type) override;
    std::optional<NumberResult> EnterNumber(const NumberEntry& entry) override;
    std::optional<std::string> EnterText(const TextEntry& entry) override;
    std::optional<SelectionResult> Select(const Selection& selection) override;
    std::optional<std::string> OpenFileName(const FileRequest& request) override;
    std::optional<std::string> SaveFileName(const FileRequest& request) override;

private:
    void Unscripted(const std::string& question);

    std::deque<Answer> answers_;
    std::deque<std::optional<NumberResult>> numberAnswers_;
    std::deque<std::optional<std::string>> textAnswers_;
    std::deque<std::optional<SelectionResult>> selectionAnswers_;
    std::deque<std::optional<std::string>> fileAnswers_;

    std::vector<AskedMessage> messages_;
    std::vector<NumberEntry> numbers_;
    std::vector<TextEntry> texts_;
    std::vector<Selection> selections_;
    std::vector<AskedFile> files_;
    std::vector<std::string> unanswered_;
};

// Readable form of message arguments, for test failure output.
std::string DescribeArgs(const MessageArgs& args);

}  // namespace qt40
