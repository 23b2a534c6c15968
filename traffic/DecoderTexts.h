#pragma once
// The words the traffic decoder shows, from the language file by key, each
// with its built-in English for a key the file has no text for. Built
// without a lookup it gives the English alone (what captures, tests and
// tshark comparisons read). Language texts are shown as they stand.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qt40::traffic {

class DecoderTexts {
public:
    using Lookup = std::function<std::string(const std::string& key)>;

    DecoderTexts() = default;
    explicit DecoderTexts(Lookup lookup) : lookup_(std::move(lookup)) {}

    std::string Text(const std::string& key, std::string_view english) const;
    // The text of `key` with its "%d" replaced by `number`.
    std::string Number(const std::string& key, std::string_view english, long long number) const;

    // The decoder's own tables through the language.
    std::string CommandName(int command, std::string_view english) const;
    std::string ResponseText(std::uint8_t command, std::uint8_t code) const;
    std::string StatusMeaning(std::uint8_t mask, std::string_view english) const;
    // A field of a command's data ("Lower range value").
    std::string FieldName(std::string_view english) const;

private:
    Lookup lookup_;
};

}  // namespace qt40::traffic
