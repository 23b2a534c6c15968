#pragma once
// How every message box of the program is put together: its text is the
// "UIMsg" text of its key, formatted with the caller's arguments, and its
// caption the "UIMsg" text "Message_Box". A missing key gives empty texts; the
// box is still shown and answered.

#include <string>
#include <vector>

#include "base/Prompts.h"

namespace qt40 {

class CResourceDatabase;

struct MessageBoxText {
    std::string caption;
    std::string text;
};

MessageBoxText ComposeMessageBox(const CResourceDatabase& database, const std::string& key,
                                 const MessageArgs& args);

enum class BoxIcon { Warning, Question, Information };

// Buttons (in display order), icon and modality of a box type.
struct BoxStyle {
    std::vector<Answer> buttons;
    BoxIcon icon = BoxIcon::Warning;
    bool systemModal = false;
    bool topmost = false;
};

BoxStyle StyleOf(BoxType type);

}  // namespace qt40
