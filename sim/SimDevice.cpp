#include "SimDevice.h"

#include <algorithm>
#include <cmath>

#include "hart/DeviceNameTable.h"
#include "hart/Encodings.h"
#include "hart/HartFrame.h"
#include "model/CglobalFile.h"
#include "model/SensorDefaults.h"

namespace qt40::sim {
namespace {

constexpr std::uint8_t kDegC = 32, kDegF = 33, kDegR = 34, kKelvin = 35, kMilliVolt = 36,
                       kOhm = 37;
constexpr std::uint8_t kSensorMillivolt = 129, kSensorOhm = 1, kSensorCustomTc = 146,
                       kSensorCustomRtd = 93;

bool IsTemperatureUnit(int unit) { return unit >= kDegC && unit <= kKelvin; }

double FromDegC(double c, int unit) {
    switch (unit) {
        case kDegF: return c * 9.0 / 5.0 + 32.0;
        case kDegR: return (c + 273.15) * 9.0 / 5.0;
        case kKelvin: return c + 273.15;
        default: return c;
    }
}

double ToDegC(double v, int unit) {
    switch (unit) {
        case kDegF: return (v - 32.0) * 5.0 / 9.0;
        case kDegR: return v * 5.0 / 9.0 - 273.15;
        case kKelvin: return v - 273.15;
        default: return v;
    }
}

double DeltaFactor(int unit) { return (unit == kDegF || unit == kDegR) ? 9.0 / 5.0 : 1.0; }

// A value in `from` expressed in `to` (temperatures only; others unchanged).
double Convert(double v, int from, int to) {
    if (from == to || !IsTemperatureUnit(from) || !IsTemperatureUnit(to)) return v;
    return FromDegC(ToDegC(v, from), to);
}

double ConvertDelta(double v, int from, int to) {
    if (from == to || !IsTemperatureUnit(from) || !IsTemperatureUnit(to)) return v;
    return v / DeltaFactor(from) * DeltaFactor(to);
}

int SensorPosition(int code) {
    return CglobalFile::FindByCode(CglobalFile::Pair(EnumKind::SensorType).codes,
                                   static_cast<std::int16_t>(code));
}

void PutF(std::vector<std::uint8_t>& out, double v) {
    std::uint8_t b[4];
    PutFloat(b, static_cast<float>(v));
    out.insert(out.end(), b, b + 4);
}

void PutS16(std::vector<std::uint8_t>& out, int v) {
    std::uint8_t b[2];
    PutU16(b, static_cast<std::uint16_t>(v));
    out.insert(out.end(), b, b + 2);
}

void PutU24To(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t b[3];
    PutU24(b, v);
    out.insert(out.end(), b, b + 3);
}

void PutPacked(std::vector<std::uint8_t>& out, const std::string& text, int n) {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(n * 3 / 4));
    PackAscii(text, b.data(), n);
    out.insert(out.end(), b.begin(), b.end());
}

// Inclusive bound check answering with the standard "too large / too small".
std::uint8_t Bound(double v, double lo, double hi) {
    if (v > hi) return kRcParameterTooLarge;
    if (v < lo) return kRcParameterTooSmall;
    return kRcSuccess;
}

}  // namespace

std::optional<SimModel> ModelFromName(const std::string& name) {
    for (SimModel m : {SimModel::QT40, SimModel::QT30, SimModel::QT10, SimModel::QT302,
                       SimModel::KX3}) {
        if (name == ModelName(m)) return m;
    }
    return std::nullopt;
}

const char* ModelName(SimModel model) {
    switch (model) {
        case SimModel::QT40: return "QT40";
        case SimModel::QT30: return "QT30";
        case SimModel::QT10: return "QT10";
        case SimModel::QT302: return "QT302";
        case SimModel::KX3: return "KX3";
    }
    return "";
}

