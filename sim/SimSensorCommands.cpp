#include "sim/SimSensorCommands.h"

#include <cmath>

#include "hart/Encodings.h"
#include "model/CglobalFile.h"
#include "model/SensorDefaults.h"
#include "sim/SimCommandSupport.h"
#include "sim/SimDevice.h"

namespace qt40::sim {

std::optional<SimOutcome> SimSensorCommands::Execute(std::uint8_t command,
                                                     std::span<const std::uint8_t> in) {
    SimState& s = device_.State();
    SimOutcome out;
    auto& d = out.data;
    auto need = [&](std::size_t n) { return in.size() >= n; };
    auto refuse = [&](std::uint8_t code) {
        out.code = code;
        return out;
    };
    auto changed = [&] { s.configChanged = true; };

    // Answers shared by a read command and its write.
    auto sensorConfig = [&] { d = {s.sensorType, s.measurementType, s.sensorWires}; };
    auto sensorRangeAnswer = [&] {
        d.push_back(s.sensorUnit);
        PutF(d, s.sensorUpperRange);
        PutF(d, s.sensorLowerRange);
    };
    auto trimAnswer = [&](int sensor) {
        const SimSensorTrim& t = s.sensorTrim[static_cast<std::size_t>(sensor - 1)];
        d = {static_cast<std::uint8_t>(sensor), s.sensorUnit};
        PutF(d, t.zeroPoint);
        PutF(d, t.zeroValue);
        PutF(d, t.spanGain);
    };

    switch (command) {
        case 130:
            sensorConfig();
            break;
        case 131: {
            if (!need(3)) return refuse(kRcTooFewDataBytes);
            const int position = SensorPosition(in[0]);
            if (position < 0 || in[1] > 3 || in[2] < 2 || in[2] > 4) {
                return refuse(kRcInvalidSelection);
            }
            const SimTable* table = in[0] == kSensorCustomTc    ? &s.customTc
                                    : in[0] == kSensorCustomRtd ? &s.customRtd
                                                                : nullptr;
            if (table && table->status != 0) return refuse(kRcInvalidSelection);
            if (in[0] != s.sensorType) SetSensorType(in[0]);
            s.measurementType = in[1];
            s.sensorWires = in[2];
            changed();
            sensorConfig();
            break;
        }
        case 132:
            d = {s.cjcMode};
            break;
        case 133:
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (in[0] > 3) return refuse(kRcInvalidSelection);
            s.cjcMode = in[0];
            changed();
            d = {s.cjcMode};
            break;
        case 134:
            d = {s.burnoutDetection};
            break;
        case 135:
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (in[0] > 1) return refuse(kRcInvalidSelection);
            s.burnoutDetection = in[0];
            changed();
            d = {s.burnoutDetection};
            break;
        case 136:
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (!IsTemperatureUnit(in[0])) return refuse(kRcInvalidSelection);
            s.constantCjcValue =
                static_cast<float>(Convert(s.constantCjcValue, s.termTempUnit, in[0]));
            s.termTempUnit = in[0];
            changed();
            d = {s.termTempUnit};
            break;
        case 137:
            PutF(d, s.aoSaturationHigh);
            PutF(d, s.aoSaturationLow);
            break;
        case 138: {
            if (!need(8)) return refuse(kRcTooFewDataBytes);
            const double high = GetFloat(in.data()), low = GetFloat(in.data() + 4);
            if (auto rc = Bound(high, 20.0, 21.5)) return refuse(rc);
            if (auto rc = Bound(low, 3.8, 4.0)) return refuse(rc);
            s.aoSaturationHigh = static_cast<float>(high);
            s.aoSaturationLow = static_cast<float>(low);
            changed();
            return Execute(137, {});
        }
        case 139:
            PutF(d, s.aoAlarmHigh);
            PutF(d, s.aoAlarmLow);
            break;
        case 140: {
            if (!need(8)) return refuse(kRcTooFewDataBytes);
            const double high = GetFloat(in.data()), low = GetFloat(in.data() + 4);
            if (auto rc = Bound(high, 21.5, 23.0)) return refuse(rc);
            if (auto rc = Bound(low, 3.75, 3.8)) return refuse(rc);
            s.aoAlarmHigh = static_cast<float>(high);
            s.aoAlarmLow = static_cast<float>(low);
            changed();
            return Execute(139, {});
        }
        case 141:
            d = {s.aoAlarmMode};
            break;
        case 142:
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (in[0] > 2) return refuse(kRcInvalidSelection);
            s.aoAlarmMode = in[0];
            changed();
            d = {s.aoAlarmMode};
            break;
        case 143:
            PutF(d, s.rtdA);
            PutF(d, s.rtdB);
            PutF(d, s.rtdC);
            PutF(d, s.rtdR0);
            PutS16(d, s.rtdLowerLimit);
            PutS16(d, s.rtdUpperLimit);
            break;
        case 144: {
            if (!need(20)) return refuse(kRcTooFewDataBytes);
            const int lower = GetS16(in.data() + 16), upper = GetS16(in.data() + 18);
            if (auto rc = Bound(lower, -270, 1000)) return refuse(rc);
            if (auto rc = Bound(upper, -270, 1000)) return refuse(rc);
            s.rtdA = static_cast<float>(GetFloat(in.data()));
            s.rtdB = static_cast<float>(GetFloat(in.data() + 4));
            s.rtdC = static_cast<float>(GetFloat(in.data() + 8));
            s.rtdR0 = static_cast<float>(GetFloat(in.data() + 12));
            s.rtdLowerLimit = static_cast<std::int16_t>(lower);
            s.rtdUpperLimit = static_cast<std::int16_t>(upper);
            changed();
            return Execute(143, {});
        }
        case 145:
            d.push_back(s.termTempUnit);
            PutF(d, s.constantCjcValue);
            break;
        case 146: {
            if (!need(5)) return refuse(kRcTooFewDataBytes);
            if (!IsTemperatureUnit(in[0])) return refuse(kRcInvalidSelection);
            const double value = GetFloat(in.data() + 1);
            if (value != 0.0) {
                const double lo = FromDegC(-150.0, in[0]), hi = FromDegC(200.0, in[0]);
                if (auto rc = Bound(value, lo - 1e-3, hi + 1e-3)) return refuse(rc);
            }
            s.termTempUnit = in[0];
            s.constantCjcValue = static_cast<float>(value);
            changed();
            return Execute(145, {});
        }
        case 147:
            d.push_back(s.pvUnit);
            PutF(d, s.driftAlarm);
            break;
        case 148: {
            if (!need(5)) return refuse(kRcTooFewDataBytes);
            if (in[0] != s.pvUnit) return refuse(kRcInvalidSelection);
            const double value = GetFloat(in.data() + 1);
            if (value < 0.0) return refuse(kRcParameterTooSmall);
            s.driftAlarm = static_cast<float>(value);
            changed();
            return Execute(147, {});
        }
        case 149:
            s.dacZeroTrim = 0.0f;
            s.dacGainTrim = 0.0f;
            PutF(d, 4.0);
            PutF(d, 20.0);
            break;
        case 150:
            sensorRangeAnswer();
            break;
        case 151: {
            if (!need(9)) return refuse(kRcTooFewDataBytes);
            if (in[0] != s.pvUnit) return refuse(kRcInvalidSelection);
            const double upper = GetFloat(in.data() + 1);
            const double lower = GetFloat(in.data() + 5);
            if (auto rc = CheckRange(s, upper, lower)) return refuse(rc);
            s.sensorUnit = in[0];
            s.sensorUpperRange = static_cast<float>(upper);
            s.sensorLowerRange = static_cast<float>(lower);
            changed();
            sensorRangeAnswer();
            break;
        }
        case 152:
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (in[0] < 1 || in[0] > 2) return refuse(kRcInvalidSelection);
            trimAnswer(in[0]);
            break;
        case 153: {
            if (!need(7)) return refuse(kRcTooFewDataBytes);
            const int sensor = in[0], action = in[1];
            if (sensor < 1 || sensor > 2 || action < 1 || action > 3) {
                return refuse(kRcInvalidSelection);
            }
            SimSensorTrim& t = s.sensorTrim[static_cast<std::size_t>(sensor - 1)];
            const double value = GetFloat(in.data() + 3);
            const double reading = device_.PvValue();
            if (action == 1) {
                t.zeroPoint = static_cast<float>(value);
                t.zeroValue = static_cast<float>(reading - value);
            } else if (action == 2) {
                if (reading == 0.0) return refuse(kRcWrongMode);
                t.spanGain = static_cast<float>(value / reading);
            } else {
                t = SimSensorTrim{};
            }
            changed();
            trimAnswer(sensor);
            break;
        }
        case 154:
            PutF(d, s.leadWireResistance);
            break;
        case 155: {
            if (!need(4)) return refuse(kRcTooFewDataBytes);
            const double value = GetFloat(in.data());
            if (auto rc = Bound(value, 0.0, 100.0)) return refuse(rc);
            s.leadWireResistance = static_cast<float>(value);
            changed();
            PutF(d, s.leadWireResistance);
            break;
        }
        case 156: {
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (in[0] < 1 || in[0] > 2) return refuse(kRcInvalidSelection);
            const double pv = device_.PvValue();
            d.push_back(s.sensorUnit);
            PutF(d, pv);
            // A resistance thermometer's resistance, from the Pt100 slope.
            PutF(d, s.rtdR0 * (1.0 + s.rtdA * ToDegC(pv, s.pvUnit)) + s.leadWireResistance);
            d.push_back(s.pvUnit);
            PutF(d, pv);
            break;
        }
        default:
            return std::nullopt;
    }
    return out;
}

void SimSensorCommands::SetSensorType(std::uint8_t type) {
    SimState& s = device_.State();
    const int position = SensorPosition(type);
    const auto defaults = SensorDefaults::ForPosition(position);
    double upper = NumberFromText(defaults->upperText);
    double lower = NumberFromText(defaults->lowerText);
    const SimTable* table = type == kSensorCustomTc    ? &s.customTc
                            : type == kSensorCustomRtd ? &s.customRtd
                                                       : nullptr;
    if (table && table->status == 0 && table->size > 1) {
        lower = table->minimum;
        upper = table->minimum + (table->size - 1) * table->step;
    }
    s.sensorType = type;
    s.pvUnit = static_cast<std::uint8_t>(*CglobalFile::CodeOf(EnumKind::Unit, defaults->unit));
    s.upperSensorLimit = static_cast<float>(upper);
    s.lowerSensorLimit = static_cast<float>(lower);
    s.upperRange = static_cast<float>(upper);
    s.lowerRange = static_cast<float>(lower);
    s.sensorUnit = s.pvUnit;
    s.sensorUpperRange = s.upperSensorLimit;
    s.sensorLowerRange = s.lowerSensorLimit;
    s.processBase = type == kSensorMillivolt ? 12.0 : type == kSensorOhm ? 110.0 : 25.0;
}

}  // namespace qt40::sim
