// The link's receiver fed arbitrary byte streams through the in-memory port,
// at a pace and with line habits chosen by the first input byte, on virtual
// time. An answer it accepts is a whole slave frame with a checksum that
// holds and fits its buffer; the frame decoder then takes it. The device's
// own receiver (the simulator's frame cutter) gets the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "hart/FrameCodec.h"
#include "link/DataLink.h"
#include "hart/HartFrame.h"
#include "link/TransportSource.h"
#include "sim/SimDevice.h"
#include "sim/SimLoopbackPort.h"
#include "transport/SerialTransport.h"

namespace {

using namespace qt40;

// Keeps the trace lines honest without printing them.
class CountingTrace final : public TraceSink {
public:
    void Trace(std::string_view line) override {
        if (line.empty() || line.back() != '\n') std::abort();
        bytes += line.size();
    }
    std::size_t bytes = 0;
};

// The link alone: the serial transport is all a COM name is given, without
// the worker and the connection logic around it.
class SerialOnly final : public TransportSource {
public:
    explicit SerialOnly(SerialTransport& serial) : serial_(serial) {}
    FrameTransport& CurrentTransport() override { return serial_; }
    FrameTransport& TransportFor(const std::string&) override { return serial_; }
    const OpenError& LastOpenError() const override { return serial_.LastOpenError(); }

private:
    SerialTransport& serial_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t habits = data[0];
    const std::vector<std::uint8_t> stream(data + 1, data + size);

    VirtualClock clock;
    sim::SimDevice device;
    sim::SimLoopbackPort port(device, clock);
    static constexpr double kPace[] = {0.0, 1.0, 11.0 * 1000.0 / 1200.0, 150.0};
    static constexpr int kTurnaround[] = {0, 50, 450, 700};
    port.Line().msPerByte = kPace[habits & 3];
    port.Line().echoRequests = habits & 4;
    port.Line().turnaroundMs = kTurnaround[(habits >> 4) & 3];
    port.Line().scriptedReply = stream;
    CountingTrace trace;
    SerialTransport serial(port, clock, trace, LinkTiming{});
    SerialOnly transports(serial);
    DataLink link(transports, clock, trace, LinkTiming{});
    link.SetSearching(habits & 8);
    if (link.OpenPort("COM1: baud=9600 parity=N data=8 stop=1") != kCommSuccess) std::abort();

    HartLink request;
    request.command = (habits & 0x40) ? 0 : 3;
    std::vector<std::uint8_t> frame(kMaxFrameSize + 16);
    frame.resize(BuildRequestFrame(request, frame));
    const CommResult result = link.Transact(frame);

    const auto received = link.Received();
    if (received.size() > kMaxFrameSize) std::abort();
    if (result == kCommSuccess) {
        const ParsedFrame parsed = HartFrame::Parse(received);
        if (!parsed.Sound() || parsed.trailing != 0 || parsed.preambles != 0 ||
            parsed.frame.Kind() != FrameKind::Answer) {
            std::abort();
        }
        HartLink answer;
        (void)DecodeResponseFrame(answer, received);
        if (answer.byteCount > kDataBufferSize) std::abort();
    } else if (result != kCommExchangeFailed) {
        std::abort();
    }

    // The device side cuts request frames out of whatever the line carries.
    sim::SimFrameAssembler assembler;
    for (std::uint8_t b : stream) {
        if (auto request = assembler.Feed(b)) {
            // Handed over with two preambles in front, as the line carried it.
            if (request->size() > kMaxFrameSize + 2) std::abort();
            (void)device.Handle(*request);
        }
    }
    return 0;
}
