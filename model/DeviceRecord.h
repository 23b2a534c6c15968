#pragma once
// Everything the program knows about the connected transmitter. The answer
// decoders write it; panels read it after the worker's completion notice.

#include <array>
#include <cstdint>
#include <string>

#include "model/TableRecords.h"

namespace qt40 {

struct DeviceRecord {
    // Identity (command 0)
    std::string manufacturerName;    // 15
    std::string deviceTypeName;      // 16
    std::string preamblesText;       // 7
    std::string universalRevText;    // 7
    std::string transmitterRevText;  // 7
    std::string firmwareRevText;     // 16
    std::string hardwareRevText;     // 16
    std::string deviceIdText;        // 7

    std::string message;     // 32
    std::string tag;         // 8
    std::string descriptor;  // 16
    std::string date;        // 10, "YYYY/MM/DD"
    std::uint32_t finalAssemblyNo = 0;
    std::uint32_t sensorSerialNo = 0;

    std::int16_t sensorType = 0;
    std::int16_t measurementType = 0;
    std::int16_t sensorWires = 0;
    std::int16_t pvUnit = 0;
    double pvValue = 0.0;
    double upperRange = 0.0;
    double lowerRange = 0.0;
    double upperSensorLimit = 0.0;
    double lowerSensorLimit = 0.0;
    double minimumSpan = 0.0;
    double sensorUpperRange = 0.0;
    double sensorLowerRange = 0.0;
    std::int16_t sensorUnit = 0;
    std::int16_t transferFunction = 0;
    double damping = 0.0;
    std::int16_t burnoutDetection = 0;
    double driftAlarm = 0.0;
    std::int16_t cjcMode = 0;
    std::int16_t termTempUnit = 0;
    double constantCjcValue = 0.0;
    double loopCurrent = 0.0;
    std::int16_t loopCurrentUnit = 0;
    double percentOfRange = 0.0;
    std::int16_t svUnit = 0;
    double svValue = 0.0;
    std::int16_t aoAlarmMode = 0;
    double aoAlarmHigh = 0.0;
    double aoAlarmLow = 0.0;
    double aoSaturationHigh = 0.0;
    double aoSaturationLow = 0.0;
    double leadWireResistance = 0.0;
    std::int16_t trimSensorNo = 0;
    double trimZeroPoint = 0.0;
    double trimZeroValue = 0.0;
    double trimSpanGain = 0.0;
    std::array<std::int16_t, 6> additionalStatus{};
    std::int16_t responsePreambles = 0;
    std::int16_t pollingAddress = 0;

    // Calibration readings (command 156)
    double sensorReading = 0.0;            // first sensor input
    double sensorResistanceReading = 0.0;  // second reading, ohms
    double pvReading = 0.0;

    // Calibrated-RTD coefficients and limits (commands 143, 144)
    double rtdCoefficientA = 0.0;
    double rtdCoefficientB = 0.0;
    double rtdCoefficientC = 0.0;
    double rtdCoefficientR0 = 0.0;
    std::int16_t rtdLowerLimit = 0;
    std::int16_t rtdUpperLimit = 0;

    // The two values the DAC trim initialisation answers with (command 149); kept, not used.
    double dacTrimInitValue1 = 0.0;
    double dacTrimInitValue2 = 0.0;

    // Custom tables as last read from the device.
    CustomTableImage customTable;
    SpecialCurveImage specialCurve;

    // The consistent millivolt configuration shown before any device is read.
    void SetStartValues();
};

}  // namespace qt40
