#include "model/ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qt40 {
namespace {

// Whether a box of this type has a button that gives this answer.
bool BoxOffers(BoxType type, Answer answer) {
    switch (static_cast<std::uint32_t>(type) & 0xF) {
        case 0x0:
            return answer == Answer::Ok;
        case 0x1:
            return answer == Answer::Ok || answer == Answer::Cancel;
        case 0x3:
            return answer == Answer::Yes || answer == Answer::No || answer == Answer::Cancel;
        case 0x4:
            return answer == Answer::Yes || answer == Answer::No;
        case 0x5:
            return answer == Answer::Retry || answer == Answer::Cancel;
        default:
            return false;
    }
}

template <typename T>
std::optional<T> Take(std::deque<std::optional<T>>& queue) {
    std::optional<T> value = std::move(queue.front());
    queue.pop_front();
    return value;
}

}  // namespace

std::string DescribeArgs(const MessageArgs& args) {
    std::string text = "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) text += ", ";
        if (const auto* n = std::get_if<long long>(&args[i])) text += std::to_string(*n);
        if (const auto* d = std::get_if<double>(&args[i])) text += std::to_string(*d);
        if (const auto* s = std::get_if<std::string>(&args[i])) text += '"' + *s + '"';
    }
    return text + ")";
}

ScriptedPrompts::~ScriptedPrompts() {
    if (PendingAnswers() != 0) {
        ADD_FAILURE() << PendingAnswers() << " scripted answer(s) were never asked for";
    }
}

void ScriptedPrompts::QueueAnswer(Answer answer) {
    answers_.push_back(answer);
}
void ScriptedPrompts::QueueAnswers(std::initializer_list<Answer> answers) {
    answers_.insert(answers_.end(), answers);
}
void ScriptedPrompts::QueueNumber(std::optional<NumberResult> result) {
    numberAnswers_.push_back(std::move(result));
}
void ScriptedPrompts::QueueText(std::optional<std::string> result) {
    textAnswers_.push_back(std::move(result));
}
void ScriptedPrompts::QueueSelection(std::optional<SelectionResult> result) {
    selectionAnswers_.push_back(result);
}
void ScriptedPrompts::QueueFileName(std::optional<std::string> path) {
    fileAnswers_.push_back(std::move(path));
}

std::size_t ScriptedPrompts::PendingAnswers() const {
    return answers_.size() + numberAnswers_.size() + textAnswers_.size() +
           selectionAnswers_.size() + fileAnswers_.size();
}

void ScriptedPrompts::Unscripted(const std::string& question) {
    unanswered_.push_back(question);
    ADD_FAILURE() << "no scripted answer for " << question;
}

Answer ScriptedPrompts::Message(const std::string& key, const MessageArgs& args, BoxType type) {
    messages_.push_back({key, args, type});
    if (answers_.empty()) {
        Unscripted("message " + key + DescribeArgs(args));
        return BoxOffers(type, Answer::Cancel) ? Answer::Cancel : Answer::Ok;
    }
    const Answer answer = answers_.front();
    answers_.pop_front();
    if (!BoxOffers(type, answer)) {
        ADD_FAILURE() << "message " << key << " has no button for the scripted answer "
                      << static_cast<int>(answer);
    }
    return answer;
}

std::optional<NumberResult> ScriptedPrompts::EnterNumber(const NumberEntry& entry) {
    numbers_.push_back(entry);
    if (numberAnswers_.empty()) {
        Unscripted("number entry " + entry.titleKey);
        return std::nullopt;
    }
    return Take(numberAnswers_);
}

std::optional<std::string> ScriptedPrompts::EnterText(const TextEntry& entry) {
    texts_.push_back(entry);
    if (textAnswers_.empty()) {
        Unscripted("text entry " + entry.titleKey);
        return std::nullopt;
    }
    return Take(textAnswers_);
}

std::optional<SelectionResult> ScriptedPrompts::Select(const Selection& selection) {
    selections_.push_back(selection);
    if (selectionAnswers_.empty()) {
        Unscripted("selection " + selection.titleKey);
        return std::nullopt;
    }
    return Take(selectionAnswers_);
}

std::optional<std::string> ScriptedPrompts::OpenFileName(const FileRequest& request) {
    files_.push_back({FileDialog::Open, request});
    if (fileAnswers_.empty()) {
        Unscripted("open-file dialog " + request.titleKey);
        return std::nullopt;
    }
    return Take(fileAnswers_);
}

std::optional<std::string> ScriptedPrompts::SaveFileName(const FileRequest& request) {
    files_.push_back({FileDialog::Save, request});
    if (fileAnswers_.empty()) {
        Unscripted("save-file dialog " + request.titleKey);
        return std::nullopt;
    }
    return Take(fileAnswers_);
}

}  // namespace qt40
