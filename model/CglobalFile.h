#pragma once
// The fixed code and name lists of the transmitter's enumerations, and the
// header comment blocks that custom table files begin with. Every instance
// shows the same constant lists; panels each own one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qt40 {

enum class EnumKind {
    SensorType,
    MeasurementType,
    Wires,
    Unit,             // every unit
    TemperatureUnit,  // degC, degF, degR, Kelvin
    MillivoltUnit,
    ResistanceUnit,
    Burnout,
    TransferFunction,
    TermTempUnit,
    CjcMode,
    AoAlarmMode,
    CalibSensor,
};

// One enumeration: names and codes in list order. Codes are decimal texts,
// compared as integers.
struct EnumPair {
    std::vector<std::string> names;
    std::vector<std::string> codes;
};

enum class SensorClass { Millivolt, Thermocouple, Resistance, Rtd, Unknown };

class CglobalFile {
public:
    static const EnumPair& Pair(EnumKind kind);

    // Position of the first code whose integer value equals `code`, or -1.
    static int FindByCode(const std::vector<std::string>& codes, std::int16_t code);
    // Position of the first name equal to `name` (exact, case-sensitive), or -1.
    static int FindByName(const std::vector<std::string>& names, const std::string& name);

    // Display name of a code, or nothing when the list does not know it.
    static std::optional<std::string> NameOf(EnumKind kind, int code);
    // Code of a display name, or nothing.
    static std::optional<std::int16_t> CodeOf(EnumKind kind, const std::string& name);
    // Code at a list position, or nothing when out of range.
    static std::optional<std::int16_t> CodeAt(EnumKind kind, int position);

    // Sensor class by position in the sensor type list.
    static SensorClass ClassOfPosition(int position);
    // The unit list a PV unit is chosen from, by sensor type position.
    static EnumKind PvUnitChoices(int sensorPosition);

    static const std::vector<std::string>& CustomTcHeader();
    static const std::vector<std::string>& CustomRtdHeader();
    static const std::vector<std::string>& SpecialCurveHeader();
};

using EnumTables = CglobalFile;

}  // namespace qt40
