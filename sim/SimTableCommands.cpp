#include "sim/SimTableCommands.h"

#include "hart/Encodings.h"
#include "sim/SimCommandSupport.h"
#include "sim/SimDevice.h"

namespace qt40::sim {

std::optional<SimOutcome> SimTableCommands::Execute(std::uint8_t command,
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
    auto tableHeader = [&](const SimTable& t) {
        PutS16(d, t.headerWord);
        PutS16(d, t.size);
        d.push_back(t.step);
        PutS16(d, t.minimum);
        d.push_back(t.status);
    };
    auto curveHeader = [&] {
        PutS16(d, s.specialCurve.headerWord);
        PutS16(d, s.specialCurve.size);
        d.push_back(s.specialCurve.status);
    };

    switch (command) {
        case 186:
            curveHeader();
            break;
        case 187: {
            if (!need(2)) return refuse(kRcTooFewDataBytes);
            const int size = GetS16(in.data());
            if (auto rc = Bound(size, 2, 125)) return refuse(rc);
            s.specialCurve.size = static_cast<std::int16_t>(size);
            s.specialCurve.status = 1;  // configured again once the end marker arrives
            changed();
            curveHeader();
            break;
        }
        case 188: {
            if (!need(2)) return refuse(kRcTooFewDataBytes);
            const int index = GetS16(in.data());
            if (index < 0 || index >= s.specialCurve.size) return refuse(kRcInvalidSelection);
            PutS16(d, index);
            PutF(d, s.specialCurve.x[static_cast<std::size_t>(index)]);
            PutF(d, s.specialCurve.y[static_cast<std::size_t>(index)]);
            break;
        }
        case 189: {
            if (!need(10)) return refuse(kRcTooFewDataBytes);
            const int index = GetS16(in.data());
            if (index == 9999) {
                s.specialCurve.status = 0;
                PutS16(d, index);
                PutF(d, 0.0);
                PutF(d, 0.0);
                break;
            }
            if (index < 0 || index >= s.specialCurve.size) return refuse(kRcInvalidSelection);
            const double x = GetFloat(in.data() + 2), y = GetFloat(in.data() + 6);
            if (auto rc = Bound(x, -0.15 - 1e-6, 1.15 + 1e-6)) return refuse(rc);
            if (auto rc = Bound(y, -0.15 - 1e-6, 1.15 + 1e-6)) return refuse(rc);
            s.specialCurve.x[static_cast<std::size_t>(index)] = static_cast<float>(x);
            s.specialCurve.y[static_cast<std::size_t>(index)] = static_cast<float>(y);
            PutS16(d, index);
            PutF(d, x);
            PutF(d, y);
            break;
        }
        case 190:
            tableHeader(s.customTc);
            break;
        case 194:
            tableHeader(s.customRtd);
            break;
        case 191:
        case 195: {
            if (!need(5)) return refuse(kRcTooFewDataBytes);
            SimTable& t = command == 191 ? s.customTc : s.customRtd;
            const int size = GetS16(in.data());
            const int step = in[2];
            const int minimum = GetS16(in.data() + 3);
            if (auto rc = Bound(size, 2, 250)) return refuse(rc);
            if (auto rc = Bound(step, 1, 50)) return refuse(rc);
            if (auto rc = Bound(minimum, -273, 10000)) return refuse(rc);
            t.size = static_cast<std::int16_t>(size);
            t.step = static_cast<std::uint8_t>(step);
            t.minimum = static_cast<std::int16_t>(minimum);
            t.status = 1;
            changed();
            tableHeader(t);
            break;
        }
        case 192:
        case 196:
        case 193:
        case 197: {
            const bool write = command == 193 || command == 197;
            SimTable& t = (command == 192 || command == 193) ? s.customTc : s.customRtd;
            if (!need(write ? 6 : 2)) return refuse(kRcTooFewDataBytes);
            const int index = GetS16(in.data());
            if (write && index == 9999) {
                t.status = 0;
                PutS16(d, index);
                PutF(d, 0.0);
                break;
            }
            if (index < 0 || index >= t.size) return refuse(kRcInvalidSelection);
            if (write) {
                const double value = GetFloat(in.data() + 2);
                if (command == 193) {
                    if (auto rc = Bound(value, -100.0, 800.0)) return refuse(rc);
                } else if (value <= 0.0 || value > 4000.0) {
                    return refuse(value <= 0.0 ? kRcParameterTooSmall : kRcParameterTooLarge);
                }
                t.values[static_cast<std::size_t>(index)] = static_cast<float>(value);
            }
            PutS16(d, index);
            PutF(d, t.values[static_cast<std::size_t>(index)]);
            break;
        }

        default:
            return std::nullopt;
    }
    return out;
}

}  // namespace qt40::sim