SimDevice::SimDevice(SimModel model, std::uint8_t pollingAddress) {
    switch (model) {
        case SimModel::QT40: state_.deviceType = kDeviceTypeQT40; break;
        case SimModel::QT30: state_.deviceType = kDeviceTypeQT30; break;
        case SimModel::QT10: state_.deviceType = kDeviceTypeQT10; break;
        case SimModel::QT302: state_.deviceType = kDeviceTypeQT302; break;
        case SimModel::KX3: state_.deviceType = kDeviceTypeKX3; break;
    }
    state_.manufacturerId = model == SimModel::KX3 ? kSecondManufacturerId : kMakerManufacturerId;
    state_.pollingAddress = pollingAddress;

    // A configured custom RTD table (a Pt100 curve every 50 degC) and a
    // special curve; the custom TC table is left unconfigured.
    SimTable& rtd = state_.customRtd;
    rtd.status = 0;
    rtd.size = 10;
    rtd.step = 50;
    rtd.minimum = 0;
    const float pt100[10] = {100.00f, 119.40f, 138.51f, 157.33f, 175.86f,
                             194.10f, 212.05f, 229.72f, 247.09f, 264.18f};
    std::copy(std::begin(pt100), std::end(pt100), rtd.values.begin());
    SimCurve& curve = state_.specialCurve;
    curve.status = 0;
    curve.size = 5;
    const float xs[5] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    const float ys[5] = {0.0f, 0.1f, 0.35f, 0.7f, 1.0f};
    std::copy(std::begin(xs), std::end(xs), curve.x.begin());
    std::copy(std::begin(ys), std::end(ys), curve.y.begin());
}

double SimDevice::PvValue() const {
    const SimState& s = state_;
    const double wave = s.processBase + s.processSwing * std::sin(static_cast<double>(s.tick) * 0.15);
    return IsTemperatureUnit(s.pvUnit) ? FromDegC(wave, s.pvUnit) : wave;
}

double SimDevice::PercentOfRange() const {
    const double span = state_.upperRange - state_.lowerRange;
    if (span == 0.0) return 0.0;
    return (PvValue() - state_.lowerRange) / span * 100.0;
}

double SimDevice::LoopCurrent() const {
    const SimState& s = state_;
    if (s.fixedCurrent != 0.0f) return s.fixedCurrent;
    if (s.pollingAddress != 0) return 4.0;  // multidrop: the output is parked
    double fraction = PercentOfRange() / 100.0;
    if (s.transferFunction == 1) fraction = fraction > 0 ? std::sqrt(fraction) : 0.0;
    const double current = 4.0 + 16.0 * fraction;
    return std::clamp(current, static_cast<double>(s.aoSaturationLow),
                      static_cast<double>(s.aoSaturationHigh));
}

std::uint8_t SimDevice::StatusByte() {
    std::uint8_t status = 0;
    if (state_.configChanged) status |= 0x40;
    if (state_.coldStart) status |= 0x20;
    if (std::any_of(state_.additionalStatus.begin(), state_.additionalStatus.end(),
                    [](std::uint8_t b) { return b != 0; })) {
        status |= 0x10;
    }
    if (state_.fixedCurrent != 0.0f) status |= 0x08;
    const double current = LoopCurrent();
    if (state_.fixedCurrent == 0.0f &&
        (current <= state_.aoSaturationLow || current >= state_.aoSaturationHigh)) {
        status |= 0x04;
    }
    const double pv = PvValue();
    if (pv > state_.upperSensorLimit || pv < state_.lowerSensorLimit) status |= 0x01;
    state_.coldStart = false;
    return status;
}

