#include "sim/SimDevice.h"

#include <algorithm>
#include <cmath>

#include "sim/SimCommandSupport.h"
#include "sim/SimSensorCommands.h"
#include "sim/SimTableCommands.h"
#include "sim/SimUniversalCommands.h"
#include "hart/DeviceNameTable.h"
#include "hart/Encodings.h"
#include "hart/HartFrame.h"
#include "model/CglobalFile.h"
#include "model/SensorDefaults.h"

namespace qt40::sim {

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
    if (auto out = SimUniversalCommands(*this).Execute(command, in)) return *out;
    if (auto out = SimSensorCommands(*this).Execute(command, in)) return *out;
    if (auto out = SimTableCommands(*this).Execute(command, in)) return *out;
    Outcome out;
    out.code = kRcNotImplemented;
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
