#include "sim/SimUniversalCommands.h"

#include <algorithm>
#include <cmath>

#include "hart/Encodings.h"
#include "model/CglobalFile.h"
#include "sim/SimCommandSupport.h"
#include "sim/SimDevice.h"

namespace qt40::sim {

std::optional<SimOutcome> SimUniversalCommands::Execute(std::uint8_t command,
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
    auto rangeAnswer = [&] {
        d.push_back(s.pvUnit);
        PutF(d, s.upperRange);
        PutF(d, s.lowerRange);
    };

    switch (command) {
        case 0:
            d = {254,
                 s.manufacturerId,
                 s.deviceType,
                 s.requestPreambles,
                 s.universalRev,
                 s.transmitterRev,
                 s.softwareRev,
                 s.hardwareRevByte,
                 0};
            PutU24To(d, s.deviceId);
            break;
        case 2:
            PutF(d, device_.LoopCurrent());
            PutF(d, device_.PercentOfRange());
            break;
        case 3:
            ++s.tick;
            PutF(d, device_.LoopCurrent());
            d.push_back(s.pvUnit);
            PutF(d, device_.PvValue());
            d.push_back(s.termTempUnit);
            PutF(d, FromDegC(s.terminalTemperature, s.termTempUnit));
            break;
        case 6:
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (in[0] > 63) return refuse(kRcInvalidSelection);
            s.pollingAddress = in[0];
            changed();
            d = {s.pollingAddress};
            break;
        case 12:
            PutPacked(d, s.message, 32);
            break;
        case 13:
            PutPacked(d, s.tag, 8);
            PutPacked(d, s.descriptor, 16);
            d.insert(d.end(), {s.day, s.month, s.yearSince1900});
            break;
        case 14:
            PutU24To(d, s.sensorSerialNo);
            d.push_back(s.pvUnit);
            PutF(d, s.upperSensorLimit);
            PutF(d, s.lowerSensorLimit);
            PutF(d, s.minimumSpan);
            break;
        case 15:
            d = {s.aoAlarmMode, s.transferFunction, s.pvUnit};
            PutF(d, s.upperRange);
            PutF(d, s.lowerRange);
            PutF(d, s.damping);
            d.insert(d.end(), {0, 0, 0, 0, 0, 0});  // PV range write protect, spare
            break;
        case 16:
            PutU24To(d, s.finalAssemblyNo);
            break;
        case 17:
            if (!need(24)) return refuse(kRcTooFewDataBytes);
            s.message = UnpackAscii(in.data(), 32);
            changed();
            PutPacked(d, s.message, 32);
            break;
        case 18:
            if (!need(21)) return refuse(kRcTooFewDataBytes);
            if (in[19] < 1 || in[19] > 12 || in[18] < 1 || in[18] > 31) {
                return refuse(kRcInvalidSelection);
            }
            s.tag = UnpackAscii(in.data(), 8);
            s.descriptor = UnpackAscii(in.data() + 6, 16);
            s.day = in[18];
            s.month = in[19];
            s.yearSince1900 = in[20];
            changed();
            return Execute(13, {});
        case 19:
            if (!need(3)) return refuse(kRcTooFewDataBytes);
            s.finalAssemblyNo = GetU24(in.data());
            changed();
            PutU24To(d, s.finalAssemblyNo);
            break;
        case 34: {
            if (!need(4)) return refuse(kRcTooFewDataBytes);
            const double damping = GetFloat(in.data());
            if (damping != 0.0) {
                if (auto rc = Bound(damping, 0.5, 30.0)) return refuse(rc);
            } else if (std::signbit(damping)) {
                return refuse(kRcParameterTooSmall);
            }
            s.damping = static_cast<float>(damping);
            changed();
            PutF(d, s.damping);
            break;
        }
        case 35: {
            if (!need(9)) return refuse(kRcTooFewDataBytes);
            if (in[0] != s.pvUnit) return refuse(kRcInvalidSelection);
            const double upper = GetFloat(in.data() + 1);
            const double lower = GetFloat(in.data() + 5);
            if (auto rc = CheckRange(s, upper, lower)) return refuse(rc);
            s.upperRange = static_cast<float>(upper);
            s.lowerRange = static_cast<float>(lower);
            changed();
            rangeAnswer();
            break;
        }
        case 38:
            s.configChanged = false;
            break;
        case 40: {
            if (!need(4)) return refuse(kRcTooFewDataBytes);
            const double level = GetFloat(in.data());
            if (level != 0.0) {
                if (auto rc = Bound(level, 3.6, 23.0)) return refuse(rc);
            }
            s.fixedCurrent = static_cast<float>(level);
            PutF(d, level);
            break;
        }
        case 41:
            break;  // self test: nothing found
        case 42:
            s.fixedCurrent = 0.0f;
            s.coldStart = true;
            break;
        case 44: {
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            const int position = SensorPosition(s.sensorType);
            const auto& codes = CglobalFile::Pair(CglobalFile::PvUnitChoices(position)).codes;
            if (CglobalFile::FindByCode(codes, in[0]) < 0) return refuse(kRcInvalidSelection);
            ChangePvUnit(in[0]);
            changed();
            d = {s.pvUnit};
            break;
        }
        case 45:
        case 46: {
            if (!need(4)) return refuse(kRcTooFewDataBytes);
            const double point = command == 45 ? 4.0 : 20.0;
            if (std::fabs(s.fixedCurrent - point) > 1e-3) return refuse(kRcWrongMode);
            const double measured = GetFloat(in.data());
            if (auto rc = Bound(measured, point - 0.2, point + 0.2)) return refuse(rc);
            (command == 45 ? s.dacZeroTrim : s.dacGainTrim) += static_cast<float>(point - measured);
            PutF(d, measured);
            break;
        }
        case 47:
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (!CglobalFile::NameOf(EnumKind::TransferFunction, in[0])) {
                return refuse(kRcInvalidSelection);
            }
            if (in[0] == 4 && s.specialCurve.status != 0) return refuse(kRcInvalidSelection);
            s.transferFunction = in[0];
            changed();
            d = {s.transferFunction};
            break;
        case 48:
            d.assign(s.additionalStatus.begin(), s.additionalStatus.end());
            break;
        case 49:
            if (!need(3)) return refuse(kRcTooFewDataBytes);
            s.sensorSerialNo = GetU24(in.data());
            changed();
            PutU24To(d, s.sensorSerialNo);
            break;
        default:
            return std::nullopt;
    }
    return out;
}

void SimUniversalCommands::ChangePvUnit(std::uint8_t unit) {
    SimState& s = device_.State();
    const int from = s.pvUnit;
    auto conv = [&](float& v) { v = static_cast<float>(Convert(v, from, unit)); };
    auto convDelta = [&](float& v) { v = static_cast<float>(ConvertDelta(v, from, unit)); };
    conv(s.upperRange);
    conv(s.lowerRange);
    conv(s.upperSensorLimit);
    conv(s.lowerSensorLimit);
    convDelta(s.minimumSpan);
    convDelta(s.driftAlarm);
    s.sensorUpperRange = static_cast<float>(Convert(s.sensorUpperRange, s.sensorUnit, unit));
    s.sensorLowerRange = static_cast<float>(Convert(s.sensorLowerRange, s.sensorUnit, unit));
    s.sensorUnit = unit;
    s.pvUnit = unit;
}

}  // namespace qt40::sim