void SimDevice::SetSensorType(std::uint8_t type) {
    SimState& s = state_;
    const int position = SensorPosition(type);
    const auto defaults = SensorDefaults::ForPosition(position);
    double upper = NumberFromText(defaults->upperText);
    double lower = NumberFromText(defaults->lowerText);
    const SimTable* table = type == kSensorCustomTc ? &s.customTc
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

void SimDevice::ChangePvUnit(std::uint8_t unit) {
    SimState& s = state_;
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

std::optional<SimReply> SimDevice::Handle(std::span<const std::uint8_t> request) {
    const ParsedFrame parsed = HartFrame::Parse(request);
    const HartFrame& frame = parsed.frame;
    // A device hears a master's frame after two preambles at least, and
    // ignores one whose check byte does not hold.
    if (parsed.preambles < 2 || !parsed.Sound()) return std::nullopt;
    if (frame.Delimiter() != HartFrame::DelimiterFor(FrameKind::Request, false) &&
        frame.Delimiter() != HartFrame::DelimiterFor(FrameKind::Request, true)) {
        return std::nullopt;
    }
    const bool longFrame = frame.Long();
    const std::uint8_t command = frame.Command();

    // Command 0 only as a short frame to the polling address, everything else
    // only as a long frame to the device's own long address.
    const auto address = frame.Address();
    if (longFrame) {
        if (command == 0) return std::nullopt;
        const std::uint8_t expected[5] = {
            state_.manufacturerId, state_.deviceType, static_cast<std::uint8_t>(state_.deviceId >> 16),
            static_cast<std::uint8_t>(state_.deviceId >> 8), static_cast<std::uint8_t>(state_.deviceId)};
        if ((address[0] & 0x3F) != (expected[0] & 0x3F) ||
            !std::equal(address.begin() + 1, address.end(), expected + 1)) {
            return std::nullopt;
        }
    } else {
        if (command != 0 || (address[0] & 0x3F) != state_.pollingAddress) return std::nullopt;
    }

    if (recording_) heard_.push_back({command, {frame.Data().begin(), frame.Data().end()}});

    // Counted faults, for every answer or for one command only.
    const bool targeted = !faults_.onlyCommand || *faults_.onlyCommand == command;
    auto hit = [&](FaultCount& fault) { return targeted && fault.Take(); };
    enum class Mixed { None, Drop, Noise, Checksum, Gap };
    Mixed mixed = Mixed::None;
    if (hit(faults_.mixed)) mixed = static_cast<Mixed>(1 + faults_.mixedNext++ % 4);
    if (mixed == Mixed::Drop || hit(faults_.dropAnswer)) return std::nullopt;

    Outcome outcome;
    // The request from its delimiter, check byte aside.
    const auto askedBytes = request.subspan(parsed.preambles, parsed.size - 1);
    const std::vector<std::uint8_t> asked(askedBytes.begin(), askedBytes.end());
    const auto delayedN = faults_.delayedFor.find(command);
    const std::optional<int> delayedRuns = delayedN != faults_.delayedFor.end()
                                               ? std::optional<int>(delayedN->second)
                                               : faults_.delayedForEvery;
    if (delayed_ && delayed_->request != asked) delayed_.reset();  // given up by the master
    if (hit(faults_.busy)) {
        outcome.code = kRcBusy;
    } else if (hit(faults_.refuse)) {
        outcome.code = kRcDeviceSpecific;
    } else if (delayed_) {
        // A repeat of the request under way.
        if (delayed_->running > 0) {
            --delayed_->running;
            outcome.code = kRcDelayedRunning;
        } else {
            outcome = std::move(delayed_->outcome);
            delayed_.reset();
        }
    } else if (auto forced = faults_.responseCodeFor.find(command);
               forced != faults_.responseCodeFor.end()) {
        outcome.code = forced->second;
    } else {
        outcome = Execute(command, frame.Data());
        if (outcome.code != kRcSuccess) outcome.data.clear();
        if (delayedRuns) {
            // Carried out now, answered later.
            delayed_ = Delayed{asked, *delayedRuns, std::move(outcome)};
            outcome = Outcome{};
            outcome.code = kRcDelayedInitiated;
        }
    }

    SimReply reply;
    if (mixed == Mixed::Noise || hit(faults_.noise)) {
        reply.bytes.insert(reply.bytes.end(), faults_.noiseBytes.begin(), faults_.noiseBytes.end());
    }
    const std::size_t firstPreamble = reply.bytes.size();
    std::vector<std::uint8_t> answerData{outcome.code, StatusByte()};
    answerData.insert(answerData.end(), outcome.data.begin(), outcome.data.end());
    const std::vector<std::uint8_t> answer =
        HartFrame::Make(FrameKind::Answer, address, command, answerData).value().Bytes(5);
    reply.bytes.insert(reply.bytes.end(), answer.begin(), answer.end());
    if (mixed == Mixed::Checksum || hit(faults_.corruptChecksum)) reply.bytes.back() ^= 0x5A;
    if (mixed == Mixed::Gap || hit(faults_.gap)) {
        reply.gapAfter = std::min(firstPreamble + faults_.gapAfterByte, reply.bytes.size() - 1);
        reply.gapMs = faults_.gapMs;
    }
    return reply;
}

SimDevice::Outcome SimDevice::Execute(std::uint8_t command, std::span<const std::uint8_t> in) {
    SimState& s = state_;
    Outcome out;
    auto& d = out.data;
    auto need = [&](std::size_t n) { return in.size() >= n; };
    auto refuse = [&](std::uint8_t code) {
        out.code = code;
        return out;
    };
    auto changed = [&] { s.configChanged = true; };

    // Answers shared by a read command and its write.
    auto sensorConfig = [&] { d = {s.sensorType, s.measurementType, s.sensorWires}; };
    auto rangeAnswer = [&] {
        d.push_back(s.pvUnit);
        PutF(d, s.upperRange);
        PutF(d, s.lowerRange);
    };
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
    // The limits a range end is checked against; a difference measurement
    // reaches down to minus the upper limit.
    auto lowerLimit = [&] {
        return s.measurementType == 1 ? -s.upperSensorLimit : s.lowerSensorLimit;
    };
    auto checkRange = [&](double upper, double lower) -> std::uint8_t {
        const double hi = s.upperSensorLimit, lo = lowerLimit();
        const bool upperOut = upper > hi || upper < lo;
        const bool lowerOut = lower > hi || lower < lo;
        if (upperOut && lowerOut) return kRcBothRangesOutOfLimits;
        if (upper > hi) return kRcUpperRangeTooHigh;
        if (upper < lo) return kRcUpperRangeTooLow;
        if (lower > hi) return kRcLowerRangeTooHigh;
        if (lower < lo) return kRcLowerRangeTooLow;
        if (std::fabs(upper - lower) < s.minimumSpan - 1e-3) return kRcSpanTooSmall;
        return kRcSuccess;
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
            PutF(d, LoopCurrent());
            PutF(d, PercentOfRange());
            break;
        case 3:
            ++s.tick;
            PutF(d, LoopCurrent());
            d.push_back(s.pvUnit);
            PutF(d, PvValue());
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
        case 12: PutPacked(d, s.message, 32); break;
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
        case 16: PutU24To(d, s.finalAssemblyNo); break;
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
            if (auto rc = checkRange(upper, lower)) return refuse(rc);
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
        case 41: break;  // self test: nothing found
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
        case 48: d.assign(s.additionalStatus.begin(), s.additionalStatus.end()); break;
        case 49:
            if (!need(3)) return refuse(kRcTooFewDataBytes);
            s.sensorSerialNo = GetU24(in.data());
            changed();
            PutU24To(d, s.sensorSerialNo);
            break;
        case 130: sensorConfig(); break;
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
        case 132: d = {s.cjcMode}; break;
        case 133:
            if (!need(1)) return refuse(kRcTooFewDataBytes);
            if (in[0] > 3) return refuse(kRcInvalidSelection);
            s.cjcMode = in[0];
            changed();
            d = {s.cjcMode};
            break;
        case 134: d = {s.burnoutDetection}; break;
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
            s.constantCjcValue = static_cast<float>(Convert(s.constantCjcValue, s.termTempUnit, in[0]));
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
        case 141: d = {s.aoAlarmMode}; break;
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
        case 150: sensorRangeAnswer(); break;
        case 151: {
            if (!need(9)) return refuse(kRcTooFewDataBytes);
            if (in[0] != s.pvUnit) return refuse(kRcInvalidSelection);
            const double upper = GetFloat(in.data() + 1);
            const double lower = GetFloat(in.data() + 5);
            if (auto rc = checkRange(upper, lower)) return refuse(rc);
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
            const double reading = PvValue();
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
        case 154: PutF(d, s.leadWireResistance); break;
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
            const double pv = PvValue();
            d.push_back(s.sensorUnit);
            PutF(d, pv);
            // A resistance thermometer's resistance, from the Pt100 slope.
            PutF(d, s.rtdR0 * (1.0 + s.rtdA * ToDegC(pv, s.pvUnit)) + s.leadWireResistance);
            d.push_back(s.pvUnit);
            PutF(d, pv);
            break;
        }
        case 186: curveHeader(); break;
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
        case 190: tableHeader(s.customTc); break;
        case 194: tableHeader(s.customRtd); break;
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
        default: return refuse(kRcNotImplemented);
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> SimFrameAssembler::Feed(std::uint8_t byte) {
    const FrameAssembler::Fed fed = assembler_.Feed(byte);
    if (fed != FrameAssembler::Fed::Frame && fed != FrameAssembler::Fed::BadCheck) {
        return std::nullopt;
    }
    // Handle() wants preambles in front, as on the wire.
    const std::span<const std::uint8_t> frame = assembler_.Bytes();
    std::vector<std::uint8_t> complete(2 + frame.size(), kPreambleByte);
    std::copy(frame.begin(), frame.end(), complete.begin() + 2);
    return complete;
}

void SimFrameAssembler::Reset() {
    assembler_.Reset();
}

}  // namespace qt40::sim
