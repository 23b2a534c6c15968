#pragma once
// "CHG" on a row of the comparison pages: asks through the prompts with the
// row's entry and limits, checks what comes back, and writes the shown form
// into one side of the comparison (coloured yellow).

#include "base/Prompts.h"
#include "files/ConfigComparison.h"
#include "files/ConfigFields.h"
#include "model/CglobalFile.h"

namespace qt40 {

class ConfigRowEditor {
public:
    ConfigRowEditor(ConfigComparison& comparison, Prompts& prompts);

    // True when a value changed; a cancelled or refused entry changes nothing.
    bool Edit(ConfigRow row, Side side);

    // The number entry of a row (the range rows' upper end unless `lowerEnd`);
    // an empty entry for a row not entered as a number.
    static NumberEntry EntryOf(ConfigRow row, bool lowerEnd = false);

private:
    bool EditSensorType(Side side);
    bool EditSelection(Side side, Field field, const char* titleKey, EnumKind kind);
    bool EditRange(ConfigRow row, Side side);
    bool EditNumber(ConfigRow row, Side side, Field field, bool lowerEnd);
    bool EditText(Side side, Field field);

    ConfigComparison& comparison_;
    Prompts& prompts_;
};

}  // namespace qt40
