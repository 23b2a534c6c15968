#include "files/ConfigComparison.h"

#include "files/FileConfigFromDevice.h"
#include "model/ConfigurationRules.h"
#include "model/EntryRules.h"
#include "model/NumberText.h"
#include "model/SensorDefaults.h"

namespace qt40 {
namespace {

using F = Field;
using C = FileConfig;

struct FieldInfo {
    const char* caption;
    std::string FileConfig::*value;  // nullptr for a unit caption
};

constexpr std::array<FieldInfo, kFieldCount> kFields{{
    {"Tag No.", &C::tag},
    {"Descriptor", &C::descriptor},
    {"Message", &C::message},
    {"Date", &C::date},
    {"Device Identification", &C::deviceId},
    {"Sensor Type", &C::sensorType},
    {"Sensor Wires", &C::sensorWires},
    {"Measurement Type", &C::measurementType},
    {"PV Unit", &C::pvUnit},
    {"PV Upper Range", &C::pvUpperRange},
    {"PV Lower Range", &C::pvLowerRange},
    {"PV Damping", &C::pvDamping},
    {"PV Drift Alarm", &C::pvDriftAlarm},
    {"Burnout Detection", &C::burnoutDetection},
    {"Transfer Function", &C::transferFunction},
    {"Term Temperature Unit", &C::termTempUnit},
    {"CJC Mode", &C::cjcMode},
    {"Wire Resistance", &C::leadWireResistance},
    {"Sensor Upper Range", &C::sensorUpperRange},
    {"Sensor Lower Range", &C::sensorLowerRange},
    {"Sensor Serial No", &C::sensorSerialNo},
    {"Final Assembly Number", &C::finalAssemblyNo},
    {"AO Alarm Mode", &C::aoAlarmMode},
    {"AO Alarm High Value", &C::aoAlarmHigh},
    {"AO Alarm Low Value", &C::aoAlarmLow},
    {"AO Saturation High Value", &C::aoSaturationHigh},
    {"AO Saturation Low Value", &C::aoSaturationLow},
    {"PV Upper Range unit", nullptr},
    {"PV Lower Range unit", nullptr},
    {"PV Drift Alarm unit", nullptr},
}};

constexpr int Index(Field f) {
    return static_cast<int>(f);
}
constexpr int Index(Side s) {
    return s == Side::File ? 0 : 1;
}

Side Other(Side side) {
    return side == Side::File ? Side::Device : Side::File;
}

const std::vector<Field> kPvUnitGroup{F::PvUnit, F::UpperRangeUnit, F::LowerRangeUnit,
                                      F::DriftAlarmUnit};

struct RowInfo {
    int page;
    std::vector<Field> lines;
    std::vector<Field> copies;
};

const std::array<RowInfo, kRowCount>& Rows() {
    static const std::array<RowInfo, kRowCount> rows{{
        {1, {F::Tag}, {F::Tag}},
        {1, {F::Descriptor}, {F::Descriptor}},
        {1, {F::Message}, {F::Message}},
        {1, {F::Date}, {F::Date}},
        {1, {F::DeviceId}, {F::DeviceId}},
        {1,
         {F::SensorType, F::SensorWires, F::MeasurementType},
         {F::SensorType, F::MeasurementType, F::SensorWires, F::PvUnit, F::PvUpperRange,
          F::PvLowerRange, F::UpperRangeUnit, F::LowerRangeUnit, F::DriftAlarmUnit}},
        {1, {F::PvUnit}, kPvUnitGroup},
        {1,
         {F::PvUpperRange, F::PvLowerRange},
         {F::PvUpperRange, F::PvLowerRange, F::UpperRangeUnit, F::LowerRangeUnit}},
        {1, {F::PvDamping}, {F::PvDamping}},
        {1, {F::PvDriftAlarm}, {F::PvDriftAlarm, F::DriftAlarmUnit}},
        {1, {F::Burnout}, {F::Burnout}},
        {1, {F::Transfer}, {F::Transfer}},
        {2, {F::TermTempUnit}, {F::TermTempUnit}},
        {2, {F::CjcMode}, {F::CjcMode}},
        {2, {F::WireResistance}, {F::WireResistance}},
        {2, {F::SensorUpperRange, F::SensorLowerRange}, {F::SensorUpperRange, F::SensorLowerRange}},
        {2, {F::SensorSerialNo}, {F::SensorSerialNo}},
        {2, {F::FinalAssemblyNo}, {F::FinalAssemblyNo}},
        {2, {F::AoAlarmMode}, {F::AoAlarmMode}},
        {2, {F::AoAlarmHigh}, {F::AoAlarmHigh}},
        {2, {F::AoAlarmLow}, {F::AoAlarmLow}},
        {2, {F::AoSaturationHigh}, {F::AoSaturationHigh}},
        {2, {F::AoSaturationLow}, {F::AoSaturationLow}},
    }};
    return rows;
}

const RowInfo& Info(ConfigRow row) {
    return Rows()[static_cast<std::size_t>(row)];
}

// Number entries of the "CHG" buttons: keys, and which value's rule they take.
struct NumberRule {
    ConfigRow row;
    const char* titleKey;
    const char* promptKey;
    DeviceValue value;
    bool rangeMessage;
    const ValueRule& Rule() const { return RuleOf(value); }
};

constexpr NumberRule kNumberRules[] = {
    {ConfigRow::PvRange, "Set_PV_Upper_Range_File", "Set_PV_Upper_Range", DeviceValue::PvRange,
     false},
    {ConfigRow::PvDamping, "Set_Damping_Value_Title", "Set_Damping_val", DeviceValue::Damping,
     true},
    {ConfigRow::PvDriftAlarm, "Set_DriftAlarm_Title", "Set_DriftAlarm_val", DeviceValue::DriftAlarm,
     true},
    {ConfigRow::WireResistance, "Set_LeadWire_Title", "Set_LeadWire_val",
     DeviceValue::WireResistance, true},
    {ConfigRow::SensorRange, "Set_Sensor_Upper_Range_File", "Set_Sensor_Upper_val",
     DeviceValue::SensorRange, false},
    {ConfigRow::SensorSerialNo, "Set_SerialNo_Value_Title", "Set_SerialNo_val",
     DeviceValue::SensorSerialNo, true},
    {ConfigRow::FinalAssemblyNo, "Set_FinalAssemblyNo_Value_Title", "Set_FinalAssemblyNo_val",
     DeviceValue::FinalAssemblyNo, true},
    {ConfigRow::AoAlarmHigh, "Set_AO_Alarm_High_Title", "Set_AO_Alarm_High",
     DeviceValue::AoAlarmHigh, true},
    {ConfigRow::AoAlarmLow, "Set_AO_Alarm_Low_Title", "Set_AO_Alarm_Low", DeviceValue::AoAlarmLow,
     true},
    {ConfigRow::AoSaturationHigh, "Set_Saturation_High_Title", "Set_Saturation_High",
     DeviceValue::AoSaturationHigh, true},
    {ConfigRow::AoSaturationLow, "Set_Saturation_Low_Title", "Set_Saturation_Low",
     DeviceValue::AoSaturationLow, true},
};

const NumberRule* RuleOf(ConfigRow row) {
    for (const NumberRule& rule : kNumberRules) {
        if (rule.row == row) return &rule;
    }
    return nullptr;
}

struct TextRule {
    Field field;
    const char* titleKey;
    const char* promptKey;
    TextMode mode;
    int limit;
    bool packed;
};

constexpr TextRule kTextRules[] = {
    {F::Tag, "Set_Tag_Text_Title", "Set_TAG_Text", TextMode::Text, 8, true},
    {F::Descriptor, "Set_Description_Text_Title", "Set_Description_Text", TextMode::Text, 16, true},
    {F::Message, "Set_Message_Text_Title", "Set_Message_Text", TextMode::Text, 32, true},
    {F::Date, "Set_Date_Text_Title", "Set_Date_Text", TextMode::Date, 0, false},
};

bool IsPackedText(Field field) {
    return field == F::Tag || field == F::Descriptor || field == F::Message;
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

int PageOf(ConfigRow row) {
    return Info(row).page;
}

const std::vector<Field>& CopyGroup(ConfigRow row) {
    return Info(row).copies;
}

const std::vector<Field>& LinesOf(ConfigRow row) {
    return Info(row).lines;
}

const char* FieldCaption(Field field) {
    return kFields[static_cast<std::size_t>(Index(field))].caption;
}

bool IsValueField(Field field) {
    return kFields[static_cast<std::size_t>(Index(field))].value != nullptr;
}

const std::string& FieldValue(const FileConfig& config, Field field) {
    if (auto member = kFields[static_cast<std::size_t>(Index(field))].value) return config.*member;
    return config.pvUnit;
}

bool SameFieldText(Field field, const std::string& a, const std::string& b) {
    if (!IsPackedText(field)) return a == b;
    return WithoutTrailingBlanks(a) == WithoutTrailingBlanks(b);
}

const std::vector<StoredValue>& StoredValues() {
    static const std::vector<StoredValue> values = [] {
        // Captions of the values no page shows: the keys of the file.
        const std::vector<StoredValue> hidden{
            {"Device Type", &C::deviceType},
            {"Constant CJC Value", &C::constantCjcValue},
            {"Snsr #1 Zero Point", &C::trim1ZeroPoint},
            {"Snsr #1 Zero Value", &C::trim1ZeroValue},
            {"Snsr #1 Span Gain", &C::trim1SpanGain},
            {"Snsr #2 Zero Point", &C::trim2ZeroPoint},
            {"Snsr #2 Zero Value", &C::trim2ZeroValue},
            {"Snsr #2 Span Gain", &C::trim2SpanGain},
            {"Number of Preambles", &C::preambles},
            {"Universal Cmd Revision", &C::universalCmdRev},
            {"Transmitter Spec Rev", &C::transmitterSpecRev},
            {"Hardware Revision", &C::hardwareRev},
            {"Firmware Revision", &C::firmwareRev},
        };
        const auto page = [](std::string FileConfig::*member) -> const char* {
            for (const FieldInfo& f : kFields) {
                if (f.value == member) return f.caption;
            }
            return nullptr;
        };
        const auto key = [&](std::string FileConfig::*member) -> const char* {
            for (const StoredValue& h : hidden) {
                if (h.value == member) return h.caption;
            }
            return nullptr;
        };
        // The file's order (CFilePropertyReadWrite's layout).
        const std::vector<std::string FileConfig::*> order{&C::tag,
                                                           &C::descriptor,
                                                           &C::message,
                                                           &C::date,
                                                           &C::deviceType,
                                                           &C::deviceId,
                                                           &C::sensorType,
                                                           &C::measurementType,
                                                           &C::sensorWires,
                                                           &C::pvUnit,
                                                           &C::pvUpperRange,
                                                           &C::pvLowerRange,
                                                           &C::pvDamping,
                                                           &C::pvDriftAlarm,
                                                           &C::burnoutDetection,
                                                           &C::transferFunction,
                                                           &C::sensorSerialNo,
                                                           &C::leadWireResistance,
                                                           &C::sensorUpperRange,
                                                           &C::sensorLowerRange,
                                                           &C::termTempUnit,
                                                           &C::cjcMode,
                                                           &C::constantCjcValue,
                                                           &C::aoAlarmMode,
                                                           &C::aoAlarmHigh,
                                                           &C::aoAlarmLow,
                                                           &C::aoSaturationHigh,
                                                           &C::aoSaturationLow,
                                                           &C::trim1ZeroPoint,
                                                           &C::trim1ZeroValue,
                                                           &C::trim1SpanGain,
                                                           &C::trim2ZeroPoint,
                                                           &C::trim2ZeroValue,
                                                           &C::trim2SpanGain,
                                                           &C::finalAssemblyNo,
                                                           &C::preambles,
                                                           &C::universalCmdRev,
                                                           &C::transmitterSpecRev,
                                                           &C::hardwareRev,
                                                           &C::firmwareRev};
        std::vector<StoredValue> all;
        for (auto member : order) {
            const char* caption = page(member);
            all.push_back({caption ? caption : key(member), member});
        }
        return all;
    }();
    return values;
}

std::vector<StoredValue> StoredDifferences(const FileConfig& file, const FileConfig& device) {
    std::vector<StoredValue> differing;
    for (const StoredValue& v : StoredValues()) {
        const std::string& a = file.*v.value;
        const std::string& b = device.*v.value;
        const bool packed =
            v.value == &C::tag || v.value == &C::descriptor || v.value == &C::message;
        const bool same = packed ? WithoutTrailingBlanks(a) == WithoutTrailingBlanks(b) : a == b;
        if (!same) differing.push_back(v);
    }
    return differing;
}

ConfigComparison::ConfigComparison() {
    for (auto& side : colours_) side.fill(Highlight::Normal);
}

std::string& ConfigComparison::Ref(Side side, Field field) {
    return texts_[static_cast<std::size_t>(Index(side))][static_cast<std::size_t>(Index(field))];
}

const std::string& ConfigComparison::Text(Side side, Field field) const {
    return texts_[static_cast<std::size_t>(Index(side))][static_cast<std::size_t>(Index(field))];
}

Highlight ConfigComparison::Colour(Side side, Field field) const {
    return colours_[static_cast<std::size_t>(Index(side))][static_cast<std::size_t>(Index(field))];
}

void ConfigComparison::Mark(Side side, const std::vector<Field>& fields, Highlight colour) {
    for (Field f : fields) {
        colours_[static_cast<std::size_t>(Index(side))][static_cast<std::size_t>(Index(f))] =
            colour;
    }
}

void ConfigComparison::SetText(Side side, Field field, const std::string& text) {
    Ref(side, field) = text;
    Mark(side, {field}, Highlight::Changed);
}

bool ConfigComparison::SetEdited(Side side, Field field, const std::string& text) {
    SetText(side, field, text);
    return true;
}

FileConfig ConfigComparison::FileValues() const {
    FileConfig config = fileSide_;
    for (int i = 0; i < kFieldCount; ++i) {
        if (auto member = kFields[static_cast<std::size_t>(i)].value) {
            config.*member = Text(Side::File, static_cast<Field>(i));
        }
    }
    return config;
}

FileConfig ConfigComparison::DeviceValues() const {
    FileConfig config;
    for (int i = 0; i < kFieldCount; ++i) {
        if (auto member = kFields[static_cast<std::size_t>(i)].value) {
            config.*member = Text(Side::Device, static_cast<Field>(i));
        }
    }
    return config;
}

void ConfigComparison::LoadFile(const FileConfig& values) {
    fileSide_ = values;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        if (auto member = kFields[static_cast<std::size_t>(i)].value) {
            Ref(Side::File, f) = values.*member;
        } else {
            Ref(Side::File, f) = values.pvUnit;
        }
    }
    colours_[0].fill(Highlight::Normal);
}

void ConfigComparison::LoadDevice(const DeviceRecord& record) {
    std::vector<Field> all;
    for (int i = 0; i < kFieldCount; ++i) all.push_back(static_cast<Field>(i));
    LoadDevice(record, all);
}

void ConfigComparison::LoadDevice(const DeviceRecord& record, const std::vector<Field>& fields) {
    const FileConfig values = FileConfigFromDevice(record);
    for (Field f : fields) {
        if (auto member = kFields[static_cast<std::size_t>(Index(f))].value) {
            Ref(Side::Device, f) = values.*member;
        } else {
            Ref(Side::Device, f) = values.pvUnit;
        }
    }
    Mark(Side::Device, fields, Highlight::Normal);
}

void ConfigComparison::Copy(Field field, Side to) {
    const std::string& source = Text(Other(to), field);
    if (source == Text(to, field)) return;
    SetText(to, field, source);
}

void ConfigComparison::CopyRow(ConfigRow row, Side to) {
    if (row == ConfigRow::DeviceId && to == Side::Device) return;
    for (Field f : CopyGroup(row)) Copy(f, to);
}

void ConfigComparison::CopyAllToFile(const DeviceRecord& record) {
    for (int r = 0; r < kRowCount; ++r) CopyRow(static_cast<ConfigRow>(r), Side::File);
    const FileConfig hidden = FileConfigFromDevice(record);
    fileSide_.deviceType = hidden.deviceType;
    fileSide_.constantCjcValue = hidden.constantCjcValue;
    fileSide_.trim1ZeroPoint = hidden.trim1ZeroPoint;
    fileSide_.trim1ZeroValue = hidden.trim1ZeroValue;
    fileSide_.trim1SpanGain = hidden.trim1SpanGain;
    fileSide_.trim2ZeroPoint = hidden.trim2ZeroPoint;
    fileSide_.trim2ZeroValue = hidden.trim2ZeroValue;
    fileSide_.trim2SpanGain = hidden.trim2SpanGain;
    fileSide_.preambles = hidden.preambles;
    fileSide_.universalCmdRev = hidden.universalCmdRev;
    fileSide_.transmitterSpecRev = hidden.transmitterSpecRev;
    fileSide_.hardwareRev = hidden.hardwareRev;
    fileSide_.firmwareRev = hidden.firmwareRev;
}

void ConfigComparison::CopyAllToDevice() {
    for (int r = 0; r < kRowCount; ++r) CopyRow(static_cast<ConfigRow>(r), Side::Device);
}

int ConfigComparison::Compare(Side side) {
    int differing = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        if (!IsValueField(f)) continue;
        const bool differs = !SameFieldText(f, Text(Side::File, f), Text(Side::Device, f));
        differing += differs ? 1 : 0;
        Mark(side, {f}, differs ? Highlight::Differs : Highlight::Normal);
    }
    return differing;
}

NumberEntry ConfigComparison::EntryOf(ConfigRow row, bool lowerEnd) {
    NumberEntry entry;
    const NumberRule* rule = RuleOf(row);
    if (!rule) return entry;
    entry.titleKey = rule->titleKey;
    entry.promptKey = rule->promptKey;
    if (lowerEnd && row == ConfigRow::PvRange) {
        entry.titleKey = "Set_PV_Lower_Range_File";
        entry.promptKey = "Set_PV_Lower_Range";
    } else if (lowerEnd && row == ConfigRow::SensorRange) {
        entry.titleKey = "Set_Sensor_Lower_Range_File";
        entry.promptKey = "Set_Sensor_Lower_val";
    }
    const ValueRule& limits = rule->Rule();
    entry.minimum = limits.minimum;
    entry.maximum = limits.maximum;
    entry.rangeMessage = rule->rangeMessage;
    entry.zeroAllowed = limits.zeroAllowed;
    if (limits.unit == UnitRule::Milliamps) {
        entry.promptArgs = {FormatFixed(limits.minimum, 2), FormatFixed(limits.maximum, 2),
                            std::string("mA")};
    }
    return entry;
}

bool ConfigComparison::EditNumber(ConfigRow row, Side side, Field field, bool lowerEnd,
                                  Prompts& prompts) {
    const NumberRule* rule = RuleOf(row);
    NumberEntry entry = EntryOf(row, lowerEnd);
    entry.initialText = Trimmed(Text(side, field));
    const ValueRule& limits = rule->Rule();
    if (row == ConfigRow::PvDriftAlarm) {
        // The drift alarm is in the PV unit shown on this side.
        entry.promptArgs = {FormatFixed(limits.minimum, 2), FormatFixed(limits.maximum, 2),
                            Text(side, Field::PvUnit)};
    }
    const auto result = prompts.EnterNumber(entry);
    if (!result) return false;
    std::string shown = result->formattedText;
    if (limits.decimals == -1) {
        shown = FormatTruncated(result->value);
    } else if (limits.decimals != 3) {
        shown = FormatFixed(result->value, limits.decimals, 4);
    }
    return SetEdited(side, field, shown);
}

bool ConfigComparison::EditText(Side side, Field field, Prompts& prompts) {
    for (const TextRule& rule : kTextRules) {
        if (rule.field != field) continue;
        TextEntry entry;
        entry.titleKey = rule.titleKey;
        entry.promptKey = rule.promptKey;
        entry.mode = rule.mode;
        entry.lengthLimit = rule.limit;
        entry.packed = rule.packed;
        entry.initialText = Trimmed(Text(side, field));
        const auto text = prompts.EnterText(entry);
        if (!text) return false;
        // What comes back passes the entry's own rule, whoever answered.
        const TextVerdict verdict = CheckTextEntry(entry, *text);
        if (!verdict.result) {
            prompts.Message(verdict.errorKey, verdict.errorArgs, BoxType::OkWarning);
            return false;
        }
        return SetEdited(side, field, *verdict.result);
    }
    return false;
}

bool ConfigComparison::EditSelection(Side side, Field field, const char* titleKey, EnumKind kind,
                                     Prompts& prompts) {
    const EnumPair& pair = CglobalFile::Pair(kind);
    Selection selection;
    selection.titleKey = titleKey;
    selection.names = pair.names;
    selection.codes = pair.codes;
    selection.preselectName = Text(side, field);
    const auto chosen = prompts.Select(selection);
    if (!chosen || chosen->position < 0 ||
        chosen->position >= static_cast<int>(pair.names.size())) {
        return false;
    }
    return SetEdited(side, field, pair.names[static_cast<std::size_t>(chosen->position)]);
}

bool ConfigComparison::EditSensorType(Side side, Prompts& prompts) {
    const EnumPair& types = CglobalFile::Pair(EnumKind::SensorType);
    Selection selection;
    selection.titleKey = "Select_Sensor_Type";
    selection.names = types.names;
    selection.codes = types.codes;
    selection.preselectName = Text(side, Field::SensorType);
    const auto type = prompts.Select(selection);
    if (!type || type->position < 0 || type->position >= static_cast<int>(types.names.size())) {
        return false;
    }
    const int position = type->position;
    const EnumPair& wires = CglobalFile::Pair(EnumKind::Wires);
    const EnumPair& measurements = CglobalFile::Pair(EnumKind::MeasurementType);
    // Resistance sensors and RTDs take a wire count, the others a measurement type.
    const bool byWires = position > 13;
    const EnumPair& asked = byWires ? wires : measurements;
    Selection second;
    second.titleKey = byWires ? "Select_Wire_Type" : "Select_Measurement_Type";
    second.names = asked.names;
    second.codes = asked.codes;
    second.preselectName = Text(side, byWires ? Field::SensorWires : Field::MeasurementType);
    const auto chosen = prompts.Select(second);
    if (!chosen || chosen->position < 0 ||
        chosen->position >= static_cast<int>(asked.names.size())) {
        return false;
    }
    const std::string& chosenName = asked.names[static_cast<std::size_t>(chosen->position)];
    SetText(side, Field::SensorType, types.names[static_cast<std::size_t>(position)]);
    SetText(side, Field::SensorWires, byWires ? chosenName : wires.names.front());
    SetText(side, Field::MeasurementType, byWires ? measurements.names.front() : chosenName);
    if (const auto defaults = SensorDefaults::ForPosition(position)) {
        for (Field f : kPvUnitGroup) SetText(side, f, defaults->unit);
        SetText(side, Field::PvUpperRange, defaults->upperText);
        SetText(side, Field::PvLowerRange, defaults->lowerText);
    }
    return true;
}

bool ConfigComparison::Edit(ConfigRow row, Side side, Prompts& prompts) {
    switch (row) {
        case ConfigRow::Tag:
        case ConfigRow::Descriptor:
        case ConfigRow::Message:
        case ConfigRow::Date:
            return EditText(side, LinesOf(row).front(), prompts);
        case ConfigRow::DeviceId:
            return false;
        case ConfigRow::SensorType:
            return EditSensorType(side, prompts);
        case ConfigRow::PvUnit: {
            const int position = CglobalFile::FindByName(
                CglobalFile::Pair(EnumKind::SensorType).names, Text(side, Field::SensorType));
            const EnumKind kind = CglobalFile::PvUnitChoices(position);
            if (!EditSelection(side, Field::PvUnit, "Select_PV_Unit", kind, prompts)) return false;
            for (Field f : kPvUnitGroup) SetText(side, f, Text(side, Field::PvUnit));
            return true;
        }
        case ConfigRow::PvRange:
        case ConfigRow::SensorRange: {
            // Both ends or nothing: a cancelled lower end keeps the upper one too.
            const Field upper = LinesOf(row)[0];
            const Field lower = LinesOf(row)[1];
            const std::string before = Text(side, upper);
            const Highlight colour = Colour(side, upper);
            if (!EditNumber(row, side, upper, false, prompts)) return false;
            if (!EditNumber(row, side, lower, true, prompts)) {
                Ref(side, upper) = before;
                Mark(side, {upper}, colour);
                return false;
            }
            return true;
        }
        case ConfigRow::Burnout:
            return EditSelection(side, Field::Burnout, "Set_BurnOut", EnumKind::Burnout, prompts);
        case ConfigRow::Transfer:
            return EditSelection(side, Field::Transfer, "Set_Xfer", EnumKind::TransferFunction,
                                 prompts);
        case ConfigRow::TermTempUnit:
            return EditSelection(side, Field::TermTempUnit, "Select_TermTempUnit",
                                 EnumKind::TermTempUnit, prompts);
        case ConfigRow::CjcMode:
            return EditSelection(side, Field::CjcMode, "Select_CJCModeSW", EnumKind::CjcMode,
                                 prompts);
        case ConfigRow::AoAlarmMode:
            return EditSelection(side, Field::AoAlarmMode, "Set_AlarmMode", EnumKind::AoAlarmMode,
                                 prompts);
        default:
            return EditNumber(row, side, LinesOf(row).front(), false, prompts);
    }
}

}  // namespace qt40
