#include "files/CFilePropertyReadWrite.h"

#include <array>

#include "files/TextFile.h"

namespace qt40 {
namespace {

// What follows a number on its line.
enum class UnitOf { None, PvUnit, TermTempUnit, Seconds, Ohms, Milliamps };

struct Line {
    const char* text;                // section title, or key without padding
    std::string FileConfig::*value;  // nullptr for a section title
    UnitOf unit;
};

using C = FileConfig;
constexpr std::array<Line, CFilePropertyReadWrite::kLineCount> kLayout{{
    {"[Device Information]", nullptr, UnitOf::None},
    {"Tag", &C::tag, UnitOf::None},
    {"Descriptor", &C::descriptor, UnitOf::None},
    {"Message", &C::message, UnitOf::None},
    {"Date", &C::date, UnitOf::None},
    {"Device Type", &C::deviceType, UnitOf::None},
    {"Device Identification", &C::deviceId, UnitOf::None},
    {"[PV Input Sensor]", nullptr, UnitOf::None},
    {"Sensor Type", &C::sensorType, UnitOf::None},
    {"Measurement Type", &C::measurementType, UnitOf::None},
    {"Sensor Wires", &C::sensorWires, UnitOf::None},
    {"Sensor Unit", &C::pvUnit, UnitOf::None},
    {"PV Upper Range", &C::pvUpperRange, UnitOf::PvUnit},
    {"PV Lower Range", &C::pvLowerRange, UnitOf::PvUnit},
    {"PV Damping", &C::pvDamping, UnitOf::Seconds},
    {"PV Drift Alarm", &C::pvDriftAlarm, UnitOf::PvUnit},
    {"Burnout Detection", &C::burnoutDetection, UnitOf::None},
    {"Transfer Function", &C::transferFunction, UnitOf::None},
    {"[Sensor Information]", nullptr, UnitOf::None},
    {"Sensor Serial No", &C::sensorSerialNo, UnitOf::None},
    {"Lead wire resistance", &C::leadWireResistance, UnitOf::Ohms},
    {"Sensor Upper Range", &C::sensorUpperRange, UnitOf::PvUnit},
    {"Sensor Lower Range", &C::sensorLowerRange, UnitOf::PvUnit},
    {"[CJC & Term Sensor]", nullptr, UnitOf::None},
    {"Term Temperature Unit", &C::termTempUnit, UnitOf::None},
    {"CJC Mode Switch", &C::cjcMode, UnitOf::None},
    {"Constant CJC Value", &C::constantCjcValue, UnitOf::TermTempUnit},
    {"[Analog Output]", nullptr, UnitOf::None},
    {"AO Alarm Mode", &C::aoAlarmMode, UnitOf::None},
    {"AO Alarm High Value", &C::aoAlarmHigh, UnitOf::Milliamps},
    {"AO Alarm Low Value", &C::aoAlarmLow, UnitOf::Milliamps},
    {"AO Saturation High Value", &C::aoSaturationHigh, UnitOf::Milliamps},
    {"AO Saturation Low Value", &C::aoSaturationLow, UnitOf::Milliamps},
    {"[Sensor #1 Trim]", nullptr, UnitOf::None},
    {"Snsr #1 Zero Point", &C::trim1ZeroPoint, UnitOf::PvUnit},
    {"Snsr #1 Zero Value", &C::trim1ZeroValue, UnitOf::PvUnit},
    {"Snsr #1 Span Gain", &C::trim1SpanGain, UnitOf::None},
    {"[Sensor #2 Trim]", nullptr, UnitOf::None},
    {"Snsr #2 Zero Point", &C::trim2ZeroPoint, UnitOf::PvUnit},
    {"Snsr #2 Zero Value", &C::trim2ZeroValue, UnitOf::PvUnit},
    {"Snsr #2 Span Gain", &C::trim2SpanGain, UnitOf::None},
    {"[Device Version]", nullptr, UnitOf::None},
    {"Final Assembly Number", &C::finalAssemblyNo, UnitOf::None},
    {"Number of Preambles", &C::preambles, UnitOf::None},
    {"Universal Cmd Revision", &C::universalCmdRev, UnitOf::None},
    {"Transmitter Spec Rev", &C::transmitterSpecRev, UnitOf::None},
    {"Hardware Revision", &C::hardwareRev, UnitOf::None},
    {"Firmware Revision", &C::firmwareRev, UnitOf::None},
}};

// Written after a number whose unit caption is empty.
constexpr const char* kNoUnit = "-";

// Texts kept as the file holds them, blanks included.
bool IsDeviceText(std::string FileConfig::*value) {
    return value == &C::tag || value == &C::descriptor || value == &C::message;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A number written with its unit: the first of the blank-separated parts
// when a second one follows, else nothing.
std::string NumberBeforeUnit(std::string_view value) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < value.size() && parts.size() < 2) {
        while (i < value.size() && IsBlank(value[i])) ++i;
        const std::size_t start = i;
        while (i < value.size() && !IsBlank(value[i])) ++i;
        if (i > start) parts.push_back(value.substr(start, i - start));
    }
    return parts.size() >= 2 ? std::string(parts[0]) : std::string();
}

const std::string& UnitText(UnitOf unit, const FileConfig& config,
                            const FileUnitCaptions& captions) {
    static const std::string kNone;
    switch (unit) {
        case UnitOf::PvUnit:
            return config.pvUnit;
        case UnitOf::TermTempUnit:
            return config.termTempUnit;
        case UnitOf::Seconds:
            return captions.seconds;
        case UnitOf::Ohms:
            return captions.ohms;
        case UnitOf::Milliamps:
            return captions.milliamps;
        case UnitOf::None:
            break;
    }
    return kNone;
}

}  // namespace

