#include "files/ConfigFields.h"

#include <array>
#include <cstddef>

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

const FieldInfo& InfoOf(Field field) {
    return kFields[static_cast<std::size_t>(field)];
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

constexpr NumberRowRule kNumberRules[] = {
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

constexpr TextFieldRule kTextRules[] = {
    {F::Tag, "Set_Tag_Text_Title", "Set_TAG_Text", TextMode::Text, 8, true},
    {F::Descriptor, "Set_Description_Text_Title", "Set_Description_Text", TextMode::Text, 16, true},
    {F::Message, "Set_Message_Text_Title", "Set_Message_Text", TextMode::Text, 32, true},
    {F::Date, "Set_Date_Text_Title", "Set_Date_Text", TextMode::Date, 0, false},
};

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

const std::vector<Field>& PvUnitGroup() {
    return kPvUnitGroup;
}

const char* FieldCaption(Field field) {
    return InfoOf(field).caption;
}

bool IsValueField(Field field) {
    return InfoOf(field).value != nullptr;
}

std::string FileConfig::*FieldMember(Field field) {
    return InfoOf(field).value;
}

const std::string& FieldValue(const FileConfig& config, Field field) {
    if (auto member = InfoOf(field).value) return config.*member;
    return config.pvUnit;
}

const NumberRowRule* NumberRuleOf(ConfigRow row) {
    for (const NumberRowRule& rule : kNumberRules) {
        if (rule.row == row) return &rule;
    }
    return nullptr;
}

const TextFieldRule* TextRuleOf(Field field) {
    for (const TextFieldRule& rule : kTextRules) {
        if (rule.field == field) return &rule;
    }
    return nullptr;
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
            {"Transmitter-Specific Revision", &C::transmitterSpecRev},
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

const std::vector<StoredValue>& HiddenValues() {
    static const std::vector<StoredValue> values = [] {
        std::vector<StoredValue> hidden;
        for (const StoredValue& v : StoredValues()) {
            bool shown = false;
            for (const FieldInfo& f : kFields) shown = shown || f.value == v.value;
            if (!shown) hidden.push_back(v);
        }
        return hidden;
    }();
    return values;
}

}  // namespace qt40
