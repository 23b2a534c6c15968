#pragma once
// The file side of the comparison pages: the "File Configuration" column of
// both pages plus the values no page shows (device type, constant CJC value,
// both sensor trims, preambles and revisions). All values are texts exactly
// as shown or as read from a configuration file.

#include <string>

namespace qt40 {

struct FileConfig {
    // [Device Information]
    std::string tag;
    std::string descriptor;
    std::string message;
    std::string date;
    std::string deviceType;  // file side only
    std::string deviceId;
    // [PV Input Sensor]
    std::string sensorType;
    std::string measurementType;
    std::string sensorWires;
    std::string pvUnit;
    std::string pvUpperRange;
    std::string pvLowerRange;
    std::string pvDamping;
    std::string pvDriftAlarm;
    std::string burnoutDetection;
    std::string transferFunction;
    // [Sensor Information]
    std::string sensorSerialNo;
    std::string leadWireResistance;
    std::string sensorUpperRange;
    std::string sensorLowerRange;
    // [CJC & Term Sensor]
    std::string termTempUnit;
    std::string cjcMode;
    std::string constantCjcValue;  // file side only
    // [Analog Output]
    std::string aoAlarmMode;
    std::string aoAlarmHigh;
    std::string aoAlarmLow;
    std::string aoSaturationHigh;
    std::string aoSaturationLow;
    // [Sensor #1 Trim], [Sensor #2 Trim]: file side only
    std::string trim1ZeroPoint;
    std::string trim1ZeroValue;
    std::string trim1SpanGain;
    std::string trim2ZeroPoint;
    std::string trim2ZeroValue;
    std::string trim2SpanGain;
    // [Device Version]
    std::string finalAssemblyNo;
    std::string preambles;           // file side only
    std::string universalCmdRev;     // file side only
    std::string transmitterSpecRev;  // file side only
    std::string hardwareRev;         // file side only
    std::string firmwareRev;         // file side only

    bool operator==(const FileConfig&) const = default;
};

// Unit captions written after numbers; the language file may rename them.
// PV-unit and terminal-unit numbers carry the unit names of the configuration itself.
struct FileUnitCaptions {
    std::string seconds = "Sec";
    std::string ohms = "Ohms";
    std::string milliamps = "mA";
};

}  // namespace qt40
