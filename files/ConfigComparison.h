#pragma once
// What the two comparison pages show, without a widget: the "File
// Configuration" column (with the values no page shows), the "Device
// Configuration" working copy, the colour of every value, and the rules of
// copying, comparing and editing ("CHG") a row on either side.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "files/FileConfig.h"
#include "model/CglobalFile.h"
#include "model/DeviceRecord.h"
#include "base/Prompts.h"

namespace qt40 {

enum class Side { File, Device };

enum class Highlight {
    Normal,   // button face
    Changed,  // light yellow: edited or copied
    Differs,  // pink: differs from its counterpart after "Compare"
};

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
// The caption of a field's line as built in ("Tag No.", "PV Upper Range", …).
const char* FieldCaption(Field field);
// True for a value, false for a unit caption.
bool IsValueField(Field field);
// A field's text in a configuration; a unit caption reads the PV unit.
const std::string& FieldValue(const FileConfig& config, Field field);
// Whether two texts of a field say the same. The device pads a tag,
// descriptor or message with blanks to its length, so these compare without
// trailing blanks; everything else compares exactly.
bool SameFieldText(Field field, const std::string& a, const std::string& b);

// A value a configuration file holds, with the caption a comparison shows:
// the page's caption where a page shows it, else the file's key.
struct StoredValue {
    const char* caption;
    std::string FileConfig::*value;
};
// Every value of a configuration file, in the file's order: the device type,
// the constant CJC value, both sensor trims, the preambles and revisions too.
const std::vector<StoredValue>& StoredValues();
// The values of StoredValues() whose texts differ, by SameFieldText's rule
// (a tag, descriptor or message without its padding blanks).
std::vector<StoredValue> StoredDifferences(const FileConfig& file, const FileConfig& device);

class ConfigComparison {
public:
    ConfigComparison();

    const std::string& Text(Side side, Field field) const;
    Highlight Colour(Side side, Field field) const;
    void SetText(Side side, Field field, const std::string& text);  // as an edit: yellow

    // The whole file side (the file column and the values no page shows).
    FileConfig FileValues() const;
    // The device column as a configuration (hidden values empty).
    FileConfig DeviceValues() const;

    // After a file was read: the file column shows it, colours reset.
    void LoadFile(const FileConfig& values);
    // After an upload: the device column shows the record, colours reset.
    void LoadDevice(const DeviceRecord& record);
    // Only these fields from the record, colours of them reset.
    void LoadDevice(const DeviceRecord& record, const std::vector<Field>& fields);
    void Mark(Side side, const std::vector<Field>& fields, Highlight colour);

    // "<" (to the file) and ">" (to the device). The device identification
    // only goes to the file.
    void CopyRow(ConfigRow row, Side to);
    // "All Copy <<" also fills the values no page shows from `record`.
    void CopyAllToFile(const DeviceRecord& record);
    void CopyAllToDevice();
    // "Compare" over `side`: pink where the two texts differ, else normal.
    // Returns how many values differ.
    int Compare(Side side);

    // "CHG": asks through `prompts` with the row's entry and limits; true
    // when a value changed (coloured yellow).
    bool Edit(ConfigRow row, Side side, Prompts& prompts);

    // The number entry of a row ("CHG" of a single number), for tests and the
    // range rows' first end.
    static NumberEntry EntryOf(ConfigRow row, bool lowerEnd = false);

private:
    std::string& Ref(Side side, Field field);
    void Copy(Field field, Side to);
    bool EditSensorType(Side side, Prompts& prompts);
    bool EditSelection(Side side, Field field, const char* titleKey, EnumKind kind,
                       Prompts& prompts);
    bool EditNumber(ConfigRow row, Side side, Field field, bool lowerEnd, Prompts& prompts);
    bool EditText(Side side, Field field, Prompts& prompts);
    bool SetEdited(Side side, Field field, const std::string& text);

    std::array<std::array<std::string, kFieldCount>, 2> texts_;
    std::array<std::array<Highlight, kFieldCount>, 2> colours_{};
    FileConfig fileSide_;  // the values no page shows
};

}  // namespace qt40
