#include "CommandSet.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "Encodings.h"
#include "FrameCodec.h"
#include "HartSession.h"

namespace qt40 {
namespace {

// The command's own data in the answer start after the two status bytes.
const std::uint8_t* Answer(const HartSession& s) { return s.link.dataBuffer.data() + 2; }
bool HasAnswerBytes(const HartSession& s, int n) { return s.link.byteCount >= n + 2; }
std::uint8_t* Request(HartSession& s) { return s.link.dataBuffer.data(); }
std::uint8_t Byte(std::int16_t code) { return static_cast<std::uint8_t>(code); }

// --- decoders ---------------------------------------------------------------

bool DecodeNothing(HartSession&) { return true; }

bool DecodeIdentityAnswer(HartSession& s) {
    if (!HasAnswerBytes(s, 12)) return false;
    DecodeIdentity(s.link, s.record);
    return true;
}

bool DecodeLoopCurrentPercent(HartSession& s) {  // 2
    if (!HasAnswerBytes(s, 8)) return false;
    const auto* p = Answer(s);
    s.record.loopCurrent = GetFloat(p);
    s.record.percentOfRange = GetFloat(p + 4);
    return true;
}

bool DecodeDynamicVariables(HartSession& s) {  // 3
    if (!HasAnswerBytes(s, 14)) return false;
    const auto* p = Answer(s);
    DeviceRecord& r = s.record;
    r.loopCurrent = GetFloat(p);
    r.pvUnit = p[4];
    r.pvValue = GetFloat(p + 5);
    r.svUnit = p[9];
    r.svValue = GetFloat(p + 10);
    r.loopCurrentUnit = 39;  // mA, whatever the device says
    return true;
}

bool DecodePollingAddress(HartSession& s) {  // 6
    if (!HasAnswerBytes(s, 1)) return false;
    s.record.pollingAddress = Answer(s)[0];
    return true;
}

bool DecodeMessage(HartSession& s) {  // 12, 17
    if (!HasAnswerBytes(s, 24)) return false;
    s.record.message = UnpackAscii(Answer(s), 32);
    return true;
}

bool DecodeTagDescriptorDate(HartSession& s) {  // 13, 18
    if (!HasAnswerBytes(s, 21)) return false;
    const auto* p = Answer(s);
    s.record.tag = UnpackAscii(p, 8);
    s.record.descriptor = UnpackAscii(p + 6, 16);
    s.record.date = DateText(p[18], p[19], p[20]);
    return true;
}

bool DecodeSensorInfo(HartSession& s) {  // 14
    if (!HasAnswerBytes(s, 16)) return false;
    const auto* p = Answer(s);
    DeviceRecord& r = s.record;
    r.sensorSerialNo = GetU24(p);
    r.pvUnit = p[3];
    r.upperSensorLimit = GetFloat(p + 4);
    r.lowerSensorLimit = GetFloat(p + 8);
    r.minimumSpan = GetFloat(p + 12);
    return true;
}

bool DecodeOutputInfo(HartSession& s) {  // 15
    if (!HasAnswerBytes(s, 15)) return false;
    const auto* p = Answer(s);
    DeviceRecord& r = s.record;
    r.aoAlarmMode = p[0];
    r.transferFunction = p[1];
    r.pvUnit = p[2];
    r.upperRange = GetFloat(p + 3);
    r.lowerRange = GetFloat(p + 7);
    r.damping = GetFloat(p + 11);
    return true;
}

bool DecodeFinalAssemblyNo(HartSession& s) {  // 16, 19
    if (!HasAnswerBytes(s, 3)) return false;
    s.record.finalAssemblyNo = GetU24(Answer(s));
    return true;
}

bool DecodeDamping(HartSession& s) {  // 34
    if (!HasAnswerBytes(s, 4)) return false;
    s.record.damping = GetFloat(Answer(s));
    return true;
}

bool DecodePvRange(HartSession& s) {  // 35
    if (!HasAnswerBytes(s, 9)) return false;
    const auto* p = Answer(s);
    s.record.pvUnit = p[0];
    s.record.upperRange = GetFloat(p + 1);
    s.record.lowerRange = GetFloat(p + 5);
    return true;
}

bool DecodeLoopCurrent(HartSession& s) {  // 40, 45, 46
    if (!HasAnswerBytes(s, 4)) return false;
    s.record.loopCurrent = GetFloat(Answer(s));
    return true;
}

bool DecodePvUnit(HartSession& s) {  // 44
    if (!HasAnswerBytes(s, 1)) return false;
    s.record.pvUnit = Answer(s)[0];
    return true;
}

bool DecodeTransferFunction(HartSession& s) {  // 47
    if (!HasAnswerBytes(s, 1)) return false;
    s.record.transferFunction = Answer(s)[0];
    return true;
}

bool DecodeAdditionalStatus(HartSession& s) {  // 48
    if (!HasAnswerBytes(s, 6)) return false;
    for (int i = 0; i < 6; ++i) s.record.additionalStatus[static_cast<std::size_t>(i)] = Answer(s)[i];
    return true;
}

bool DecodeSensorSerialNo(HartSession& s) {  // 49
    if (!HasAnswerBytes(s, 3)) return false;
    s.record.sensorSerialNo = GetU24(Answer(s));
    return true;
}

bool DecodeSensorConfig(HartSession& s) {  // 130, 131
    if (!HasAnswerBytes(s, 3)) return false;
    const auto* p = Answer(s);
    s.record.sensorType = p[0];
    s.record.measurementType = p[1];
    s.record.sensorWires = p[2];
    return true;
}

bool DecodeCjcMode(HartSession& s) {  // 132, 133
    if (!HasAnswerBytes(s, 1)) return false;
    s.record.cjcMode = Answer(s)[0];
    return true;
}

bool DecodeBurnout(HartSession& s) {  // 134, 135
    if (!HasAnswerBytes(s, 1)) return false;
    s.record.burnoutDetection = Answer(s)[0];
    return true;
}

bool DecodeTermTempUnit(HartSession& s) {  // 136
    if (!HasAnswerBytes(s, 1)) return false;
    s.record.termTempUnit = Answer(s)[0];
    return true;
}

bool DecodeSaturation(HartSession& s) {  // 137, 138
    if (!HasAnswerBytes(s, 8)) return false;
    s.record.aoSaturationHigh = GetFloat(Answer(s));
    s.record.aoSaturationLow = GetFloat(Answer(s) + 4);
    return true;
}

bool DecodeAlarmValues(HartSession& s) {  // 139, 140
    if (!HasAnswerBytes(s, 8)) return false;
    s.record.aoAlarmHigh = GetFloat(Answer(s));
    s.record.aoAlarmLow = GetFloat(Answer(s) + 4);
    return true;
}

bool DecodeAlarmMode(HartSession& s) {  // 141, 142
    if (!HasAnswerBytes(s, 1)) return false;
    s.record.aoAlarmMode = Answer(s)[0];
    return true;
}

bool DecodeRtdCoefficients(HartSession& s) {  // 143, 144
    if (!HasAnswerBytes(s, 20)) return false;
    const auto* p = Answer(s);
    DeviceRecord& r = s.record;
    r.rtdCoefficientA = GetFloat(p);
    r.rtdCoefficientB = GetFloat(p + 4);
    r.rtdCoefficientC = GetFloat(p + 8);
    r.rtdCoefficientR0 = GetFloat(p + 12);
    r.rtdLowerLimit = GetS16(p + 16);
    r.rtdUpperLimit = GetS16(p + 18);
    return true;
}

bool DecodeConstantCjc(HartSession& s) {  // 145, 146
    if (!HasAnswerBytes(s, 5)) return false;
    s.record.termTempUnit = Answer(s)[0];
    s.record.constantCjcValue = GetFloat(Answer(s) + 1);
    return true;
}

bool DecodeDriftAlarm(HartSession& s) {  // 147, 148
    if (!HasAnswerBytes(s, 5)) return false;
    s.record.pvUnit = Answer(s)[0];
    s.record.driftAlarm = GetFloat(Answer(s) + 1);
    return true;
}

bool DecodeDacTrimInit(HartSession& s) {  // 149
    if (!HasAnswerBytes(s, 8)) return false;
    s.record.dacTrimInitValue1 = GetFloat(Answer(s));
    s.record.dacTrimInitValue2 = GetFloat(Answer(s) + 4);
    return true;
}

bool DecodeSensorRange(HartSession& s) {  // 150, 151
    if (!HasAnswerBytes(s, 9)) return false;
    const auto* p = Answer(s);
    s.record.sensorUnit = p[0];
    s.record.sensorUpperRange = GetFloat(p + 1);
    s.record.sensorLowerRange = GetFloat(p + 5);
    return true;
}

bool DecodeSensorTrim(HartSession& s) {  // 152, 153
    if (!HasAnswerBytes(s, 14)) return false;
    const auto* p = Answer(s);
    DeviceRecord& r = s.record;
    r.trimSensorNo = p[0];
    r.sensorUnit = p[1];
    r.trimZeroPoint = GetFloat(p + 2);
    r.trimZeroValue = GetFloat(p + 6);
    r.trimSpanGain = GetFloat(p + 10);
    return true;
}

bool DecodeLeadWireResistance(HartSession& s) {  // 154, 155
    if (!HasAnswerBytes(s, 4)) return false;
    s.record.leadWireResistance = GetFloat(Answer(s));
    return true;
}

bool DecodeCalibrationReadings(HartSession& s) {  // 156
    if (!HasAnswerBytes(s, 14)) return false;
    const auto* p = Answer(s);
    DeviceRecord& r = s.record;
    r.sensorUnit = p[0];
    r.sensorReading = GetFloat(p + 1);
    r.sensorResistanceReading = GetFloat(p + 5);
    r.pvUnit = p[9];
    r.pvReading = GetFloat(p + 10);
    return true;
}

bool DecodeSpecialCurveHeader(HartSession& s) {  // 186, 187
    if (!HasAnswerBytes(s, 5)) return false;
    const auto* p = Answer(s);
    SpecialCurveImage& image = s.record.specialCurve;
    image.headerWord = GetS16(p);
    image.size = GetS16(p + 2);
    image.status = p[4];
    return true;
}

// A point answer whose index lies outside the table (the end marker aside)
// is ignored: it would otherwise be stored past the end of the image.
bool DecodeSpecialCurvePoint(HartSession& s) {  // 188, 189
    if (!HasAnswerBytes(s, 10)) return false;
    const auto* p = Answer(s);
    const int index = GetS16(p);
    if (index == kEndOfTableIndex) {
        s.pointIndex = index;
    } else if (index >= 0 && index < kSpecialCurveCapacity) {
        s.record.specialCurve.x[static_cast<std::size_t>(index)] = GetFloat(p + 2) * 100.0;
        s.record.specialCurve.y[static_cast<std::size_t>(index)] = GetFloat(p + 6) * 100.0;
        s.pointIndex = index;
    }
    return true;
}

bool DecodeCustomTableHeader(HartSession& s) {  // 190, 191, 194, 195
    if (!HasAnswerBytes(s, 8)) return false;
    const auto* p = Answer(s);
    CustomTableImage& image = s.record.customTable;
    image.headerWord = GetS16(p);
    image.size = GetS16(p + 2);
    image.step = p[4];
    image.minimum = GetS16(p + 5);
    image.status = p[7];
    return true;
}

bool DecodeCustomTablePoint(HartSession& s) {  // 192, 193, 196, 197
    if (!HasAnswerBytes(s, 6)) return false;
    const auto* p = Answer(s);
    const int index = GetS16(p);
    if (index == kEndOfTableIndex) {
        s.pointIndex = index;
    } else if (index >= 0 && index < kCustomTableCapacity) {
        s.record.customTable.values[static_cast<std::size_t>(index)] = GetFloat(p + 2);
        s.pointIndex = index;
    }
    return true;
}

// --- encoders ---------------------------------------------------------------

void EncodePollingAddress(HartSession& s) { Request(s)[0] = Byte(s.writes.pollingAddress); }

void EncodeMessage(HartSession& s) { PackAscii(s.writes.message, Request(s), 32); }

void EncodeTagDescriptorDate(HartSession& s) {
    PackAscii(s.writes.tag, Request(s), 8);
    PackAscii(s.writes.descriptor, Request(s) + 6, 16);
    PutDateFromText(Request(s) + 18, s.writes.date);
}

void EncodeFinalAssemblyNo(HartSession& s) { PutU24(Request(s), s.writes.finalAssemblyNo); }

void EncodeDamping(HartSession& s) { PutFloatFromText(Request(s), s.writes.dampingText); }

void EncodeRange(HartSession& s, const std::string& upperText, const std::string& lowerText) {
    const DeviceRecord& r = s.record;
    const RangePair range =
        AdjustRangeToLimits(NumberFromText(upperText), NumberFromText(lowerText),
                            r.upperSensorLimit, r.lowerSensorLimit, r.minimumSpan);
    Request(s)[0] = Byte(s.writes.unitCode);
    PutFloat(Request(s) + 1, static_cast<float>(range.upper));
    PutFloat(Request(s) + 5, static_cast<float>(range.lower));
}

void EncodePvRange(HartSession& s) {
    EncodeRange(s, s.writes.upperRangeText, s.writes.lowerRangeText);
}

void EncodeSensorRange(HartSession& s) {
    EncodeRange(s, s.writes.sensorUpperRangeText, s.writes.sensorLowerRangeText);
}

void EncodeFixedCurrent(HartSession& s) { PutFloatFromText(Request(s), s.writes.fixedCurrentText); }

void EncodeUnitCode(HartSession& s) { Request(s)[0] = Byte(s.writes.unitCode); }

// One request trims either end of the output; the trim point picks the command.
void EncodeDacTrim(HartSession& s) {
    s.link.command = s.writes.dacTrimPoint == 0 ? 45 : 46;
    PutFloatFromText(Request(s), s.writes.dacTrimText);
}

void EncodeTransferFunction(HartSession& s) { Request(s)[0] = Byte(s.writes.transferFunction); }

void EncodeSensorSerialNo(HartSession& s) { PutU24(Request(s), s.writes.sensorSerialNo); }

void EncodeSensorConfig(HartSession& s) {
    Request(s)[0] = Byte(s.writes.sensorType);
    Request(s)[1] = Byte(s.writes.measurementType);
    Request(s)[2] = Byte(s.writes.sensorWires);
}

void EncodeCjcMode(HartSession& s) { Request(s)[0] = Byte(s.writes.cjcMode); }
void EncodeBurnout(HartSession& s) { Request(s)[0] = Byte(s.writes.burnoutDetection); }
void EncodeTermTempUnit(HartSession& s) { Request(s)[0] = Byte(s.writes.termTempUnit); }

void EncodeSaturation(HartSession& s) {
    PutFloatFromText(Request(s), s.writes.aoSaturationHighText);
    PutFloatFromText(Request(s) + 4, s.writes.aoSaturationLowText);
}

void EncodeAlarmValues(HartSession& s) {
    PutFloatFromText(Request(s), s.writes.aoAlarmHighText);
    PutFloatFromText(Request(s) + 4, s.writes.aoAlarmLowText);
}

void EncodeAlarmMode(HartSession& s) { Request(s)[0] = Byte(s.writes.aoAlarmMode); }

void EncodeRtdCoefficients(HartSession& s) {
    PutFloatFromText(Request(s), s.writes.rtdCoefficientAText);
    PutFloatFromText(Request(s) + 4, s.writes.rtdCoefficientBText);
    PutFloatFromText(Request(s) + 8, s.writes.rtdCoefficientCText);
    PutFloatFromText(Request(s) + 12, s.writes.rtdCoefficientR0Text);
    PutU16(Request(s) + 16, static_cast<std::uint16_t>(s.writes.rtdLowerLimit));
    PutU16(Request(s) + 18, static_cast<std::uint16_t>(s.writes.rtdUpperLimit));
}

void EncodeConstantCjc(HartSession& s) {
    Request(s)[0] = Byte(s.writes.termTempUnit);
    PutFloatFromText(Request(s) + 1, s.writes.constantCjcText);
}

void EncodeDriftAlarm(HartSession& s) {
    Request(s)[0] = Byte(s.writes.unitCode);
    PutFloatFromText(Request(s) + 1, s.writes.driftAlarmText);
}

void EncodeDacTrimInit(HartSession& s) { Request(s)[0] = 1; }

void EncodeTrimSensorNo(HartSession& s) { Request(s)[0] = Byte(s.writes.trimSensorNo); }

void EncodeSensorTrim(HartSession& s) {
    Request(s)[0] = Byte(s.writes.trimSensorNo);
    Request(s)[1] = Byte(s.writes.trimAction);
    Request(s)[2] = Byte(s.writes.unitCode);
    PutFloatFromText(Request(s) + 3, s.writes.trimValueText);
}

void EncodeLeadWireResistance(HartSession& s) {
    PutFloatFromText(Request(s), s.writes.leadWireResistanceText);
}

void EncodePointIndex(HartSession& s) {
    PutU16(Request(s), static_cast<std::uint16_t>(s.pointIndex));
}

void EncodeSpecialCurveHeader(HartSession& s) {
    PutU16(Request(s), static_cast<std::uint16_t>(s.writes.specialCurve.size));
}

// Points outside the table (the end marker among them) carry zero values.
void EncodeSpecialCurvePoint(HartSession& s) {
    EncodePointIndex(s);
    if (s.pointIndex < 0 || s.pointIndex >= kSpecialCurveCapacity) return;
    const auto i = static_cast<std::size_t>(s.pointIndex);
    PutFloat(Request(s) + 2, static_cast<float>(NumberFromText(s.writes.specialCurve.xTexts[i]) / 100.0));
    PutFloat(Request(s) + 6, static_cast<float>(NumberFromText(s.writes.specialCurve.yTexts[i]) / 100.0));
}

void EncodeCustomTableHeader(HartSession& s) {
    const CustomTableEdit& table = s.writes.customTable;
    PutU16(Request(s), static_cast<std::uint16_t>(table.size));
    Request(s)[2] = static_cast<std::uint8_t>(IntegerFromText(table.stepText));
    PutU16(Request(s) + 3, static_cast<std::uint16_t>(IntegerFromText(table.minimumText)));
}

void EncodeCustomTablePoint(HartSession& s) {
    EncodePointIndex(s);
    if (s.pointIndex < 0 || s.pointIndex >= kCustomTableCapacity) return;
    PutFloatFromText(Request(s) + 2,
                     s.writes.customTable.valueTexts[static_cast<std::size_t>(s.pointIndex)]);
}

// --- the command table -----------------------------------------------------

constexpr CommandStep kCommands[] = {
    {0, 0, DecodeIdentityAnswer, nullptr},
    {2, 0, DecodeLoopCurrentPercent, nullptr},
    {3, 0, DecodeDynamicVariables, nullptr},
    {6, 1, DecodePollingAddress, EncodePollingAddress},
    {12, 0, DecodeMessage, nullptr},
    {13, 0, DecodeTagDescriptorDate, nullptr},
    {14, 0, DecodeSensorInfo, nullptr},
    {15, 0, DecodeOutputInfo, nullptr},
    {16, 0, DecodeFinalAssemblyNo, nullptr},
    {17, 24, DecodeMessage, EncodeMessage},
    {18, 21, DecodeTagDescriptorDate, EncodeTagDescriptorDate},
    {19, 3, DecodeFinalAssemblyNo, EncodeFinalAssemblyNo},
    {34, 4, DecodeDamping, EncodeDamping},
    {35, 9, DecodePvRange, EncodePvRange},
    {38, 0, DecodeNothing, nullptr},
    {40, 4, DecodeLoopCurrent, EncodeFixedCurrent},
    {41, 0, DecodeNothing, nullptr},
    {42, 0, DecodeNothing, nullptr},
    {44, 1, DecodePvUnit, EncodeUnitCode},
    {45, 4, DecodeLoopCurrent, EncodeDacTrim},
    {47, 1, DecodeTransferFunction, EncodeTransferFunction},
    {48, 0, DecodeAdditionalStatus, nullptr},
    {49, 3, DecodeSensorSerialNo, EncodeSensorSerialNo},
    {130, 0, DecodeSensorConfig, nullptr},
    {131, 3, DecodeSensorConfig, EncodeSensorConfig},
    {132, 0, DecodeCjcMode, nullptr},
    {133, 1, DecodeCjcMode, EncodeCjcMode},
    {134, 0, DecodeBurnout, nullptr},
    {135, 1, DecodeBurnout, EncodeBurnout},
    {136, 1, DecodeTermTempUnit, EncodeTermTempUnit},
    {137, 0, DecodeSaturation, nullptr},
    {138, 8, DecodeSaturation, EncodeSaturation},
    {139, 0, DecodeAlarmValues, nullptr},
    {140, 8, DecodeAlarmValues, EncodeAlarmValues},
    {141, 0, DecodeAlarmMode, nullptr},
    {142, 1, DecodeAlarmMode, EncodeAlarmMode},
    {143, 0, DecodeRtdCoefficients, nullptr},
    {144, 22, DecodeRtdCoefficients, EncodeRtdCoefficients},
    {145, 0, DecodeConstantCjc, nullptr},
    {146, 5, DecodeConstantCjc, EncodeConstantCjc},
    {147, 0, DecodeDriftAlarm, nullptr},
    {148, 5, DecodeDriftAlarm, EncodeDriftAlarm},
    {149, 10, DecodeDacTrimInit, EncodeDacTrimInit},
    {150, 0, DecodeSensorRange, nullptr},
    {151, 9, DecodeSensorRange, EncodeSensorRange},
    {152, 14, DecodeSensorTrim, EncodeTrimSensorNo},
    {153, 14, DecodeSensorTrim, EncodeSensorTrim},
    {154, 0, DecodeLeadWireResistance, nullptr},
    {155, 4, DecodeLeadWireResistance, EncodeLeadWireResistance},
    {156, 14, DecodeCalibrationReadings, EncodeTrimSensorNo},
    {186, 0, DecodeSpecialCurveHeader, nullptr},
    {187, 2, DecodeSpecialCurveHeader, EncodeSpecialCurveHeader},
    {188, 10, DecodeSpecialCurvePoint, EncodePointIndex},
    {189, 10, DecodeSpecialCurvePoint, EncodeSpecialCurvePoint},
    {190, 0, DecodeCustomTableHeader, nullptr},
    {191, 8, DecodeCustomTableHeader, EncodeCustomTableHeader},
    {192, 6, DecodeCustomTablePoint, EncodePointIndex},
    {193, 6, DecodeCustomTablePoint, EncodeCustomTablePoint},
    {194, 0, DecodeCustomTableHeader, nullptr},
    {195, 8, DecodeCustomTableHeader, EncodeCustomTableHeader},
    {196, 6, DecodeCustomTablePoint, EncodePointIndex},
    {197, 6, DecodeCustomTablePoint, EncodeCustomTablePoint},
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

const CommandStep* FindCommand(std::uint8_t command) {
    if (command == 46) command = 45;
    for (const CommandStep& step : kCommands) {
        if (step.command == command) return &step;
    }
    return nullptr;
}

void PrepareRequest(HartSession& session, const CommandStep& step) {
    session.link.command = step.command;
    session.link.byteCount = step.byteCount;
    // Request bytes an encoder leaves alone go out as zeros, not as the
    // remains of the previous answer.
    std::memset(session.link.dataBuffer.data(), 0, step.byteCount);
    if (step.encoder) step.encoder(session);
}

bool DecodeAnswer(HartSession& session, const CommandStep& step) {
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
