#pragma once
// The field tables of the comparison pages: every line a page shows (its
// caption and the file member it holds), the rows with their own buttons
// (page, lines, what "<" and ">" carry), the entry each number or text "CHG"
// asks with, and every value a configuration file holds.

#include <string>
#include <vector>

#include "base/Prompts.h"
#include "files/FileConfig.h"
#include "model/ConfigurationRules.h"

namespace qt40 {

// Every text a page shows per side: the values, and the PV unit captions
// beside the two PV range values and the drift alarm.
enum class Field : int {
    Tag,
    Descriptor,
    Message,
    Date,
    DeviceId,
    SensorType,
    SensorWires,
    MeasurementType,
    PvUnit,
    PvUpperRange,
    PvLowerRange,
    PvDamping,
    PvDriftAlarm,
    Burnout,
    Transfer,
    TermTempUnit,
    CjcMode,
    WireResistance,
    SensorUpperRange,
    SensorLowerRange,
    SensorSerialNo,
    FinalAssemblyNo,
    AoAlarmMode,
    AoAlarmHigh,
    AoAlarmLow,
    AoSaturationHigh,
    AoSaturationLow,
    UpperRangeUnit,
    LowerRangeUnit,
    DriftAlarmUnit,
};
inline constexpr int kFieldCount = static_cast<int>(Field::DriftAlarmUnit) + 1;

// A row with its own "CHG", "<" and ">" buttons. The sensor type row holds
// the sensor type, wires and measurement type lines; the range rows both ends.
enum class ConfigRow : int {
    Tag,
    Descriptor,
    Message,
    Date,
    DeviceId,
    SensorType,
    PvUnit,
    PvRange,
    PvDamping,
    PvDriftAlarm,
    Burnout,
    Transfer,
    TermTempUnit,
    CjcMode,
    WireResistance,
    SensorRange,
    SensorSerialNo,
    FinalAssemblyNo,
    AoAlarmMode,
    AoAlarmHigh,
    AoAlarmLow,
    AoSaturationHigh,
    AoSaturationLow,
};
inline constexpr int kRowCount = static_cast<int>(ConfigRow::AoSaturationLow) + 1;

// Page 1 or 2.
int PageOf(ConfigRow row);
// The fields a row copies together ("<" and ">"), captions included.
const std::vector<Field>& CopyGroup(ConfigRow row);
// The value lines of a row, as the page lists them (no captions).
const std::vector<Field>& LinesOf(ConfigRow row);
// The PV unit and the three captions that show it.
const std::vector<Field>& PvUnitGroup();
// The caption of a field's line as built in ("Tag No.", "PV Upper Range", …).
const char* FieldCaption(Field field);
// True for a value, false for a unit caption.
bool IsValueField(Field field);
// The member of a configuration a value field holds; nullptr for a unit caption.
std::string FileConfig::*FieldMember(Field field);
// A field's text in a configuration; a unit caption reads the PV unit.
const std::string& FieldValue(const FileConfig& config, Field field);

// The number entry of a row's "CHG": its keys and the device value whose
// rule (limits, decimals, unit) it takes. Range rows name their upper end.
struct NumberRowRule {
    ConfigRow row;
    const char* titleKey;
    const char* promptKey;
    DeviceValue value;
    bool rangeMessage;
};
// nullptr for a row that is not entered as a number.
const NumberRowRule* NumberRuleOf(ConfigRow row);

// The text entry of a field's "CHG".
struct TextFieldRule {
    Field field;
    const char* titleKey;
    const char* promptKey;
    TextMode mode;
    int limit;
    bool packed;
};
// nullptr for a field that is not entered as a text.
const TextFieldRule* TextRuleOf(Field field);

// A value a configuration file holds, with the caption a comparison shows:
// the page's caption where a page shows it, else the file's key.
struct StoredValue {
    const char* caption;
    std::string FileConfig::*value;
};
// Every value of a configuration file, in the file's order: the device type,
// the constant CJC value, both sensor trims, the preambles and revisions too.
const std::vector<StoredValue>& StoredValues();
// The values of StoredValues() that no page shows, in the file's order.
const std::vector<StoredValue>& HiddenValues();

}  // namespace qt40
