// Every command encoded by the master, answered by the simulated QT40 and
// decoded into the device record, checked against what the device holds.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/sim/SimLoop.h"

using namespace qt40;
using namespace qt40::testing;

namespace {

struct Case {
    const char* name;
    std::vector<std::uint8_t> commands;
    std::function<void(SimLoop&)> given;  // stage values, prepare the device
    std::function<void(const DeviceRecord&, const sim::SimState&, const sim::SimDevice&)> then;
};

std::string Padded(const std::string& text, std::size_t n) {
    std::string out = text;
    out.resize(n, ' ');
    return out;
}

const Case kCases[] = {
    {"0 identity", {0}, nullptr,
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(r.deviceTypeName, "QT40");
         EXPECT_EQ(r.manufacturerName, "Orvale CO");
         EXPECT_EQ(r.deviceIdText, std::to_string(s.deviceId));
         EXPECT_EQ(r.preamblesText, "5");
         EXPECT_EQ(r.hardwareRevText, "1.2");
     }},
    {"2 loop current and percent", {2}, nullptr,
     [](const DeviceRecord& r, const sim::SimState&, const sim::SimDevice& d) {
         EXPECT_FLOAT_EQ(static_cast<float>(r.loopCurrent), static_cast<float>(d.LoopCurrent()));
         EXPECT_FLOAT_EQ(static_cast<float>(r.percentOfRange),
                         static_cast<float>(d.PercentOfRange()));
     }},
    {"3 dynamic variables", {3}, nullptr,
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice& d) {
         EXPECT_FLOAT_EQ(static_cast<float>(r.pvValue), static_cast<float>(d.PvValue()));
         EXPECT_EQ(r.pvUnit, s.pvUnit);
         EXPECT_EQ(r.svUnit, s.termTempUnit);
         EXPECT_FLOAT_EQ(static_cast<float>(r.svValue), 23.5f);
         EXPECT_EQ(r.loopCurrentUnit, 39);
     }},
    {"6 polling address", {6}, [](SimLoop& l) { l.session.writes.pollingAddress = 4; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice& d) {
         EXPECT_EQ(s.pollingAddress, 4);
         EXPECT_EQ(r.pollingAddress, 4);
         EXPECT_DOUBLE_EQ(d.LoopCurrent(), 4.0);  // multidrop parks the output
     }},
    {"12 13 read message, tag, descriptor, date", {12, 13}, nullptr,
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(r.message, s.message);
         EXPECT_EQ(r.tag, s.tag);
         EXPECT_EQ(r.descriptor, s.descriptor);
         EXPECT_EQ(r.date, "2026/12/07");
     }},
    {"14 15 16 sensor and output information", {14, 15, 16}, nullptr,
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(r.sensorSerialNo, s.sensorSerialNo);
         EXPECT_DOUBLE_EQ(r.upperSensorLimit, s.upperSensorLimit);
         EXPECT_DOUBLE_EQ(r.lowerSensorLimit, s.lowerSensorLimit);
         EXPECT_DOUBLE_EQ(r.minimumSpan, s.minimumSpan);
         EXPECT_DOUBLE_EQ(r.upperRange, s.upperRange);
         EXPECT_DOUBLE_EQ(r.lowerRange, s.lowerRange);
         EXPECT_DOUBLE_EQ(r.damping, s.damping);
         EXPECT_EQ(r.transferFunction, s.transferFunction);
         EXPECT_EQ(r.aoAlarmMode, s.aoAlarmMode);
         EXPECT_EQ(r.finalAssemblyNo, s.finalAssemblyNo);
     }},
    {"17 write message", {17},
     [](SimLoop& l) { l.session.writes.message = Padded("CHECKED 2026-12-07 BY JS", 32); },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.message, Padded("CHECKED 2026-12-07 BY JS", 32));
         EXPECT_EQ(r.message, s.message);
     }},
    {"18 write tag, descriptor, date", {18},
     [](SimLoop& l) {
         l.session.writes.tag = Padded("AB", 8);
         l.session.writes.descriptor = Padded("", 16);
         l.session.writes.date = "2027/01/31";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.tag, "AB      ");
         EXPECT_EQ(s.descriptor, std::string(16, ' '));
         EXPECT_EQ(r.tag, s.tag);
         EXPECT_EQ(r.date, "2027/01/31");
     }},
    {"19 write final assembly number", {19},
     [](SimLoop& l) { l.session.writes.finalAssemblyNo = 16777215; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.finalAssemblyNo, 16777215u);
         EXPECT_EQ(r.finalAssemblyNo, 16777215u);
     }},
    {"34 write damping", {34}, [](SimLoop& l) { l.session.writes.dampingText = "0.000"; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.damping, 0.0f);
         EXPECT_EQ(r.damping, 0.0);
     }},
    {"35 write PV range", {35},
     [](SimLoop& l) {
         l.session.record.upperSensorLimit = 850.0;
         l.session.record.lowerSensorLimit = -200.0;
         l.session.record.minimumSpan = 10.0;
         l.session.writes.unitCode = 32;
         l.session.writes.upperRangeText = "850";
         l.session.writes.lowerRangeText = "-50.5";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_FLOAT_EQ(s.upperRange, 849.9999f);
         EXPECT_FLOAT_EQ(s.lowerRange, -50.5f);
         EXPECT_DOUBLE_EQ(r.upperRange, s.upperRange);
     }},
    {"38 reset configuration changed", {38}, [](SimLoop& l) { l.device.State().configChanged = true; },
     [](const DeviceRecord&, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_FALSE(s.configChanged);
     }},
    {"40 fixed current", {40}, [](SimLoop& l) { l.session.writes.fixedCurrentText = "12.5"; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.fixedCurrent, 12.5f);
         EXPECT_DOUBLE_EQ(r.loopCurrent, 12.5);
     }},
    {"41 42 self test and reset", {41, 42}, [](SimLoop& l) { l.device.State().fixedCurrent = 8.0f; },
     [](const DeviceRecord&, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.fixedCurrent, 0.0f);
     }},
    {"44 write PV unit converts the ranges", {44}, [](SimLoop& l) { l.session.writes.unitCode = 33; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.pvUnit, 33);
         EXPECT_EQ(r.pvUnit, 33);
         EXPECT_FLOAT_EQ(s.upperRange, 212.0f);
         EXPECT_FLOAT_EQ(s.minimumSpan, 18.0f);
     }},
    {"40 45 trim at 4 mA", {40, 45},
     [](SimLoop& l) {
         l.session.writes.fixedCurrentText = "4.0";
         l.session.writes.dacTrimPoint = 0;
         l.session.writes.dacTrimText = "4.05";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_DOUBLE_EQ(r.loopCurrent, static_cast<double>(4.05f));
         EXPECT_NEAR(s.dacZeroTrim, -0.05f, 1e-5);
     }},
    {"40 46 trim at 20 mA", {40, 46},
     [](SimLoop& l) {
         l.session.writes.fixedCurrentText = "20.0";
         l.session.writes.dacTrimPoint = 1;
         l.session.writes.dacTrimText = "19.9";
     },
     [](const DeviceRecord&, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_NEAR(s.dacGainTrim, 0.1f, 1e-5);
     }},
    {"47 transfer function", {47}, [](SimLoop& l) { l.session.writes.transferFunction = 1; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.transferFunction, 1);
         EXPECT_EQ(r.transferFunction, 1);
     }},
    {"48 additional status", {48},
     [](SimLoop& l) { l.device.State().additionalStatus = {0x01, 0, 0x80, 0x12, 0x20, 0}; },
     [](const DeviceRecord& r, const sim::SimState&, const sim::SimDevice&) {
         EXPECT_EQ(r.additionalStatus, (std::array<std::int16_t, 6>{0x01, 0, 0x80, 0x12, 0x20, 0}));
     }},
    {"49 sensor serial number", {49}, [](SimLoop& l) { l.session.writes.sensorSerialNo = 123456; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.sensorSerialNo, 123456u);
         EXPECT_EQ(r.sensorSerialNo, 123456u);
     }},
    {"131 130 sensor configuration", {131, 130, 14},
     [](SimLoop& l) {
         l.session.writes.sensorType = 137;  // Type K
         l.session.writes.measurementType = 1;
         l.session.writes.sensorWires = 2;
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.sensorType, 137);
         EXPECT_EQ(r.sensorType, 137);
         EXPECT_EQ(r.measurementType, 1);
         EXPECT_DOUBLE_EQ(r.upperSensorLimit, 1372.0);
         EXPECT_DOUBLE_EQ(r.lowerSensorLimit, -180.0);
     }},
    {"133 132 CJC mode", {133, 132}, [](SimLoop& l) { l.session.writes.cjcMode = 3; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.cjcMode, 3);
         EXPECT_EQ(r.cjcMode, 3);
     }},
    {"135 134 burnout", {135, 134}, [](SimLoop& l) { l.session.writes.burnoutDetection = 0; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.burnoutDetection, 0);
         EXPECT_EQ(r.burnoutDetection, 0);
     }},
    {"136 145 terminal temperature unit", {136, 145},
     [](SimLoop& l) { l.session.writes.termTempUnit = 35; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.termTempUnit, 35);
         EXPECT_EQ(r.termTempUnit, 35);
         EXPECT_FLOAT_EQ(static_cast<float>(r.constantCjcValue), 298.15f);
     }},
    {"138 137 saturation", {138, 137},
     [](SimLoop& l) {
         l.session.writes.aoSaturationHighText = "21.0";
         l.session.writes.aoSaturationLowText = "3.9";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.aoSaturationHigh, 21.0f);
         EXPECT_DOUBLE_EQ(r.aoSaturationLow, static_cast<double>(3.9f));
     }},
    {"140 139 alarm values", {140, 139},
     [](SimLoop& l) {
         l.session.writes.aoAlarmHighText = "22.5";
         l.session.writes.aoAlarmLowText = "3.78";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.aoAlarmHigh, 22.5f);
         EXPECT_DOUBLE_EQ(r.aoAlarmLow, static_cast<double>(3.78f));
     }},
    {"142 141 alarm mode", {142, 141}, [](SimLoop& l) { l.session.writes.aoAlarmMode = 2; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.aoAlarmMode, 2);
         EXPECT_EQ(r.aoAlarmMode, 2);
     }},
    {"144 143 calibrated RTD coefficients", {144, 143},
     [](SimLoop& l) {
         auto& w = l.session.writes;
         w.rtdCoefficientAText = "3.9083e-003";
         w.rtdCoefficientBText = "-5.775e-007";
         w.rtdCoefficientCText = "-4.183e-012";
         w.rtdCoefficientR0Text = "1000";
         w.rtdLowerLimit = -50;
         w.rtdUpperLimit = 600;
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.rtdR0, 1000.0f);
         EXPECT_FLOAT_EQ(static_cast<float>(r.rtdCoefficientA), 3.9083e-3f);
         EXPECT_FLOAT_EQ(static_cast<float>(r.rtdCoefficientC), -4.183e-12f);
         EXPECT_EQ(r.rtdLowerLimit, -50);
         EXPECT_EQ(r.rtdUpperLimit, 600);
     }},
    {"146 constant CJC", {146},
     [](SimLoop& l) {
         l.session.writes.termTempUnit = 32;
         l.session.writes.constantCjcText = "30.500";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.constantCjcValue, 30.5f);
         EXPECT_DOUBLE_EQ(r.constantCjcValue, 30.5);
     }},
    {"148 147 drift alarm", {148, 147},
     [](SimLoop& l) {
         l.session.writes.unitCode = 32;
         l.session.writes.driftAlarmText = "7.5";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.driftAlarm, 7.5f);
         EXPECT_DOUBLE_EQ(r.driftAlarm, 7.5);
     }},
    {"149 initialise DAC trim", {149}, [](SimLoop& l) { l.device.State().dacZeroTrim = 0.3f; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.dacZeroTrim, 0.0f);
         EXPECT_DOUBLE_EQ(r.dacTrimInitValue1, 4.0);
         EXPECT_DOUBLE_EQ(r.dacTrimInitValue2, 20.0);
     }},
    {"151 150 sensor range", {14, 151, 150},
     [](SimLoop& l) {
         l.session.writes.unitCode = 32;
         l.session.writes.sensorUpperRangeText = "600";
         l.session.writes.sensorLowerRangeText = "-200";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.sensorUpperRange, 600.0f);
         EXPECT_FLOAT_EQ(s.sensorLowerRange, -199.9999f);
         EXPECT_EQ(r.sensorUnit, 32);
         EXPECT_DOUBLE_EQ(r.sensorLowerRange, s.sensorLowerRange);
     }},
    {"153 152 sensor trim", {153, 152},
     [](SimLoop& l) {
         auto& w = l.session.writes;
         w.trimSensorNo = 2;
         w.trimAction = 1;
         w.unitCode = 32;
         w.trimValueText = "0.5";
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.sensorTrim[1].zeroPoint, 0.5f);
         EXPECT_EQ(r.trimSensorNo, 2);
         EXPECT_DOUBLE_EQ(r.trimZeroPoint, 0.5);
         EXPECT_DOUBLE_EQ(r.trimZeroValue, s.sensorTrim[1].zeroValue);
     }},
    {"155 154 lead wire resistance", {155, 154},
     [](SimLoop& l) { l.session.writes.leadWireResistanceText = "10.700000"; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.leadWireResistance, 10.7f);
         EXPECT_DOUBLE_EQ(r.leadWireResistance, static_cast<double>(10.7f));
     }},
    {"156 calibration readings", {156}, [](SimLoop& l) { l.session.writes.trimSensorNo = 1; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice& d) {
         EXPECT_FLOAT_EQ(static_cast<float>(r.pvReading), static_cast<float>(d.PvValue()));
         EXPECT_EQ(r.sensorUnit, s.sensorUnit);
         EXPECT_GT(r.sensorResistanceReading, 100.0);
     }},
    {"186 188 read the special curve", {186, 188},
     [](SimLoop& l) { l.session.pointIndex = 2; },
     [](const DeviceRecord& r, const sim::SimState&, const sim::SimDevice&) {
         EXPECT_EQ(r.specialCurve.size, 5);
         EXPECT_EQ(r.specialCurve.status, 0);
         EXPECT_DOUBLE_EQ(r.specialCurve.x[2], 50.0);
         EXPECT_FLOAT_EQ(static_cast<float>(r.specialCurve.y[2]), 35.0f);
     }},
    {"187 189 write the special curve", {187, 189},
     [](SimLoop& l) {
         l.session.writes.specialCurve.size = 2;
         l.session.writes.specialCurve.xTexts[1] = "100";
         l.session.writes.specialCurve.yTexts[1] = "115";
         l.session.pointIndex = 1;
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.specialCurve.size, 2);
         EXPECT_EQ(s.specialCurve.status, 1);  // until the end marker
         EXPECT_FLOAT_EQ(s.specialCurve.y[1], 1.15f);
         EXPECT_FLOAT_EQ(static_cast<float>(r.specialCurve.y[1]), 115.0f);
     }},
    {"194 196 read the custom RTD table", {194, 196},
     [](SimLoop& l) { l.session.pointIndex = 9; },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(r.customTable.size, 10);
         EXPECT_DOUBLE_EQ(r.customTable.step, 50.0);
         EXPECT_DOUBLE_EQ(r.customTable.values[9], s.customRtd.values[9]);
     }},
    {"191 193 190 write the custom TC table", {191, 193, 190},
     [](SimLoop& l) {
         auto& t = l.session.writes.customTable;
         t.size = 2;
         t.stepText = "10";
         t.minimumText = "-20";
         t.valueTexts[0] = "-0.778";
         l.session.pointIndex = 0;
     },
     [](const DeviceRecord& r, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.customTc.size, 2);
         EXPECT_EQ(s.customTc.minimum, -20);
         EXPECT_FLOAT_EQ(s.customTc.values[0], -0.778f);
         EXPECT_DOUBLE_EQ(r.customTable.minimum, -20.0);
         EXPECT_EQ(r.customTable.status, 1);
     }},
    {"195 197 write the custom RTD table up to its end marker", {195, 197},
     [](SimLoop& l) {
         auto& t = l.session.writes.customTable;
         t.size = 2;
         t.stepText = "1";
         t.minimumText = "0";
         l.session.pointIndex = kEndOfTableIndex;
     },
     [](const DeviceRecord&, const sim::SimState& s, const sim::SimDevice&) {
         EXPECT_EQ(s.customRtd.size, 2);
         EXPECT_EQ(s.customRtd.status, 0);
     }},
};

}  // namespace

TEST(CommandRoundTrip, EveryCommandReachesTheDeviceAndComesBackIntoTheRecord) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        SimLoop loop;
        ASSERT_EQ(loop.Connect(), 0);
        if (c.given) c.given(loop);
        for (std::uint8_t command : c.commands) {
            ASSERT_EQ(loop.Run(command), 0) << "command " << int(command);
        }
        c.then(loop.session.record, loop.device.State(), loop.device);
    }
}
