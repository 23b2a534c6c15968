#pragma once
// The one list of language-file entries the program uses: every message key
// with its section and the arguments its callers pass, and every relabelled
// dialog with the controls that may take a text from the file. Callers format
// a key's text with arguments of exactly these types, in this order; the
// language file check holds both shipped files to it.

#include <string_view>
#include <vector>

#include "resources/MessageFormat.h"

namespace qt40 {

// Formatted texts go through FormatMessageText (so "%%" for a percent sign);
// verbatim texts (captions, titles, labels, progress texts, the file filter)
// are shown as they stand.
enum class TextUse { Formatted, Verbatim };

struct MessageKeyInfo {
    std::string_view section;  // "UIMsg", "DisplayMsg", "TitleMsg" or "ProgressMsg"
    std::string_view key;
    TextUse use = TextUse::Formatted;
    std::vector<ArgType> args;
};

struct DialogInfo {
    int id = 0;
    std::string_view owner;     // the class that relabels itself with this id
    std::vector<int> controls;  // control ids that may carry a text; 0 (caption) always may
};

class MessageCatalog {
public:
    static const std::vector<MessageKeyInfo>& Keys();
    static const MessageKeyInfo* FindKey(std::string_view section, std::string_view key);
    static const std::vector<DialogInfo>& Dialogs();
    static const DialogInfo* FindDialog(int id);
    static bool HasControl(int dialogId, int controlId);
};

}  // namespace qt40