std::vector<std::string> CFilePropertyReadWrite::KeyLines() {
    std::vector<std::string> lines;
    lines.reserve(kLayout.size());
    for (const Line& line : kLayout) {
        std::string text = line.text;
        if (line.value != nullptr) {
            if (text.size() < kKeyWidth) text.resize(kKeyWidth, ' ');
            text += "= ";
        }
        lines.push_back(std::move(text));
    }
    return lines;
}

std::vector<std::string> CFilePropertyReadWrite::BuildLines(const FileConfig& config,
                                                            const FileUnitCaptions& captions) {
    std::vector<std::string> lines = KeyLines();
    for (std::size_t i = 0; i < kLayout.size(); ++i) {
        const Line& line = kLayout[i];
        if (line.value == nullptr) continue;
        const std::string& value = config.*line.value;
        lines[i] += value;
        if (line.unit != UnitOf::None) {
            lines[i] += '\t';
            // A number whose unit is empty would read back as nothing (the
            // reader takes it only with a unit after it): a dash stands in.
            const std::string& unit = UnitText(line.unit, config, captions);
            lines[i] += TrimBlanks(unit).empty() && !TrimBlanks(value).empty() ? kNoUnit : unit;
        }
    }
    return lines;
}

FileResult CFilePropertyReadWrite::Read(const std::filesystem::path& path) {
    std::string content;
    FileResult result = ReadTextFile(path, content);
    if (result.ok()) ReadText(content);
    return result;
}

void CFilePropertyReadWrite::ReadText(std::string_view text) {
    for (const std::string& line : SplitLines(text)) ReadLine(line);
}

void CFilePropertyReadWrite::ReadLine(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view key = TrimBlanks(line.substr(0, equals));
    std::string_view value = line.substr(equals + 1);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    for (const Line& entry : kLayout) {
        if (entry.value == nullptr || key != entry.text) continue;
        if (entry.unit != UnitOf::None) {
            values_.*entry.value = NumberBeforeUnit(value);
        } else if (IsDeviceText(entry.value)) {
            values_.*entry.value = std::string(value);
        } else {
            // Names and numbers: a blank left after them by hand is no part of them.
            values_.*entry.value = std::string(TrimBlanks(value));
        }
        return;
    }
}

FileResult CFilePropertyReadWrite::Write(const std::filesystem::path& path,
                                         const std::vector<std::string>& lines) {
    return SaveTextLines(path, lines);
}

FileResult SaveConfigFile(const std::filesystem::path& path, const FileConfig& config,
                          const FileUnitCaptions& captions) {
    return CFilePropertyReadWrite::Write(path,
                                         CFilePropertyReadWrite::BuildLines(config, captions));
}

}  // namespace qt40
