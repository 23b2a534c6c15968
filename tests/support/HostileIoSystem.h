#pragma once
// An I/O system as strict as the field, behind the simulator's HART-IP server
// on the loopback: it answers command 0 at polling address 0 with its own
// identity, and command 77 to its long address only. One simulated QT40 sits
// on card 1 channel 2; every other channel of cards 0-3 (channels 0-7) is
// empty. Each new request to a channel gets the scripted busy or delayed
// codes first (one per repeat), then the real answer; a different request
// to a channel whose delayed response is still running is a conflict (36),
// counted, as is every request it saw. For the tests of the transport and
// the link.

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hart/HartFrame.h"
#include "hart/IoSystemCommands.h"
#include "sim/SimDevice.h"
#include "sim/SimHartIpServer.h"

namespace qt40::testing {

// What one new request to a channel meets before its answer.
struct IoSystemScript {
    std::vector<std::uint8_t> codes;  // answered in turn to the request and its repeats
    bool forever = false;             // then 34 for good
    bool wrongPlace = false;          // the answer names card + 1

    static IoSystemScript Codes(std::vector<std::uint8_t> codes) {
        IoSystemScript s;
        s.codes = std::move(codes);
        return s;
    }
    static IoSystemScript Forever() {
        IoSystemScript s = Codes({33});
        s.forever = true;
        return s;
    }
    static IoSystemScript WrongPlace() {
        IoSystemScript s;
        s.wrongPlace = true;
        return s;
    }
};

class HostileIoSystem {
public:
    using Script = IoSystemScript;
    using Bytes = std::vector<std::uint8_t>;
    static constexpr std::uint8_t kCard = 1;
    static constexpr std::uint8_t kChannel = 2;
    static constexpr std::uint8_t kCards = 4;
    static constexpr std::uint8_t kChannels = 8;
    // Its long address: expanded device type E1 2D masked to 21 2D, device ID 0A 0B 0C.
    static constexpr std::array<std::uint8_t, 5> kAddress{0x21, 0x2D, 0x0A, 0x0B, 0x0C};

    explicit HostileIoSystem(Script script = Script(), sim::SimHartIpOptions options = {})
        : script_(std::move(script)),
          device_responder_(sim::DeviceResponder(device)),
          server([this](std::span<const std::uint8_t> r) { return Respond(r); }, Local(options)) {
        started = server.Start();
    }

    std::string Url(HartIpProtocol p, int card = kCard, int channel = kChannel) const {
        return server.Endpoint(p).Url() + "/" + std::to_string(card) + "/" +
               std::to_string(channel);
    }
    // Read under the server's lock.
    template <class F>
    decltype(auto) Locked(F&& f) {
        return server.Locked(std::forward<F>(f));
    }

    sim::SimDevice device;
    // Every command 77 request's data, in order; the identity reads; the conflicts.
    std::vector<Bytes> requests;
    int identityReads = 0;
    int conflicts = 0;

private:
    struct Pending {
        Bytes data;
        std::vector<std::uint8_t> left;
    };

    static sim::SimHartIpOptions Local(sim::SimHartIpOptions o) {
        o.port = 0;
        return o;
    }

    static Bytes Answer(const HartFrame& request, std::uint8_t code, Bytes payload) {
        Bytes data{code, 0x00};
        data.insert(data.end(), payload.begin(), payload.end());
        return HartFrame::Make(FrameKind::Answer, request.Address(), request.Command(), data)
            ->Bytes();
    }

    std::optional<Bytes> Respond(std::span<const std::uint8_t> bytes) {
        const ParsedFrame parsed = HartFrame::Parse(bytes);
        if (!parsed.Sound() || parsed.frame.Kind() != FrameKind::Request) return std::nullopt;
        const HartFrame& f = parsed.frame;
        const auto address = f.Address();
        if (!f.Long()) {
            if (f.Command() != 0 || (address[0] & 0x3F) != 0) return std::nullopt;
            ++identityReads;
            return Answer(f, 0, {0xFE, 0xE1, 0x2D, 0x05, 0x07, 0x01, 0x01, 0x08, 0x00, 0x0A, 0x0B,
                                 0x0C, 0x05, 0x03, 0x00, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        }
        // Anything not to its own address is for somebody else: silence.
        if ((address[0] & 0x3F) != kAddress[0] ||
            !std::equal(address.begin() + 1, address.end(), kAddress.begin() + 1)) {
            return std::nullopt;
        }
        if (f.Command() != kCmdSendToSubDevice) return Answer(f, 64, {});
        const auto data = f.Data();
        if (data.size() < 4) return Answer(f, 5, {});
        const std::uint8_t card = data[0];
        const std::uint8_t channel = data[1];
        if (card >= kCards) return Answer(f, kRcInvalidIoCard, {});
        if (channel >= kChannels) return Answer(f, kRcInvalidChannel, {});
        requests.emplace_back(data.begin(), data.end());

        std::optional<Pending>& pending = pending_[card * kChannels + channel];
        if (!pending) {
            pending = Pending{Bytes(data.begin(), data.end()), script_.codes};
        } else if (!std::equal(data.begin(), data.end(), pending->data.begin(),
                               pending->data.end())) {
            ++conflicts;
            return Answer(f, 36, {card, channel});
        }
        if (!pending->left.empty()) {
            const std::uint8_t code = pending->left.front();
            pending->left.erase(pending->left.begin());
            return Answer(f, code, {card, channel});
        }
        if (script_.forever) return Answer(f, 34, {card, channel});
        pending.reset();
        if (card != kCard || channel != kChannel) return Answer(f, 35, {card, channel});
        const std::optional<Embedded> inner = ParseSubDeviceRequest(data);
        if (!inner) return Answer(f, 5, {});
        const std::optional<Bytes> reply = device_responder_(inner->frame.Bytes());
        if (!reply || reply->empty()) return Answer(f, 35, {card, channel});
        Bytes payload{static_cast<std::uint8_t>(script_.wrongPlace ? card + 1 : card), channel};
        payload.insert(payload.end(), reply->begin(), reply->end() - 1);  // no check byte
        return Answer(f, 0, payload);
    }

    Script script_;
    sim::GatewayResponder device_responder_;
    std::map<int, std::optional<Pending>> pending_;

public:
    sim::SimHartIpServer server;
    bool started = false;
};

}  // namespace qt40::testing
