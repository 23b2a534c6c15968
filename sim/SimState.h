#pragma once
// Everything a QT40 keeps, as the device itself holds it.

#include <array>
#include <cstdint>
#include <string>

namespace qt40::sim {

enum class SimModel { QT40, QT30, QT10, QT302, KX3 };

struct SimTable {
    std::uint8_t status = 1;  // 0 = configured
    std::int16_t headerWord = 1;
    std::int16_t size = 0;
    std::uint8_t step = 0;
    std::int16_t minimum = 0;
    std::array<float, 250> values{};
};

struct SimCurve {
    std::uint8_t status = 1;
    std::int16_t headerWord = 1;
    std::int16_t size = 0;
    std::array<float, 125> x{};  // fraction (percent / 100), as on the wire
    std::array<float, 125> y{};
};

struct SimSensorTrim {
    float zeroPoint = 0.0f;
    float zeroValue = 0.0f;
    float spanGain = 1.0f;
};

struct SimState {
    // Identity
    std::uint8_t manufacturerId = 0;
    std::uint8_t deviceType = 0;
    std::uint32_t deviceId = 0x00A1B2;
    std::uint8_t requestPreambles = 5;
    std::uint8_t universalRev = 5;
    std::uint8_t transmitterRev = 2;
    std::uint8_t softwareRev = 3;
    std::uint8_t hardwareRevByte = (1 << 3) | 2;  // 1.2
    std::uint8_t pollingAddress = 0;

    std::string tag = "TT-101  ";
    std::string descriptor = "REACTOR INLET   ";
    std::string message = "QT40 SIMULATED TRANSMITTER      ";
    std::uint8_t day = 7, month = 12, yearSince1900 = 126;
    std::uint32_t finalAssemblyNo = 120034;
    std::uint32_t sensorSerialNo = 5512;

    std::uint8_t sensorType = 12;  // Pt100
    std::uint8_t measurementType = 0;
    std::uint8_t sensorWires = 3;
    std::uint8_t pvUnit = 32;  // degC
    float upperRange = 100.0f;
    float lowerRange = 0.0f;
    float upperSensorLimit = 850.0f;
    float lowerSensorLimit = -200.0f;
    float minimumSpan = 10.0f;
    std::uint8_t sensorUnit = 32;
    float sensorUpperRange = 850.0f;
    float sensorLowerRange = -200.0f;
    std::uint8_t transferFunction = 0;
    float damping = 2.0f;
    std::uint8_t burnoutDetection = 1;
    float driftAlarm = 5.0f;
    std::uint8_t cjcMode = 1;
    std::uint8_t termTempUnit = 32;
    float constantCjcValue = 25.0f;

    std::uint8_t aoAlarmMode = 0;
    float aoAlarmHigh = 21.75f;
    float aoAlarmLow = 3.75f;
    float aoSaturationHigh = 20.5f;
    float aoSaturationLow = 3.9f;
    float fixedCurrent = 0.0f;  // 0: the output follows the PV
    float dacZeroTrim = 0.0f;   // mA added at 4 mA
    float dacGainTrim = 0.0f;   // mA added at 20 mA

    float leadWireResistance = 0.0f;
    std::array<SimSensorTrim, 2> sensorTrim{};
    std::array<std::uint8_t, 6> additionalStatus{};

    float rtdA = 3.9083e-3f;
    float rtdB = -5.775e-7f;
    float rtdC = -4.183e-12f;
    float rtdR0 = 100.0f;
    std::int16_t rtdLowerLimit = -200;
    std::int16_t rtdUpperLimit = 850;

    SimTable customTc;
    SimTable customRtd;
    SimCurve specialCurve;

    bool configChanged = false;
    bool coldStart = true;

    // The process: the sensor input in degC (mV or ohm for those sensors).
    double processBase = 25.0;
    double processSwing = 2.0;
    double terminalTemperature = 23.5;  // degC
    std::uint64_t tick = 0;
};

}  // namespace qt40::sim
