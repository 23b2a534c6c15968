#pragma once
// The words of the records in the chosen language. Every text is looked up by
// its key in the language file's "UIMsg" section; a key the file lacks (or a
// build that reads no language file) falls back to the built-in English, so
// a record never prints a bare key.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Prompts.h"

namespace qt40 {

class RecordTexts {
public:
    // The language file's text of a "UIMsg" key, empty when it has none.
    using Lookup = std::function<std::string(const std::string& key)>;
    // The label of a relabelled control (dialog, control id); empty when none.
    using GuiLookup = std::function<std::string(int dialog, int control)>;

    explicit RecordTexts(Lookup lookup = {}, GuiLookup gui = {});

    // The text of `key`, as it stands.
    std::string Text(const std::string& key) const;
    // The text of `key` with its placeholders filled ("%d", "%s").
    std::string Format(const std::string& key, const MessageArgs& args) const;
    // A control's label from the file, or `builtIn`.
    std::string Gui(int dialog, int control, const std::string& builtIn) const;

    // Every key with its built-in English text, in the order of the language file.
    static const std::vector<std::pair<std::string_view, std::string_view>>& BuiltIn();

private:
    Lookup lookup_;
    GuiLookup gui_;
};

}  // namespace qt40
