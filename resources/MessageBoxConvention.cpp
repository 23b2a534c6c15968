#include "resources/MessageBoxConvention.h"

#include "resources/CResourceDatabase.h"
#include "resources/MessageFormat.h"

namespace qt40 {

MessageBoxText ComposeMessageBox(const CResourceDatabase& database, const std::string& key,
                                 const MessageArgs& args) {
    return {database.UIMsg("Message_Box"), FormatMessageText(database.UIMsg(key), args)};
}

BoxStyle StyleOf(BoxType type) {
    // Decoded from the value's fields, so new combinations need no new code.
    const auto value = static_cast<std::uint32_t>(type);
    BoxStyle style;
    switch (value & 0xFu) {
        case 0x1:
            style.buttons = {Answer::Ok, Answer::Cancel};
            break;
        case 0x3:
            style.buttons = {Answer::Yes, Answer::No, Answer::Cancel};
            break;
        case 0x4:
            style.buttons = {Answer::Yes, Answer::No};
            break;
        case 0x5:
            style.buttons = {Answer::Retry, Answer::Cancel};
            break;
        default:
            style.buttons = {Answer::Ok};
    }
    switch (value & 0xF0u) {
        case 0x20:
            style.icon = BoxIcon::Question;
            break;
        case 0x40:
            style.icon = BoxIcon::Information;
            break;
        default:
            style.icon = BoxIcon::Warning;
    }
    style.systemModal = (value & 0x1000u) != 0;
    style.topmost = (value & 0x40000u) != 0;
    return style;
}

}  // namespace qt40
