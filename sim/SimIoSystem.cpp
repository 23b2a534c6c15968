#include "sim/SimIoSystem.h"

#include <algorithm>
#include <cstdio>

#include "hart/Encodings.h"
#include "hart/FrameAssembler.h"
#include "hart/HartFrame.h"

namespace qt40::sim {

namespace {

constexpr std::uint8_t kDelimiterStx = HartFrame::DelimiterFor(FrameKind::Request, false);
constexpr std::uint8_t kDelimiterLongStx = HartFrame::DelimiterFor(FrameKind::Request, true);

// The preambles the I/O system puts in front of a sub-device request: what
// the master asks for, within what a loop master sends.
constexpr int kMinLoopPreambles = 5;
constexpr int kMaxLoopPreambles = 20;

// What `bytes` cost on a 1200 bit/s loop (eleven bits a byte), rounded up.
std::int64_t LoopMs(std::size_t bytes) {
    return (static_cast<std::int64_t>(bytes) * 11 * 1000 + 1199) / 1200;
}

std::optional<int> Count(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int n = std::stoi(text);
    if (n < low || n > high) return std::nullopt;
    return n;
}

void PutU16To(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void PutU24(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

// A Latin-1 text of `n` bytes, padded with spaces (the tag of a HART 5
// device stands for its long tag).
void PutLatin1(std::vector<std::uint8_t>& out, std::string text, std::size_t n) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    text.resize(n, ' ');
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

std::optional<std::string> ApplyIoSystemSize(const std::string& text, SimIoSystemOptions& options) {
    const auto x = text.find_first_of("xX");
    const auto cards =
        x == std::string::npos ? std::nullopt : Count(text.substr(0, x), 1, kIoMaxCards);
    const auto channels =
        x == std::string::npos ? std::nullopt : Count(text.substr(x + 1), 1, kIoMaxChannels);
    if (!cards || !channels) {
        return "expected CARDSxCHANNELS, e.g. 2x8, each 1 to " + std::to_string(kIoMaxCards);
    }
    options.cards = *cards;
    options.channels = *channels;
    return std::nullopt;
}

std::optional<std::string> ApplyIoChannelSwitch(const std::string& text,
                                                SimIoSystemOptions& options) {
    const auto slash = text.find('/');
    const auto equals = text.find('=');
    if (slash == std::string::npos || equals == std::string::npos || equals < slash) {
        return "expected CARD/CHANNEL=empty or CARD/CHANNEL=MODEL";
    }
    const auto card = Count(text.substr(0, slash), 0, options.cards - 1);
    if (!card)
        return "no card " + text.substr(0, slash) + " (0 to " + std::to_string(options.cards - 1) +
               ")";
    const auto channel = Count(text.substr(slash + 1, equals - slash - 1), 0, options.channels - 1);
    if (!channel) {
        return "no channel " + text.substr(slash + 1, equals - slash - 1) + " (0 to " +
               std::to_string(options.channels - 1) + ")";
    }
    const std::string what = text.substr(equals + 1);
    std::optional<SimModel> model;
    if (what != "empty") {
        model = ModelFromName(what);
        if (!model) return "unknown model " + what + " (empty, QT40, QT30, QT10, QT302 or KX3)";
    }
    options.channelModels[{*card, *channel}] = model;
    return std::nullopt;
}

SimIoSystem::SimIoSystem(SimIoSystemOptions options, Clock* clock)
    : options_(std::move(options)), clock_(clock ? clock : &steady_) {
    options_.cards = std::clamp(options_.cards, 1, kIoMaxCards);
    options_.channels = std::clamp(options_.channels, 1, kIoMaxChannels);
    options_.devicesPerChannel = std::clamp(options_.devicesPerChannel, 1, 63);
    for (int card = 0; card < options_.cards; ++card) {
        for (int channel = 0; channel < options_.channels; ++channel) {
            std::vector<SimModel> models = options_.models;
            if (const auto set = options_.channelModels.find({card, channel});
                set != options_.channelModels.end()) {
                if (!set->second) {
                    loops_.push_back(nullptr);
                    continue;
                }
                models = {*set->second};
            }
            std::vector<SimDevice> devices;
            for (int a = 0; a < options_.devicesPerChannel; ++a) {
                const auto i = static_cast<std::size_t>(a);
                const SimModel model = models.empty()      ? SimModel::QT40
                                       : i < models.size() ? models[i]
                                                           : models.back();
                SimDevice device(model, static_cast<std::uint8_t>(a));
                SimState& s = device.State();
                s.deviceId =
                    (options_.firstDeviceId + static_cast<std::uint32_t>(card) * 4096 +
                     static_cast<std::uint32_t>(channel) * 64 + static_cast<std::uint32_t>(a)) &
                    0xFFFFFF;
                // Card, channel and (on a multidrop loop) polling address, padded
                // to eight as the device keeps its tag.
                char tag[16];
                if (options_.devicesPerChannel > 1) {
                    std::snprintf(tag, sizeof tag, "TT%02d%02d%02d", card, channel, a);
                } else {
                    std::snprintf(tag, sizeof tag, "TT%02d%02d  ", card, channel);
                }
                s.tag = tag;
                devices.push_back(std::move(device));
            }
            loops_.push_back(std::make_unique<SimMultidrop>(std::move(devices)));
        }
    }
}

GatewayResponder SimIoSystem::Responder() {
    return [this](std::span<const std::uint8_t> request) { return Handle(request); };
}

std::array<std::uint8_t, 5> SimIoSystem::LongAddress() {
    return {static_cast<std::uint8_t>((kIoSystemExpandedDeviceType >> 8) & 0x3F),
            static_cast<std::uint8_t>(kIoSystemExpandedDeviceType & 0xFF),
            static_cast<std::uint8_t>(kIoSystemDeviceId >> 16),
            static_cast<std::uint8_t>(kIoSystemDeviceId >> 8),
            static_cast<std::uint8_t>(kIoSystemDeviceId)};
}

SimMultidrop* SimIoSystem::Loop(int card, int channel) {
    return loops_.at(static_cast<std::size_t>(card * options_.channels + channel)).get();
}

std::size_t SimIoSystem::DevicesOn(int card, int channel) {
    std::lock_guard lock(mutex_);
    const SimMultidrop* loop = Loop(card, channel);
    return loop ? loop->Size() : 0;
}

std::size_t SimIoSystem::Held() {
    std::lock_guard lock(mutex_);
    Forget(clock_->NowMs());
    return delayed_.size();
}

std::optional<std::vector<std::uint8_t>> SimIoSystem::Handle(
    std::span<const std::uint8_t> request) {
    const ParsedFrame parsed = HartFrame::Parse(request);
    const HartFrame& frame = parsed.frame;
    // A message carries one frame, without preambles; anything else is no
    // request this system hears.
    if (parsed.preambles != 0 || !parsed.Sound() || parsed.trailing != 0) return std::nullopt;
    if (frame.Delimiter() != kDelimiterStx && frame.Delimiter() != kDelimiterLongStx) {
        return std::nullopt;
    }
    const auto address = frame.Address();
    if (frame.Long()) {
        const auto own = LongAddress();
        if ((address[0] & 0x3F) != own[0] ||
            !std::equal(address.begin() + 1, address.end(), own.begin() + 1)) {
            return std::nullopt;
        }
    } else if (frame.Command() != 0 || (address[0] & 0x3F) != 0) {
        // Only command 0 goes to a polling address, and this system is at 0.
        return std::nullopt;
    }

    std::lock_guard lock(mutex_);
    const Outcome outcome = Execute(frame.Command(), frame.Data());
    std::vector<std::uint8_t> data{outcome.code, 0};  // no device status of its own to report
    data.insert(data.end(), outcome.data.begin(), outcome.data.end());
    return HartFrame::Make(FrameKind::Answer, address, frame.Command(), data).value().Bytes();
}

SimIoSystem::Outcome SimIoSystem::Execute(std::uint8_t command,
                                          std::span<const std::uint8_t> data) {
    switch (command) {
        case 0:
            return Identity();
        case 74:
            return Capabilities();
        case 77:
            return SendToSubDevice(data);
        case 84:
            return SubDeviceSummary(data);
        default:
            return {kRcNotImplemented, {}};
    }
}

SimIoSystem::Outcome SimIoSystem::Identity() const {
    Outcome out;
    auto& d = out.data;
    d.push_back(254);
    PutU16To(d, kIoSystemExpandedDeviceType);
    d.push_back(kMinLoopPreambles);  // preambles it wants from a master
    d.push_back(kIoSystemUniversalRev);
    d.push_back(kIoSystemDeviceRev);
    d.push_back(1);       // software revision
    d.push_back(1 << 3);  // hardware revision 1, physical signaling 0
    d.push_back(0);       // flags
    PutU24(d, kIoSystemDeviceId);
    d.push_back(kMinLoopPreambles);  // preambles in its answers
    d.push_back(0);                  // device variables
    PutU16To(d, 0);                  // configuration change counter
    d.push_back(0);                  // extended device status
    PutU16To(d, kIoSystemManufacturerId);
    PutU16To(d, kIoSystemManufacturerId);  // private label distributor
    d.push_back(kIoSystemProfile);
    return out;
}

SimIoSystem::Outcome SimIoSystem::Capabilities() {
    Forget(clock_->NowMs());
    const std::size_t detected = 1 + Found().size();  // itself too
    Outcome out;
    auto& d = out.data;
    d.push_back(static_cast<std::uint8_t>(options_.cards));
    d.push_back(static_cast<std::uint8_t>(options_.channels));
    d.push_back(static_cast<std::uint8_t>(options_.devicesPerChannel));
    PutU16To(d, static_cast<std::uint16_t>(std::min<std::size_t>(detected, 0xFFFF)));
    d.push_back(static_cast<std::uint8_t>(std::clamp(options_.maxDelayed, 0, 255)));
    d.push_back(1);  // primary master on its loops
    d.push_back(static_cast<std::uint8_t>(std::clamp(options_.retries, 0, 255)));
    return out;
}

std::vector<SimIoSystem::SubDevice> SimIoSystem::Found() {
    std::vector<SubDevice> found;
    for (int card = 0; card < options_.cards; ++card) {
        for (int channel = 0; channel < options_.channels; ++channel) {
            SimMultidrop* loop = Loop(card, channel);
            if (!loop) continue;
            const std::size_t first = found.size();
            for (std::size_t i = 0; i < loop->Size(); ++i) {
                found.push_back(
                    {card, channel, loop->WithDevice(i, [](SimDevice& d) { return d.State(); })});
            }
            // As a scan by polling address finds them.
            std::stable_sort(found.begin() + static_cast<std::ptrdiff_t>(first), found.end(),
                             [](const SubDevice& a, const SubDevice& b) {
                                 return a.state.pollingAddress < b.state.pollingAddress;
                             });
        }
    }
    return found;
}

SimIoSystem::Outcome SimIoSystem::SubDeviceSummary(std::span<const std::uint8_t> data) {
    if (data.size() < 2) return {kRcTooFewDataBytes, {}};
    const std::uint16_t index = GetU16(data.data());
    Outcome out;
    auto& d = out.data;
    PutU16To(d, index);
    if (index == 0) {
        // The I/O system itself.
        d.insert(d.end(), {0, 0});
        PutU16To(d, kIoSystemManufacturerId);
        PutU16To(d, kIoSystemExpandedDeviceType);
        PutU24(d, kIoSystemDeviceId);
        d.push_back(kIoSystemUniversalRev);
        PutLatin1(d, "IO-SYSTEM", 32);
        d.push_back(kIoSystemDeviceRev);
        d.push_back(kIoSystemProfile);
        PutU16To(d, kIoSystemManufacturerId);
        return out;
    }
    const std::vector<SubDevice> found = Found();
    if (index > found.size()) return {kRcInvalidSelection, {}};
    const SubDevice& sub = found[index - 1];
    const SimState& s = sub.state;
    d.push_back(static_cast<std::uint8_t>(sub.card));
    d.push_back(static_cast<std::uint8_t>(sub.channel));
    PutU16To(d, s.manufacturerId);
    // A HART 5 device's expanded device type: its manufacturer ID, then its device type.
    d.push_back(s.manufacturerId);
    d.push_back(s.deviceType);
    PutU24(d, s.deviceId);
    d.push_back(s.universalRev);
    PutLatin1(d, s.tag, 32);
    d.push_back(s.transmitterRev);
    d.push_back(1);  // process automation device
    PutU16To(d, s.manufacturerId);
    return out;
}

SimIoSystem::Outcome SimIoSystem::SendToSubDevice(std::span<const std::uint8_t> data) {
    const std::int64_t now = clock_->NowMs();
    Forget(now);
    const std::vector<std::uint8_t> asked(data.begin(), data.end());
    // A repeat of a request held: still running, or its answer, once.
    if (const auto held = std::find_if(delayed_.begin(), delayed_.end(),
                                       [&](const Delayed& d) { return d.request == asked; });
        held != delayed_.end()) {
        held->lastAskedAt = now;
        if (now < held->readyAt) return {kRcDelayedRunning, {}};
        Outcome outcome = std::move(held->outcome);
        delayed_.erase(held);
        return outcome;
    }

    if (data.size() < 3) return {kRcTooFewDataBytes, {}};
    const int card = data[0];
    const int channel = data[1];
    if (card >= options_.cards) return {kRcInvalidCard, {}};
    if (channel >= options_.channels) return {kRcInvalidChannel, {}};
    // The sub-device request: delimiter through data, no check byte.
    const std::span<const std::uint8_t> embedded = data.subspan(3);
    const ParsedFrame inner = HartFrame::Parse(embedded);
    if (inner.preambles != 0) return {kRcInvalidSelection, {}};
    if (inner.end < FrameEnd::BeforeCheckByte) return {kRcTooFewDataBytes, {}};
    if (inner.end != FrameEnd::BeforeCheckByte || (inner.frame.Delimiter() != kDelimiterStx &&
                                                   inner.frame.Delimiter() != kDelimiterLongStx)) {
        return {kRcInvalidSelection, {}};  // bytes after the data, or no request
    }

    // One exchange at a time on a loop; a new request to a channel replaces
    // the answer held for it there.
    const auto onChannel = std::find_if(delayed_.begin(), delayed_.end(), [&](const Delayed& d) {
        return d.card == card && d.channel == channel;
    });
    if (onChannel != delayed_.end()) {
        if (now < onChannel->readyAt) return {kRcBusy, {}};
        delayed_.erase(onChannel);
    }
    if (delayed_.size() >= static_cast<std::size_t>(std::max(options_.maxDelayed, 0))) {
        return {kRcDelayedConflict, {}};
    }

    const HartFrame& f = inner.frame;
    const std::vector<std::uint8_t> frame =
        HartFrame::Make(FrameKind::Request, f.Address(), f.Command(), f.Data()).value().Bytes();
    const int preambles = std::clamp<int>(data[2], kMinLoopPreambles, kMaxLoopPreambles);
    // The device hears the request now; its answer is given when the loop
    // would have carried both.
    const Exchange exchange = RunOnLoop(Loop(card, channel), frame, preambles);
    Delayed held;
    held.request = asked;
    held.card = card;
    held.channel = channel;
    held.readyAt = now + (options_.exchangeMs ? *options_.exchangeMs : exchange.ms);
    held.lastAskedAt = now;
    if (exchange.answer) {
        held.outcome.data = {static_cast<std::uint8_t>(card), static_cast<std::uint8_t>(channel)};
        held.outcome.data.insert(held.outcome.data.end(), exchange.answer->begin(),
                                 exchange.answer->end());
    } else {
        held.outcome.code = kRcDelayedDead;
    }
    delayed_.push_back(std::move(held));
    return {kRcDelayedInitiated, {}};
}

SimIoSystem::Exchange SimIoSystem::RunOnLoop(SimMultidrop* loop,
                                             std::span<const std::uint8_t> frame, int preambles) {
    std::vector<std::uint8_t> onLoop(static_cast<std::size_t>(preambles), kPreambleByte);
    onLoop.insert(onLoop.end(), frame.begin(), frame.end());
    const ParsedFrame request = HartFrame::Parse(frame);
    Exchange exchange;
    for (int attempt = 0; attempt <= options_.retries; ++attempt) {
        const std::optional<SimReply> reply = loop ? loop->Handle(onLoop) : std::nullopt;
        if (!reply) {
            exchange.ms += LoopMs(onLoop.size()) + kIoLoopAnswerWaitMs;
            continue;
        }
        exchange.ms += LoopMs(onLoop.size() + reply->bytes.size()) + options_.turnaroundMs +
                       (reply->gapAfter < reply->bytes.size() ? reply->gapMs : 0);
        // The modem hears noise, preambles and the answer frame; a garbled
        // frame or one for another address or command is tried again.
        FrameAssembler assembler(FrameAssembler::Accepts{FrameKind::Answer, 2, false});
        for (const std::uint8_t byte : reply->bytes) {
            if (assembler.Feed(byte) != FrameAssembler::Fed::Frame) continue;
            const ParsedFrame answer = assembler.Frame();
            const auto sent = request.frame.Address();
            const auto got = answer.frame.Address();
            if (answer.frame.Command() == request.frame.Command() && sent.size() == got.size() &&
                std::equal(sent.begin() + 1, sent.end(), got.begin() + 1) &&
                (sent[0] & 0x3F) == (got[0] & 0x3F)) {
                const auto bytes = assembler.Bytes();
                exchange.answer.emplace(bytes.begin(),
                                        bytes.end() - 1);  // the check byte stays on the loop
                return exchange;
            }
            break;
        }
    }
    return exchange;
}

void SimIoSystem::Forget(std::int64_t now) {
    std::erase_if(delayed_, [&](const Delayed& d) {
        return now - std::max(d.readyAt, d.lastAskedAt) >= options_.holdMs;
    });
}

}  // namespace qt40::sim
