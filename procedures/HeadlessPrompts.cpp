#include "procedures/HeadlessPrompts.h"

#include <algorithm>

namespace qt40 {

Answer DeclinedAnswer(BoxType type) {
    switch (type) {
        case BoxType::OkWarning:
        case BoxType::OkInformation:
        case BoxType::OkWarningSystemModal:
            return Answer::Ok;
        case BoxType::YesNoQuestion:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

Answer HeadlessPrompts::Message(const std::string& key, const MessageArgs& args, BoxType type) {
    keys_.push_back(key);
    if (key == "Err_Not_Device") {
        if (searchRestarts_ > 0) {
            --searchRestarts_;
            return Answer::Retry;
        }
        return Answer::Cancel;
    }
    if (key == "Confr_Search_Address") {
        // Cancel keeps the address found and ends the search.
        if (!args.empty()) {
            if (const auto* n = std::get_if<long long>(&args.front())) {
                found_ = static_cast<int>(*n);
            }
        }
        return Answer::Cancel;
    }
    return DeclinedAnswer(type);
}

bool HeadlessPrompts::Asked(const std::string& key) const {
    return std::find(keys_.begin(), keys_.end(), key) != keys_.end();
}

void HeadlessPrompts::Reset() {
    keys_.clear();
    found_.reset();
}

}  // namespace qt40
