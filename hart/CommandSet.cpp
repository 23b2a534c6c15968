#include "hart/CommandSet.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "hart/DeviceState.h"
#include "hart/Encodings.h"
#include "hart/FrameCodec.h"
#include "hart/IoSystemCommands.h"

namespace qt40 {
namespace {

// --- where values come from and go to -----------------------------------------

void Assign(double& to, const WireValue& v) {
    to = v.number;
}
void Assign(std::int16_t& to, const WireValue& v) {
    to = static_cast<std::int16_t>(v.integer);
}
void Assign(std::int32_t& to, const WireValue& v) {
    to = static_cast<std::int32_t>(v.integer);
}
void Assign(std::uint32_t& to, const WireValue& v) {
    to = static_cast<std::uint32_t>(v.integer);
}
void Assign(std::string& to, const WireValue& v) {
    to = v.text;
}

// An answer field kept in a device record member.
template <auto Member>
void Keep(DeviceState& s, const WireValue& v) {
    Assign(s.record.*Member, v);
}

template <std::size_t Byte>
void KeepAdditionalStatus(DeviceState& s, const WireValue& v) {
    s.record.additionalStatus[Byte] = static_cast<std::int16_t>(v.integer);
}

WireValue ValueOf(std::int16_t v) {
    return WireValue::Integer(v);
}
WireValue ValueOf(std::uint32_t v) {
    return WireValue::Integer(v);
}
WireValue ValueOf(const std::string& v) {
    return WireValue::Text(v);
}

// A request field staged in a write buffer member.
template <auto Member>
WireValue Staged(const DeviceState& s) {
    return ValueOf(s.writes.*Member);
}

WireValue One(const DeviceState&) {
    return WireValue::Integer(1);
}
WireValue PointIndex(const DeviceState& s) {
    return WireValue::Integer(s.pointIndex);
}

RangePair AdjustedRange(const DeviceState& s, const std::string& upperText,
                        const std::string& lowerText) {
    const DeviceRecord& r = s.record;
    return AdjustRangeToLimits(NumberFromText(upperText), NumberFromText(lowerText),
                               r.upperSensorLimit, r.lowerSensorLimit, r.minimumSpan);
}

// Points outside the table (the end marker among them) carry zero values.
std::optional<std::size_t> CurvePoint(const DeviceState& s) {
    if (s.pointIndex < 0 || s.pointIndex >= kSpecialCurveCapacity) return std::nullopt;
    return static_cast<std::size_t>(s.pointIndex);
}
std::optional<std::size_t> TablePoint(const DeviceState& s) {
    if (s.pointIndex < 0 || s.pointIndex >= kCustomTableCapacity) return std::nullopt;
    return static_cast<std::size_t>(s.pointIndex);
}

using F = FieldLayout;
using T = FieldType;
using C = FieldCodes;

// --- the fields of each command ------------------------------------------------

constexpr F kIdentityAnswer[] = {
    {.name = "Expansion code", .offset = 0},
    {.name = "Manufacturer ID", .offset = 1, .codes = C::Manufacturer},
    {.name = "Device type", .offset = 2, .codes = C::DeviceType},
    {.name = "Preambles", .offset = 3},
    {.name = "Universal revision", .offset = 4},
    {.name = "Transmitter revision", .offset = 5},
    {.name = "Firmware revision", .offset = 6},
    {.name = "Hardware revision", .offset = 7, .codes = C::HardwareRevision},
    {.name = "Flags", .offset = 8},
    {.name = "Device ID", .offset = 9, .type = T::U24},
};

constexpr F kLoopCurrentPercentAnswer[] = {
    {.name = "Loop current",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .store = Keep<&DeviceRecord::loopCurrent>},
    {.name = "Percent of range",
     .offset = 4,
     .type = T::F32,
     .unit = "%",
     .store = Keep<&DeviceRecord::percentOfRange>},
};

constexpr F kDynamicVariablesAnswer[] = {
    {.name = "Loop current",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .store = Keep<&DeviceRecord::loopCurrent>},
    {.name = "PV unit", .offset = 4, .codes = C::Unit, .store = Keep<&DeviceRecord::pvUnit>},
    {.name = "PV",
     .offset = 5,
     .type = T::F32,
     .unitField = 1,
     .store = Keep<&DeviceRecord::pvValue>},
    {.name = "SV unit", .offset = 9, .codes = C::Unit, .store = Keep<&DeviceRecord::svUnit>},
    {.name = "SV",
     .offset = 10,
     .type = T::F32,
     .unitField = 3,
     .store = Keep<&DeviceRecord::svValue>},
};

constexpr F kPollingAddressRequest[] = {
    {.name = "Polling address", .offset = 0, .load = Staged<&WriteBuffer::pollingAddress>},
};
constexpr F kPollingAddressAnswer[] = {
    {.name = "Polling address", .offset = 0, .store = Keep<&DeviceRecord::pollingAddress>},
};

constexpr F kMessageRequest[] = {
    {.name = "Message",
     .offset = 0,
     .type = T::Packed,
     .chars = 32,
     .load = Staged<&WriteBuffer::message>},
};
constexpr F kMessageAnswer[] = {
    {.name = "Message",
     .offset = 0,
     .type = T::Packed,
     .chars = 32,
     .store = Keep<&DeviceRecord::message>},
};

constexpr F kTagDescriptorDateRequest[] = {
    {.name = "Tag", .offset = 0, .type = T::Packed, .chars = 8, .load = Staged<&WriteBuffer::tag>},
    {.name = "Descriptor",
     .offset = 6,
     .type = T::Packed,
     .chars = 16,
     .load = Staged<&WriteBuffer::descriptor>},
    {.name = "Date", .offset = 18, .type = T::Date, .load = Staged<&WriteBuffer::date>},
};
constexpr F kTagDescriptorDateAnswer[] = {
    {.name = "Tag", .offset = 0, .type = T::Packed, .chars = 8, .store = Keep<&DeviceRecord::tag>},
    {.name = "Descriptor",
     .offset = 6,
     .type = T::Packed,
     .chars = 16,
     .store = Keep<&DeviceRecord::descriptor>},
    {.name = "Date", .offset = 18, .type = T::Date, .store = Keep<&DeviceRecord::date>},
};

constexpr F kSensorInfoAnswer[] = {
    {.name = "Sensor serial number",
     .offset = 0,
     .type = T::U24,
     .store = Keep<&DeviceRecord::sensorSerialNo>},
    {.name = "PV unit", .offset = 3, .codes = C::Unit, .store = Keep<&DeviceRecord::pvUnit>},
    {.name = "Upper sensor limit",
     .offset = 4,
     .type = T::F32,
     .unitField = 1,
     .store = Keep<&DeviceRecord::upperSensorLimit>},
    {.name = "Lower sensor limit",
     .offset = 8,
     .type = T::F32,
     .unitField = 1,
     .store = Keep<&DeviceRecord::lowerSensorLimit>},
    {.name = "Minimum span",
     .offset = 12,
     .type = T::F32,
     .unitField = 1,
     .store = Keep<&DeviceRecord::minimumSpan>},
};

constexpr F kOutputInfoAnswer[] = {
    {.name = "AO alarm mode",
     .offset = 0,
     .codes = C::AoAlarmMode,
     .store = Keep<&DeviceRecord::aoAlarmMode>},
    {.name = "Transfer function",
     .offset = 1,
     .codes = C::TransferFunction,
     .store = Keep<&DeviceRecord::transferFunction>},
    {.name = "PV unit", .offset = 2, .codes = C::Unit, .store = Keep<&DeviceRecord::pvUnit>},
    {.name = "Upper range value",
     .offset = 3,
     .type = T::F32,
     .unitField = 2,
     .store = Keep<&DeviceRecord::upperRange>},
    {.name = "Lower range value",
     .offset = 7,
     .type = T::F32,
     .unitField = 2,
     .store = Keep<&DeviceRecord::lowerRange>},
    {.name = "Damping",
     .offset = 11,
     .type = T::F32,
     .unit = "s",
     .store = Keep<&DeviceRecord::damping>},
};

constexpr F kFinalAssemblyNoRequest[] = {
    {.name = "Final assembly number",
     .offset = 0,
     .type = T::U24,
     .load = Staged<&WriteBuffer::finalAssemblyNo>},
};
constexpr F kFinalAssemblyNoAnswer[] = {
    {.name = "Final assembly number",
     .offset = 0,
     .type = T::U24,
     .store = Keep<&DeviceRecord::finalAssemblyNo>},
};

constexpr F kDampingRequest[] = {
    {.name = "Damping",
     .offset = 0,
     .type = T::F32,
     .unit = "s",
     .load = Staged<&WriteBuffer::dampingText>},
};
constexpr F kDampingAnswer[] = {
    {.name = "Damping",
     .offset = 0,
     .type = T::F32,
     .unit = "s",
     .store = Keep<&DeviceRecord::damping>},
};

constexpr F kPvRangeRequest[] = {
    {.name = "PV unit", .offset = 0, .codes = C::Unit, .load = Staged<&WriteBuffer::unitCode>},
    {.name = "Upper range value",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .load =
         [](const DeviceState& s) {
             return WireValue::Number(
                 AdjustedRange(s, s.writes.upperRangeText, s.writes.lowerRangeText).upper);
         }},
    {.name = "Lower range value",
     .offset = 5,
     .type = T::F32,
     .unitField = 0,
     .load =
         [](const DeviceState& s) {
             return WireValue::Number(
                 AdjustedRange(s, s.writes.upperRangeText, s.writes.lowerRangeText).lower);
         }},
};
constexpr F kPvRangeAnswer[] = {
    {.name = "PV unit", .offset = 0, .codes = C::Unit, .store = Keep<&DeviceRecord::pvUnit>},
    {.name = "Upper range value",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .store = Keep<&DeviceRecord::upperRange>},
    {.name = "Lower range value",
     .offset = 5,
     .type = T::F32,
     .unitField = 0,
     .store = Keep<&DeviceRecord::lowerRange>},
};

constexpr F kFixedCurrentRequest[] = {
    {.name = "Fixed current",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .load = Staged<&WriteBuffer::fixedCurrentText>},
};
constexpr F kLoopCurrentAnswer[] = {
    {.name = "Loop current",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .store = Keep<&DeviceRecord::loopCurrent>},
};

constexpr F kPvUnitRequest[] = {
    {.name = "PV unit", .offset = 0, .codes = C::Unit, .load = Staged<&WriteBuffer::unitCode>},
};
constexpr F kPvUnitAnswer[] = {
    {.name = "PV unit", .offset = 0, .codes = C::Unit, .store = Keep<&DeviceRecord::pvUnit>},
};

constexpr F kDacTrimRequest[] = {
    {.name = "Measured current",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .load = Staged<&WriteBuffer::dacTrimText>},
};

constexpr F kTransferFunctionRequest[] = {
    {.name = "Transfer function",
     .offset = 0,
     .codes = C::TransferFunction,
     .load = Staged<&WriteBuffer::transferFunction>},
};
constexpr F kTransferFunctionAnswer[] = {
    {.name = "Transfer function",
     .offset = 0,
     .codes = C::TransferFunction,
     .store = Keep<&DeviceRecord::transferFunction>},
};

constexpr F kAdditionalStatusAnswer[] = {
    {.name = "Additional status 0",
     .offset = 0,
     .codes = C::AdditionalStatus,
     .store = KeepAdditionalStatus<0>},
    {.name = "Additional status 1",
     .offset = 1,
     .codes = C::AdditionalStatus,
     .store = KeepAdditionalStatus<1>},
    {.name = "Additional status 2",
     .offset = 2,
     .codes = C::AdditionalStatus,
     .store = KeepAdditionalStatus<2>},
    {.name = "Additional status 3",
     .offset = 3,
     .codes = C::AdditionalStatus,
     .store = KeepAdditionalStatus<3>},
    {.name = "Additional status 4",
     .offset = 4,
     .codes = C::AdditionalStatus,
     .store = KeepAdditionalStatus<4>},
    {.name = "Additional status 5",
     .offset = 5,
     .codes = C::AdditionalStatus,
     .store = KeepAdditionalStatus<5>},
};

constexpr F kSensorSerialNoRequest[] = {
    {.name = "Sensor serial number",
     .offset = 0,
     .type = T::U24,
     .load = Staged<&WriteBuffer::sensorSerialNo>},
};
constexpr F kSensorSerialNoAnswer[] = {
    {.name = "Sensor serial number",
     .offset = 0,
     .type = T::U24,
     .store = Keep<&DeviceRecord::sensorSerialNo>},
};

constexpr F kSensorConfigRequest[] = {
    {.name = "Sensor type",
     .offset = 0,
     .codes = C::SensorType,
     .load = Staged<&WriteBuffer::sensorType>},
    {.name = "Measurement type",
     .offset = 1,
     .codes = C::MeasurementType,
     .load = Staged<&WriteBuffer::measurementType>},
    {.name = "Sensor wires",
     .offset = 2,
     .codes = C::Wires,
     .load = Staged<&WriteBuffer::sensorWires>},
};
constexpr F kSensorConfigAnswer[] = {
    {.name = "Sensor type",
     .offset = 0,
     .codes = C::SensorType,
     .store = Keep<&DeviceRecord::sensorType>},
    {.name = "Measurement type",
     .offset = 1,
     .codes = C::MeasurementType,
     .store = Keep<&DeviceRecord::measurementType>},
    {.name = "Sensor wires",
     .offset = 2,
     .codes = C::Wires,
     .store = Keep<&DeviceRecord::sensorWires>},
};

constexpr F kCjcModeRequest[] = {
    {.name = "CJC mode", .offset = 0, .codes = C::CjcMode, .load = Staged<&WriteBuffer::cjcMode>},
};
constexpr F kCjcModeAnswer[] = {
    {.name = "CJC mode", .offset = 0, .codes = C::CjcMode, .store = Keep<&DeviceRecord::cjcMode>},
};

constexpr F kBurnoutRequest[] = {
    {.name = "Burnout detection",
     .offset = 0,
     .codes = C::Burnout,
     .load = Staged<&WriteBuffer::burnoutDetection>},
};
constexpr F kBurnoutAnswer[] = {
    {.name = "Burnout detection",
     .offset = 0,
     .codes = C::Burnout,
     .store = Keep<&DeviceRecord::burnoutDetection>},
};

constexpr F kTermTempUnitRequest[] = {
    {.name = "Terminal temperature unit",
     .offset = 0,
     .codes = C::Unit,
     .load = Staged<&WriteBuffer::termTempUnit>},
};
constexpr F kTermTempUnitAnswer[] = {
    {.name = "Terminal temperature unit",
     .offset = 0,
     .codes = C::Unit,
     .store = Keep<&DeviceRecord::termTempUnit>},
};

constexpr F kSaturationRequest[] = {
    {.name = "AO saturation high",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .load = Staged<&WriteBuffer::aoSaturationHighText>},
    {.name = "AO saturation low",
     .offset = 4,
     .type = T::F32,
     .unit = "mA",
     .load = Staged<&WriteBuffer::aoSaturationLowText>},
};
constexpr F kSaturationAnswer[] = {
    {.name = "AO saturation high",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .store = Keep<&DeviceRecord::aoSaturationHigh>},
    {.name = "AO saturation low",
     .offset = 4,
     .type = T::F32,
     .unit = "mA",
     .store = Keep<&DeviceRecord::aoSaturationLow>},
};

constexpr F kAlarmValuesRequest[] = {
    {.name = "AO alarm high",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .load = Staged<&WriteBuffer::aoAlarmHighText>},
    {.name = "AO alarm low",
     .offset = 4,
     .type = T::F32,
     .unit = "mA",
     .load = Staged<&WriteBuffer::aoAlarmLowText>},
};
constexpr F kAlarmValuesAnswer[] = {
    {.name = "AO alarm high",
     .offset = 0,
     .type = T::F32,
     .unit = "mA",
     .store = Keep<&DeviceRecord::aoAlarmHigh>},
    {.name = "AO alarm low",
     .offset = 4,
     .type = T::F32,
     .unit = "mA",
     .store = Keep<&DeviceRecord::aoAlarmLow>},
};

constexpr F kAlarmModeRequest[] = {
    {.name = "AO alarm mode",
     .offset = 0,
     .codes = C::AoAlarmMode,
     .load = Staged<&WriteBuffer::aoAlarmMode>},
};
constexpr F kAlarmModeAnswer[] = {
    {.name = "AO alarm mode",
     .offset = 0,
     .codes = C::AoAlarmMode,
     .store = Keep<&DeviceRecord::aoAlarmMode>},
};

constexpr F kRtdCoefficientsRequest[] = {
    {.name = "Coefficient A",
     .offset = 0,
     .type = T::F32,
     .load = Staged<&WriteBuffer::rtdCoefficientAText>},
    {.name = "Coefficient B",
     .offset = 4,
     .type = T::F32,
     .load = Staged<&WriteBuffer::rtdCoefficientBText>},
    {.name = "Coefficient C",
     .offset = 8,
     .type = T::F32,
     .load = Staged<&WriteBuffer::rtdCoefficientCText>},
    {.name = "R0",
     .offset = 12,
     .type = T::F32,
     .unit = "ohm",
     .load = Staged<&WriteBuffer::rtdCoefficientR0Text>},
    {.name = "Lower temperature limit",
     .offset = 16,
     .type = T::S16,
     .unit = "degC",
     .load = Staged<&WriteBuffer::rtdLowerLimit>},
    {.name = "Upper temperature limit",
     .offset = 18,
     .type = T::S16,
     .unit = "degC",
     .load = Staged<&WriteBuffer::rtdUpperLimit>},
};
constexpr F kRtdCoefficientsAnswer[] = {
    {.name = "Coefficient A",
     .offset = 0,
     .type = T::F32,
     .store = Keep<&DeviceRecord::rtdCoefficientA>},
    {.name = "Coefficient B",
     .offset = 4,
     .type = T::F32,
     .store = Keep<&DeviceRecord::rtdCoefficientB>},
    {.name = "Coefficient C",
     .offset = 8,
     .type = T::F32,
     .store = Keep<&DeviceRecord::rtdCoefficientC>},
    {.name = "R0",
     .offset = 12,
     .type = T::F32,
     .unit = "ohm",
     .store = Keep<&DeviceRecord::rtdCoefficientR0>},
    {.name = "Lower temperature limit",
     .offset = 16,
     .type = T::S16,
     .unit = "degC",
     .store = Keep<&DeviceRecord::rtdLowerLimit>},
    {.name = "Upper temperature limit",
     .offset = 18,
     .type = T::S16,
     .unit = "degC",
     .store = Keep<&DeviceRecord::rtdUpperLimit>},
};

constexpr F kConstantCjcRequest[] = {
    {.name = "Terminal temperature unit",
     .offset = 0,
     .codes = C::Unit,
     .load = Staged<&WriteBuffer::termTempUnit>},
    {.name = "Constant CJC value",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .load = Staged<&WriteBuffer::constantCjcText>},
};
constexpr F kConstantCjcAnswer[] = {
    {.name = "Terminal temperature unit",
     .offset = 0,
     .codes = C::Unit,
     .store = Keep<&DeviceRecord::termTempUnit>},
    {.name = "Constant CJC value",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .store = Keep<&DeviceRecord::constantCjcValue>},
};

constexpr F kDriftAlarmRequest[] = {
    {.name = "PV unit", .offset = 0, .codes = C::Unit, .load = Staged<&WriteBuffer::unitCode>},
    {.name = "Drift alarm",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .load = Staged<&WriteBuffer::driftAlarmText>},
};
constexpr F kDriftAlarmAnswer[] = {
    {.name = "PV unit", .offset = 0, .codes = C::Unit, .store = Keep<&DeviceRecord::pvUnit>},
    {.name = "Drift alarm",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .store = Keep<&DeviceRecord::driftAlarm>},
};

constexpr F kDacTrimInitRequest[] = {
    {.name = "Initialise", .offset = 0, .load = One},
};
constexpr F kDacTrimInitAnswer[] = {
    {.name = "DAC trim value 1",
     .offset = 0,
     .type = T::F32,
     .store = Keep<&DeviceRecord::dacTrimInitValue1>},
    {.name = "DAC trim value 2",
     .offset = 4,
     .type = T::F32,
     .store = Keep<&DeviceRecord::dacTrimInitValue2>},
};

constexpr F kSensorRangeRequest[] = {
    {.name = "Sensor unit", .offset = 0, .codes = C::Unit, .load = Staged<&WriteBuffer::unitCode>},
    {.name = "Sensor upper range",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .load =
         [](const DeviceState& s) {
             return WireValue::Number(
                 AdjustedRange(s, s.writes.sensorUpperRangeText, s.writes.sensorLowerRangeText)
                     .upper);
         }},
    {.name = "Sensor lower range",
     .offset = 5,
     .type = T::F32,
     .unitField = 0,
     .load =
         [](const DeviceState& s) {
             return WireValue::Number(
                 AdjustedRange(s, s.writes.sensorUpperRangeText, s.writes.sensorLowerRangeText)
                     .lower);
         }},
};
constexpr F kSensorRangeAnswer[] = {
    {.name = "Sensor unit",
     .offset = 0,
     .codes = C::Unit,
     .store = Keep<&DeviceRecord::sensorUnit>},
    {.name = "Sensor upper range",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .store = Keep<&DeviceRecord::sensorUpperRange>},
    {.name = "Sensor lower range",
     .offset = 5,
     .type = T::F32,
     .unitField = 0,
     .store = Keep<&DeviceRecord::sensorLowerRange>},
};

constexpr F kSensorNumberRequest[] = {
    {.name = "Sensor number",
     .offset = 0,
     .codes = C::SensorNumber,
     .load = Staged<&WriteBuffer::trimSensorNo>},
};
constexpr F kSensorTrimRequest[] = {
    {.name = "Sensor number",
     .offset = 0,
     .codes = C::SensorNumber,
     .load = Staged<&WriteBuffer::trimSensorNo>},
    {.name = "Trim action",
     .offset = 1,
     .codes = C::TrimAction,
     .load = Staged<&WriteBuffer::trimAction>},
    {.name = "Unit", .offset = 2, .codes = C::Unit, .load = Staged<&WriteBuffer::unitCode>},
    {.name = "Trim value",
     .offset = 3,
     .type = T::F32,
     .unitField = 2,
     .load = Staged<&WriteBuffer::trimValueText>},
};
constexpr F kSensorTrimAnswer[] = {
    {.name = "Sensor number",
     .offset = 0,
     .codes = C::SensorNumber,
     .store = Keep<&DeviceRecord::trimSensorNo>},
    {.name = "Sensor unit",
     .offset = 1,
     .codes = C::Unit,
     .store = Keep<&DeviceRecord::sensorUnit>},
    {.name = "Trim zero point",
     .offset = 2,
     .type = T::F32,
     .unitField = 1,
     .store = Keep<&DeviceRecord::trimZeroPoint>},
    {.name = "Trim zero value",
     .offset = 6,
     .type = T::F32,
     .unitField = 1,
     .store = Keep<&DeviceRecord::trimZeroValue>},
    {.name = "Trim span gain",
     .offset = 10,
     .type = T::F32,
     .store = Keep<&DeviceRecord::trimSpanGain>},
};

constexpr F kLeadWireResistanceRequest[] = {
    {.name = "Lead wire resistance",
     .offset = 0,
     .type = T::F32,
     .unit = "ohm",
     .load = Staged<&WriteBuffer::leadWireResistanceText>},
};
constexpr F kLeadWireResistanceAnswer[] = {
    {.name = "Lead wire resistance",
     .offset = 0,
     .type = T::F32,
     .unit = "ohm",
     .store = Keep<&DeviceRecord::leadWireResistance>},
};

constexpr F kCalibrationReadingsAnswer[] = {
    {.name = "Sensor unit",
     .offset = 0,
     .codes = C::Unit,
     .store = Keep<&DeviceRecord::sensorUnit>},
    {.name = "Sensor reading",
     .offset = 1,
     .type = T::F32,
     .unitField = 0,
     .store = Keep<&DeviceRecord::sensorReading>},
    {.name = "Second reading",
     .offset = 5,
     .type = T::F32,
     .unit = "ohm",
     .store = Keep<&DeviceRecord::sensorResistanceReading>},
    {.name = "PV unit", .offset = 9, .codes = C::Unit, .store = Keep<&DeviceRecord::pvUnit>},
    {.name = "PV reading",
     .offset = 10,
     .type = T::F32,
     .unitField = 3,
     .store = Keep<&DeviceRecord::pvReading>},
};

constexpr F kSpecialCurveHeaderRequest[] = {
    {.name = "Size",
     .offset = 0,
     .type = T::S16,
     .load = [](const DeviceState& s) { return WireValue::Integer(s.writes.specialCurve.size); }},
};
constexpr F kSpecialCurveHeaderAnswer[] = {
    {.name = "Header word",
     .offset = 0,
     .type = T::S16,
     .store = [](DeviceState& s,
                 const WireValue& v) { Assign(s.record.specialCurve.headerWord, v); }},
    {.name = "Size",
     .offset = 2,
     .type = T::S16,
     .store = [](DeviceState& s, const WireValue& v) { Assign(s.record.specialCurve.size, v); }},
    {.name = "Status",
     .offset = 4,
     .store = [](DeviceState& s, const WireValue& v) { Assign(s.record.specialCurve.status, v); }},
};

constexpr F kPointIndexRequest[] = {
    {.name = "Point index", .offset = 0, .type = T::S16, .load = PointIndex},
};
// The point answers are stored by their decoders: the index says where.
constexpr F kSpecialCurvePointRequest[] = {
    {.name = "Point index", .offset = 0, .type = T::S16, .load = PointIndex},
    {.name = "X / 100",
     .offset = 2,
     .type = T::F32,
     .load =
         [](const DeviceState& s) {
             const auto i = CurvePoint(s);
             return i ? WireValue::Number(NumberFromText(s.writes.specialCurve.xTexts[*i]) / 100.0)
                      : WireValue{};
         }},
    {.name = "Y / 100",
     .offset = 6,
     .type = T::F32,
     .load =
         [](const DeviceState& s) {
             const auto i = CurvePoint(s);
             return i ? WireValue::Number(NumberFromText(s.writes.specialCurve.yTexts[*i]) / 100.0)
                      : WireValue{};
         }},
};
constexpr F kSpecialCurvePointAnswer[] = {
    {.name = "Point index", .offset = 0, .type = T::S16},
    {.name = "X / 100", .offset = 2, .type = T::F32},
    {.name = "Y / 100", .offset = 6, .type = T::F32},
};

constexpr F kCustomTableHeaderRequest[] = {
    {.name = "Size",
     .offset = 0,
     .type = T::S16,
     .load = [](const DeviceState& s) { return WireValue::Integer(s.writes.customTable.size); }},
    {.name = "Temperature step",
     .offset = 2,
     .unit = "degC",
     .load = [](const DeviceState& s) { return WireValue::Text(s.writes.customTable.stepText); }},
    {.name = "Minimum temperature",
     .offset = 3,
     .type = T::S16,
     .unit = "degC",
     .load =
         [](const DeviceState& s) { return WireValue::Text(s.writes.customTable.minimumText); }},
};
constexpr F kCustomTableHeaderAnswer[] = {
    {.name = "Header word",
     .offset = 0,
     .type = T::S16,
     .store = [](DeviceState& s,
                 const WireValue& v) { Assign(s.record.customTable.headerWord, v); }},
    {.name = "Size",
     .offset = 2,
     .type = T::S16,
     .store = [](DeviceState& s, const WireValue& v) { Assign(s.record.customTable.size, v); }},
    {.name = "Temperature step",
     .offset = 4,
     .unit = "degC",
     .store = [](DeviceState& s, const WireValue& v) { Assign(s.record.customTable.step, v); }},
    {.name = "Minimum temperature",
     .offset = 5,
     .type = T::S16,
     .unit = "degC",
     .store = [](DeviceState& s, const WireValue& v) { Assign(s.record.customTable.minimum, v); }},
    {.name = "Status",
     .offset = 7,
     .store = [](DeviceState& s, const WireValue& v) { Assign(s.record.customTable.status, v); }},
};

WireValue TablePointValue(const DeviceState& s) {
    const auto i = TablePoint(s);
    return i ? WireValue::Text(s.writes.customTable.valueTexts[*i]) : WireValue{};
}
constexpr F kCustomTcPointRequest[] = {
    {.name = "Point index", .offset = 0, .type = T::S16, .load = PointIndex},
    {.name = "Value", .offset = 2, .type = T::F32, .unit = "mV", .load = TablePointValue},
};
constexpr F kCustomTcPointAnswer[] = {
    {.name = "Point index", .offset = 0, .type = T::S16},
    {.name = "Value", .offset = 2, .type = T::F32, .unit = "mV"},
};
constexpr F kCustomRtdPointRequest[] = {
    {.name = "Point index", .offset = 0, .type = T::S16, .load = PointIndex},
    {.name = "Value", .offset = 2, .type = T::F32, .unit = "ohm", .load = TablePointValue},
};
constexpr F kCustomRtdPointAnswer[] = {
    {.name = "Point index", .offset = 0, .type = T::S16},
    {.name = "Value", .offset = 2, .type = T::F32, .unit = "ohm"},
};

// --- what the fields alone do not say -----------------------------------------

const std::uint8_t* Answer(const DeviceState& s) {
    return s.link.dataBuffer.data() + 2;
}

bool DecodeIdentityAnswer(DeviceState& s) {  // 0
    DecodeIdentity(s.link, s.record);
    return true;
}

bool DecodeDynamicVariables(DeviceState& s) {  // 3
    s.record.loopCurrentUnit = 39;             // mA, whatever the device says
    return true;
}

// A point answer whose index lies outside the table (the end marker aside)
// is ignored: it would otherwise be stored past the end of the image.
bool DecodeSpecialCurvePoint(DeviceState& s) {  // 188, 189
    const auto* p = Answer(s);
    const auto& f = kSpecialCurvePointAnswer;
    const int index = static_cast<int>(ReadField(f[0], p).integer);
    if (index == kEndOfTableIndex) {
        s.pointIndex = index;
    } else if (index >= 0 && index < kSpecialCurveCapacity) {
        s.record.specialCurve.x[static_cast<std::size_t>(index)] =
            ReadField(f[1], p).number * 100.0;
        s.record.specialCurve.y[static_cast<std::size_t>(index)] =
            ReadField(f[2], p).number * 100.0;
        s.pointIndex = index;
    }
    return true;
}

bool DecodeCustomTablePoint(DeviceState& s) {  // 192, 193, 196, 197
    const auto* p = Answer(s);
    const auto& f = kCustomTcPointAnswer;
    const int index = static_cast<int>(ReadField(f[0], p).integer);
    if (index == kEndOfTableIndex) {
        s.pointIndex = index;
    } else if (index >= 0 && index < kCustomTableCapacity) {
        s.record.customTable.values[static_cast<std::size_t>(index)] = ReadField(f[1], p).number;
        s.pointIndex = index;
    }
    return true;
}

// One request trims either end of the output; the trim point picks the command.
void EncodeDacTrim(DeviceState& s) {
    s.link.command = s.writes.dacTrimPoint == 0 ? 45 : 46;
}

// --- the command table -----------------------------------------------------

constexpr CommandLayout L(const char* name, std::span<const F> request, std::span<const F> answer) {
    return {name, request, answer};
}

constexpr CommandLayout k0 = L("Read unique identifier", {}, kIdentityAnswer);
constexpr CommandLayout k2 =
    L("Read loop current and percent of range", {}, kLoopCurrentPercentAnswer);
constexpr CommandLayout k3 =
    L("Read loop current and dynamic variables", {}, kDynamicVariablesAnswer);
constexpr CommandLayout k6 =
    L("Write polling address", kPollingAddressRequest, kPollingAddressAnswer);
constexpr CommandLayout k12 = L("Read message", {}, kMessageAnswer);
constexpr CommandLayout k13 = L("Read tag, descriptor, date", {}, kTagDescriptorDateAnswer);
constexpr CommandLayout k14 = L("Read PV sensor information", {}, kSensorInfoAnswer);
constexpr CommandLayout k15 = L("Read output information", {}, kOutputInfoAnswer);
constexpr CommandLayout k16 = L("Read final assembly number", {}, kFinalAssemblyNoAnswer);
constexpr CommandLayout k17 = L("Write message", kMessageRequest, kMessageAnswer);
constexpr CommandLayout k18 =
    L("Write tag, descriptor, date", kTagDescriptorDateRequest, kTagDescriptorDateAnswer);
constexpr CommandLayout k19 =
    L("Write final assembly number", kFinalAssemblyNoRequest, kFinalAssemblyNoAnswer);
constexpr CommandLayout k34 = L("Write damping", kDampingRequest, kDampingAnswer);
constexpr CommandLayout k35 = L("Write PV range", kPvRangeRequest, kPvRangeAnswer);
constexpr CommandLayout k38 = L("Reset configuration-changed flag", {}, {});
constexpr CommandLayout k40 =
    L("Enter or leave fixed loop current", kFixedCurrentRequest, kLoopCurrentAnswer);
constexpr CommandLayout k41 = L("Self test", {}, {});
constexpr CommandLayout k42 = L("Device reset", {}, {});
constexpr CommandLayout k44 = L("Write PV unit", kPvUnitRequest, kPvUnitAnswer);
constexpr CommandLayout k45 = L("Trim loop current zero", kDacTrimRequest, kLoopCurrentAnswer);
constexpr CommandLayout k46 = L("Trim loop current gain", kDacTrimRequest, kLoopCurrentAnswer);
constexpr CommandLayout k47 =
    L("Write transfer function", kTransferFunctionRequest, kTransferFunctionAnswer);
constexpr CommandLayout k48 = L("Read additional status", {}, kAdditionalStatusAnswer);
constexpr CommandLayout k49 =
    L("Write sensor serial number", kSensorSerialNoRequest, kSensorSerialNoAnswer);
constexpr CommandLayout k130 = L("Read sensor configuration", {}, kSensorConfigAnswer);
constexpr CommandLayout k131 =
    L("Write sensor configuration", kSensorConfigRequest, kSensorConfigAnswer);
constexpr CommandLayout k132 = L("Read CJC mode", {}, kCjcModeAnswer);
constexpr CommandLayout k133 = L("Write CJC mode", kCjcModeRequest, kCjcModeAnswer);
constexpr CommandLayout k134 = L("Read burnout detection", {}, kBurnoutAnswer);
constexpr CommandLayout k135 = L("Write burnout detection", kBurnoutRequest, kBurnoutAnswer);
constexpr CommandLayout k136 =
    L("Write terminal temperature unit", kTermTempUnitRequest, kTermTempUnitAnswer);
constexpr CommandLayout k137 = L("Read AO saturation values", {}, kSaturationAnswer);
constexpr CommandLayout k138 =
    L("Write AO saturation values", kSaturationRequest, kSaturationAnswer);
constexpr CommandLayout k139 = L("Read AO alarm values", {}, kAlarmValuesAnswer);
constexpr CommandLayout k140 = L("Write AO alarm values", kAlarmValuesRequest, kAlarmValuesAnswer);
constexpr CommandLayout k141 = L("Read AO alarm mode", {}, kAlarmModeAnswer);
constexpr CommandLayout k142 = L("Write AO alarm mode", kAlarmModeRequest, kAlarmModeAnswer);
constexpr CommandLayout k143 = L("Read calibrated-RTD coefficients", {}, kRtdCoefficientsAnswer);
constexpr CommandLayout k144 =
    L("Write calibrated-RTD coefficients", kRtdCoefficientsRequest, kRtdCoefficientsAnswer);
constexpr CommandLayout k145 = L("Read constant CJC value", {}, kConstantCjcAnswer);
constexpr CommandLayout k146 =
    L("Write constant CJC value", kConstantCjcRequest, kConstantCjcAnswer);
constexpr CommandLayout k147 = L("Read PV drift alarm", {}, kDriftAlarmAnswer);
constexpr CommandLayout k148 = L("Write PV drift alarm", kDriftAlarmRequest, kDriftAlarmAnswer);
constexpr CommandLayout k149 =
    L("Initialise DAC trim data", kDacTrimInitRequest, kDacTrimInitAnswer);
constexpr CommandLayout k150 = L("Read sensor range", {}, kSensorRangeAnswer);
constexpr CommandLayout k151 = L("Write sensor range", kSensorRangeRequest, kSensorRangeAnswer);
constexpr CommandLayout k152 = L("Read sensor trim data", kSensorNumberRequest, kSensorTrimAnswer);
constexpr CommandLayout k153 = L("Write sensor trim", kSensorTrimRequest, kSensorTrimAnswer);
constexpr CommandLayout k154 = L("Read lead wire resistance", {}, kLeadWireResistanceAnswer);
constexpr CommandLayout k155 =
    L("Write lead wire resistance", kLeadWireResistanceRequest, kLeadWireResistanceAnswer);
constexpr CommandLayout k156 =
    L("Read calibration readings", kSensorNumberRequest, kCalibrationReadingsAnswer);
constexpr CommandLayout k186 = L("Read special-curve header", {}, kSpecialCurveHeaderAnswer);
constexpr CommandLayout k187 =
    L("Write special-curve header", kSpecialCurveHeaderRequest, kSpecialCurveHeaderAnswer);
constexpr CommandLayout k188 =
    L("Read special-curve point", kPointIndexRequest, kSpecialCurvePointAnswer);
constexpr CommandLayout k189 =
    L("Write special-curve point", kSpecialCurvePointRequest, kSpecialCurvePointAnswer);
constexpr CommandLayout k190 = L("Read custom TC header", {}, kCustomTableHeaderAnswer);
constexpr CommandLayout k191 =
    L("Write custom TC header", kCustomTableHeaderRequest, kCustomTableHeaderAnswer);
constexpr CommandLayout k192 = L("Read custom TC point", kPointIndexRequest, kCustomTcPointAnswer);
constexpr CommandLayout k193 =
    L("Write custom TC point", kCustomTcPointRequest, kCustomTcPointAnswer);
constexpr CommandLayout k194 = L("Read custom RTD header", {}, kCustomTableHeaderAnswer);
constexpr CommandLayout k195 =
    L("Write custom RTD header", kCustomTableHeaderRequest, kCustomTableHeaderAnswer);
constexpr CommandLayout k196 =
    L("Read custom RTD point", kPointIndexRequest, kCustomRtdPointAnswer);
constexpr CommandLayout k197 =
    L("Write custom RTD point", kCustomRtdPointRequest, kCustomRtdPointAnswer);

constexpr CommandStep kCommands[] = {
    {0, 0, DecodeIdentityAnswer, nullptr, &k0},
    {2, 0, nullptr, nullptr, &k2},
    {3, 0, DecodeDynamicVariables, nullptr, &k3},
    {6, 1, nullptr, nullptr, &k6},
    {12, 0, nullptr, nullptr, &k12},
    {13, 0, nullptr, nullptr, &k13},
    {14, 0, nullptr, nullptr, &k14},
    {15, 0, nullptr, nullptr, &k15},
    {16, 0, nullptr, nullptr, &k16},
    {17, 24, nullptr, nullptr, &k17},
    {18, 21, nullptr, nullptr, &k18},
    {19, 3, nullptr, nullptr, &k19},
    {34, 4, nullptr, nullptr, &k34},
    {35, 9, nullptr, nullptr, &k35},
    {38, 0, nullptr, nullptr, &k38},
    {40, 4, nullptr, nullptr, &k40},
    {41, 0, nullptr, nullptr, &k41},
    {42, 0, nullptr, nullptr, &k42},
    {44, 1, nullptr, nullptr, &k44},
    {45, 4, nullptr, EncodeDacTrim, &k45},
    {47, 1, nullptr, nullptr, &k47},
    {48, 0, nullptr, nullptr, &k48},
    {49, 3, nullptr, nullptr, &k49},
    {130, 0, nullptr, nullptr, &k130},
    {131, 3, nullptr, nullptr, &k131},
    {132, 0, nullptr, nullptr, &k132},
    {133, 1, nullptr, nullptr, &k133},
    {134, 0, nullptr, nullptr, &k134},
    {135, 1, nullptr, nullptr, &k135},
    {136, 1, nullptr, nullptr, &k136},
    {137, 0, nullptr, nullptr, &k137},
    {138, 8, nullptr, nullptr, &k138},
    {139, 0, nullptr, nullptr, &k139},
    {140, 8, nullptr, nullptr, &k140},
    {141, 0, nullptr, nullptr, &k141},
    {142, 1, nullptr, nullptr, &k142},
    {143, 0, nullptr, nullptr, &k143},
    {144, 22, nullptr, nullptr, &k144},
    {145, 0, nullptr, nullptr, &k145},
    {146, 5, nullptr, nullptr, &k146},
    {147, 0, nullptr, nullptr, &k147},
    {148, 5, nullptr, nullptr, &k148},
    {149, 10, nullptr, nullptr, &k149},
    {150, 0, nullptr, nullptr, &k150},
    {151, 9, nullptr, nullptr, &k151},
    {152, 14, nullptr, nullptr, &k152},
    {153, 14, nullptr, nullptr, &k153},
    {154, 0, nullptr, nullptr, &k154},
    {155, 4, nullptr, nullptr, &k155},
    {156, 14, nullptr, nullptr, &k156},
    {186, 0, nullptr, nullptr, &k186},
    {187, 2, nullptr, nullptr, &k187},
    {188, 10, DecodeSpecialCurvePoint, nullptr, &k188},
    {189, 10, DecodeSpecialCurvePoint, nullptr, &k189},
    {190, 0, nullptr, nullptr, &k190},
    {191, 8, nullptr, nullptr, &k191},
    {192, 6, DecodeCustomTablePoint, nullptr, &k192},
    {193, 6, DecodeCustomTablePoint, nullptr, &k193},
    {194, 0, nullptr, nullptr, &k194},
    {195, 8, nullptr, nullptr, &k195},
    {196, 6, DecodeCustomTablePoint, nullptr, &k196},
    {197, 6, DecodeCustomTablePoint, nullptr, &k197},
};

double RoundedAtThreeDecimals(double value) {
    // Locale-independent "%.3f" and back.
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
    if (ec != std::errc()) return value;
    double rounded = value;
    std::from_chars(text, end, rounded);
    return rounded;
}

}  // namespace

std::span<const CommandStep> StepsOf(const CommandStep* list) {
    std::size_t n = 0;
    while (!(list[n].command == 0xFF && list[n].byteCount == 0xFF)) ++n;
    return {list, n};
}

const CommandLayout* FindLayout(std::uint8_t command) {
    if (command == 46) return &k46;
    const CommandStep* step = FindCommand(command);
    return step ? step->layout : FindIoSystemLayout(command);
}

const CommandStep* FindCommand(std::uint8_t command) {
    if (command == 46) command = 45;
    for (const CommandStep& step : kCommands) {
        if (step.command == command) return &step;
    }
    return nullptr;
}

void PrepareRequest(DeviceState& session, const CommandStep& step) {
    session.link.command = step.command;
    session.link.byteCount = step.byteCount;
    // Request bytes an encoder leaves alone go out as zeros, not as the
    // remains of the previous answer.
    std::memset(session.link.dataBuffer.data(), 0, step.byteCount);
    if (step.layout) {
        for (const FieldLayout& field : step.layout->request) {
            if (field.load && field.offset + FieldSize(field) <= step.byteCount) {
                WriteField(field, field.load(session), session.link.dataBuffer.data());
            }
        }
    }
    if (step.encoder) step.encoder(session);
}

bool DecodeAnswer(DeviceState& session, const CommandStep& step) {
    if (step.layout) {
        const auto& fields = step.layout->answer;
        if (session.link.byteCount < FieldsEnd(fields) + 2) return false;
        for (const FieldLayout& field : fields) {
            if (field.store) field.store(session, ReadField(field, Answer(session)));
        }
    }
    return step.decoder ? step.decoder(session) : true;
}

RangePair AdjustRangeToLimits(double upper, double lower, double upperSensorLimit,
                              double lowerSensorLimit, double minimumSpan) {
    constexpr double e = 0.0001;
    const double usl = RoundedAtThreeDecimals(upperSensorLimit);
    const double lsl = RoundedAtThreeDecimals(lowerSensorLimit);
    const double ms = RoundedAtThreeDecimals(minimumSpan);
    const bool minimal = std::fabs(upper - lower) == ms;
    double u = upper;
    double l = lower;
    if (u == usl) {
        u -= e;
        if (minimal) l -= e;
    }
    if (l == lsl) {
        l += e;
        if (minimal) u += e;
    }
    if (u == lsl) {
        u += e;
        if (minimal) l += e;
    }
    if (l == usl) {
        l -= e;
        if (minimal) u -= e;
    }
    return {u, l};
}

}  // namespace qt40
