#include "model/CglobalFile.h"

#include <charconv>
#include <stdexcept>

namespace qt40 {
namespace {

const EnumPair kSensorTypes{
    {"Millivolt", "Type K", "Type E", "Type J", "Type T", "Type B", "Type R", "Type S", "Type C",
     "Type D", "Type N", "Type U", "Type L", "Custom TC", "OHM", "Pt100", "Pt200", "Pt500",
     "Pt1000", "JPt100", "Ni100", "Custom RTD"},
    {"129", "137", "134", "136", "141", "131", "139", "140", "132", "133", "138", "143", "142",
     "146", "1", "12", "13", "16", "17", "23", "72", "93"}};
const EnumPair kMeasurementTypes{{"Single", "Different", "Average", "Average with Backup"},
                                 {"0", "1", "2", "3"}};
const EnumPair kWires{{"2 Wires", "3 Wires", "4 Wires"}, {"2", "3", "4"}};
const EnumPair kUnits{{"degC", "degF", "degR", "Kelvin", "mV", "ohm", "mA", "V", "%"},
                      {"32", "33", "34", "35", "36", "37", "39", "40", "57"}};
const EnumPair kTemperatureUnits{{"degC", "degF", "degR", "Kelvin"}, {"32", "33", "34", "35"}};
const EnumPair kMillivoltUnit{{"mV"}, {"36"}};
const EnumPair kResistanceUnit{{"ohm"}, {"37"}};
const EnumPair kBurnout{{"OFF", "ON"}, {"0", "1"}};
const EnumPair kTransferFunction{{"LINEAR", "SQRT", "SPECIAL_CURVE"}, {"0", "1", "4"}};
const EnumPair kCjcMode{{"CJC OFF", "Internal CJC", "External CJC", "Constant CJC"},
                        {"0", "1", "2", "3"}};
const EnumPair kAoAlarmMode{{"High", "Low", "Hold"}, {"0", "1", "2"}};
const EnumPair kCalibSensor{{"Calibrating Sensor #1", "Calibrating Sensor #2"}, {"1", "2"}};

const std::string kStarLine = "/*********************************************************";

std::optional<long> ParseCode(const std::string& text) {
    long value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

const EnumPair& CglobalFile::Pair(EnumKind kind) {
    switch (kind) {
        case EnumKind::SensorType: return kSensorTypes;
        case EnumKind::MeasurementType: return kMeasurementTypes;
        case EnumKind::Wires: return kWires;
        case EnumKind::Unit: return kUnits;
        case EnumKind::TemperatureUnit: return kTemperatureUnits;
        case EnumKind::MillivoltUnit: return kMillivoltUnit;
        case EnumKind::ResistanceUnit: return kResistanceUnit;
        case EnumKind::Burnout: return kBurnout;
        case EnumKind::TransferFunction: return kTransferFunction;
        case EnumKind::TermTempUnit: return kTemperatureUnits;
        case EnumKind::CjcMode: return kCjcMode;
        case EnumKind::AoAlarmMode: return kAoAlarmMode;
        case EnumKind::CalibSensor: return kCalibSensor;
    }
    throw std::invalid_argument("unknown enumeration");
}

int CglobalFile::FindByCode(const std::vector<std::string>& codes, std::int16_t code) {
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (auto value = ParseCode(codes[i]); value && *value == code) return static_cast<int>(i);
    }
    return -1;
}

int CglobalFile::FindByName(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> CglobalFile::NameOf(EnumKind kind, int code) {
    const EnumPair& pair = Pair(kind);
    if (code < INT16_MIN || code > INT16_MAX) return std::nullopt;
    const int pos = FindByCode(pair.codes, static_cast<std::int16_t>(code));
    if (pos < 0) return std::nullopt;
    return pair.names[static_cast<std::size_t>(pos)];
}

std::optional<std::int16_t> CglobalFile::CodeOf(EnumKind kind, const std::string& name) {
    return CodeAt(kind, FindByName(Pair(kind).names, name));
}

std::optional<std::int16_t> CglobalFile::CodeAt(EnumKind kind, int position) {
    const EnumPair& pair = Pair(kind);
    if (position < 0 || position >= static_cast<int>(pair.codes.size())) return std::nullopt;
    auto value = ParseCode(pair.codes[static_cast<std::size_t>(position)]);
    if (!value) return std::nullopt;
    return static_cast<std::int16_t>(*value);
}

SensorClass CglobalFile::ClassOfPosition(int position) {
    if (position == 0) return SensorClass::Millivolt;
    if (position >= 1 && position <= 13) return SensorClass::Thermocouple;
    if (position == 14) return SensorClass::Resistance;
    if (position >= 15 && position <= 21) return SensorClass::Rtd;
    return SensorClass::Unknown;
}

EnumKind CglobalFile::PvUnitChoices(int sensorPosition) {
    switch (ClassOfPosition(sensorPosition)) {
        case SensorClass::Millivolt: return EnumKind::MillivoltUnit;
        case SensorClass::Resistance: return EnumKind::ResistanceUnit;
        default: return EnumKind::TemperatureUnit;
    }
}

const std::vector<std::string>& CglobalFile::CustomTcHeader() {
    static const std::vector<std::string> lines{
        kStarLine,
        "/*\tCustom TC Table Definition",
        "/*\tTi = f(Xi)   ( 0 <= i < Size )",
        "/*\t\tTemperature Step (1 to 50 degC)",
        "/*\t\t-100 <= X(i) <= 800 mV",
        "/*\t\tX(i) < X(i+1)",
        "/*\t\t2 <= Size <= 250",
        kStarLine};
    return lines;
}

const std::vector<std::string>& CglobalFile::CustomRtdHeader() {
    static const std::vector<std::string> lines{
        kStarLine,
        "/*\tCustom RTD Table Definition",
        "/*\tTi = f(Xi)   ( 0 <= i < Size )",
        "/*\t\tTemperature Step (1 to 50 degC)",
        "/*\t\t0 < X(i) <= 4000 Ohms",
        "/*\t\tX(i) < X(i+1)",
        "/*\t\t2 <= Size <= 250",
        kStarLine};
    return lines;
}

const std::vector<std::string>& CglobalFile::SpecialCurveHeader() {
    static const std::vector<std::string> lines{
        kStarLine,
        "/*\tLinearization Table( Special Curve ) Definition",
        "/*\tYi = f(Xi)   ( 0 <= i < Size )",
        "/*\t\t-15 <= X(i), Y(i) <= 115 %",
        "/*\t\tX(i) < X(i+1)",
        "/*\t\t2 <= Size <= 125",
        kStarLine};
    return lines;
}

}  // namespace qt40
