#include "cli/TablePrompts.h"

#include "model/EntryRules.h"
#include "model/NumberText.h"

namespace qt40::cli {
namespace {

std::string ArgText(const MessageArg& arg) {
    if (const auto* n = std::get_if<long long>(&arg)) return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&arg)) return FormatGeneral(*d);
    return std::get<std::string>(arg);
}

// The low four bits of a box type name its buttons.
Answer Agree(BoxType type) {
    switch (static_cast<std::uint32_t>(type) & 0xFu) {
        case 0x3:
        case 0x4:
            return Answer::Yes;
        default:
            return Answer::Ok;
    }
}

Answer Decline(BoxType type) {
    switch (static_cast<std::uint32_t>(type) & 0xFu) {
        case 0x1:
        case 0x3:
        case 0x5:
            return Answer::Cancel;
        case 0x4:
            return Answer::No;
        default:
            return Answer::Ok;  // the only button there is
    }
}

}  // namespace

std::string DescribeMessage(const std::string& key, const MessageArgs& args) {
    std::string text = key;
    for (std::size_t i = 0; i < args.size(); ++i) text += (i == 0 ? ": " : ", ") + ArgText(args[i]);
    return text;
}

Answer TablePrompts::Message(const std::string& key, const MessageArgs& args, BoxType type) {
    last_ = DescribeMessage(key, args);
    if (yes_) {
        err_ << "qt40cfg-cli: note: " << last_ << " (answered "
             << (Agree(type) == Answer::Yes ? "Yes" : "OK") << ")\n"
             << std::flush;
        return Agree(type);
    }
    if (!refusal_) {
        const bool question = Agree(type) != Decline(type);
        refusal_ = question ? last_ + " (not answered; --yes answers it)" : last_;
    }
    return Decline(type);
}

std::optional<NumberResult> TablePrompts::EnterNumber(const NumberEntry& entry) {
    // After a refusal the remaining values belong to other entries.
    if (entries_.empty() || refusal_) return std::nullopt;
    const std::string text = entries_.front();
    entries_.pop_front();
    const NumberVerdict verdict = CheckNumberEntry(entry, text);
    if (!verdict.result) {
        last_ = DescribeMessage(verdict.errorKey, {text});
        if (!refusal_) refusal_ = last_;
        return std::nullopt;
    }
    return verdict.result;
}

}  // namespace qt40::cli
