#include "tests/support/DeclinedPrompts.h"

#include "procedures/HeadlessPrompts.h"

namespace qt40::test {

Answer DeclinedPrompts::Message(const std::string& key, const MessageArgs& args, BoxType type) {
    asked.push_back({key, args});
    if (auto it = answers.find(key); it != answers.end()) return it->second;
    return DeclinedAnswer(type);
}

int DeclinedPrompts::Count(const std::string& key) const {
    int n = 0;
    for (const auto& a : asked) n += a.key == key;
    return n;
}

}  // namespace qt40::test
