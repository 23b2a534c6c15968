#pragma once
// Values staged by a panel for the next write request. Numbers travel as the
// texts the entry dialogs accepted; the encoders convert them.

#include <cstdint>
#include <string>

#include "model/TableRecords.h"

namespace qt40 {

// Capacity of the numeric texts, excluding the terminator the device-side
// format never sees; entries longer than this are refused before staging.
inline constexpr std::size_t kNumberTextCapacity = 19;

struct WriteBuffer {
    std::string message;     // 32, padded and upper case
    std::string tag;         // 8
    std::string descriptor;  // 16
    std::string date;        // 10, "YYYY/MM/DD"

    std::int16_t sensorType = 0;
    std::int16_t measurementType = 0;
    std::int16_t sensorWires = 0;
    std::int16_t unitCode = 0;
    std::string upperRangeText;
    std::string lowerRangeText;
    std::string sensorUpperRangeText;
    std::string sensorLowerRangeText;
    std::int16_t transferFunction = 0;
    std::string dampingText;
    std::int16_t burnoutDetection = 0;
    std::string driftAlarmText;
    std::int16_t termTempUnit = 0;
    std::int16_t cjcMode = 0;
    std::string constantCjcText;
    std::uint32_t sensorSerialNo = 0;
    std::uint32_t finalAssemblyNo = 0;

    std::string fixedCurrentText;
    std::string dacTrimText;
    std::int16_t dacTrimPoint = 0;  // 0 = lower point (command 45), 1 = upper point (46)

    std::int16_t aoAlarmMode = 0;
    std::string aoAlarmHighText;
    std::string aoAlarmLowText;
    std::string aoSaturationHighText;
    std::string aoSaturationLowText;

    std::string leadWireResistanceText;
    // Sensor #1 until a panel chooses: the reads that send it (the sensor
    // type's follow-up among them) must never ask the device for sensor 0.
    std::int16_t trimSensorNo = 1;
    std::int16_t trimAction = 0;  // 1 zero point, 2 span point, 3 reset to factory trim
    std::string trimValueText;

    std::int16_t pollingAddress = 0;
    std::int16_t responsePreambles = 0;

    // Calibrated-RTD coefficients as entered (the suffix makes the scale).
    std::string rtdCoefficientAText;
    std::string rtdCoefficientBText;
    std::string rtdCoefficientCText;
    std::string rtdCoefficientR0Text;
    std::int16_t rtdLowerLimit = 0;
    std::int16_t rtdUpperLimit = 0;

    // Tables as the panels write them.
    CustomTableEdit customTable;
    SpecialCurveEdit specialCurve;
};

}  // namespace qt40
