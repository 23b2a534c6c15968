#pragma once
// A HART modem on a serial port as a transport: a frame sent onto a quiet line
// (the modem's carrier dropped, the input purged), with RTS raised for it and
// the time it takes on the loop, and the answer received byte by byte with its
// time-outs. Send and Receive run on the worker thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "base/Clock.h"
#include "base/LinkTiming.h"
#include "base/TraceSink.h"
#include "transport/FrameTransport.h"
#include "transport/LineSetting.h"
#include "transport/SerialPort.h"

namespace qt40 {

class SerialTransport final : public FrameTransport {
public:
    SerialTransport(SerialPort& port, Clock& clock, TraceSink& trace, LinkTiming timing = {});

    // `name` is a device path, a name under /dev or COM3 (taken whole, colons
    // included), opened with the line of SetLine. 201 when the port cannot be
    // opened: LastOpenError says what kind of failure, FailureMessage what to do.
    CommResult Open(const std::string& name) override;
    void SetLine(const LineSetting& line) override { line_ = line; }
    void Close() override;
    bool IsOpen() const override { return port_.IsOpen(); }
    const std::string& Name() const override { return name_; }
    // Preambles, RTS, a quiet line and the loop's pace; the link's answer time-outs.
    TransportTiming Timing() const override;
    TransportKind Kind() const override { return TransportKind::Serial; }

    // Waits for the quiet line and for the carrier to drop (not sent: LineBusy
    // after the carrier time-out), purges the input, writes the frame and waits
    // out its time on the loop. `written` is told when the write has been taken.
    SendResult Send(std::span<const std::uint8_t> request, const Written& written = {}) override;
    // The receive state machine: line noise and preambles skipped, the frame
    // from its delimiter; `timeoutMs` for the answer to begin and between its
    // first two bytes, the inter-byte time-out after that.
    ReceiveResult Receive(std::span<std::uint8_t> answer, int timeoutMs) override;
    void Purge() override;
    void ClearError() override;

    // A port that vanished stays gone until opened again.
    bool Gone() const override { return gone_; }
    void Abort(bool on) override { abort_ = on; }
    // After a failed Open: what to do about a missing port, one the user may
    // not open or one another program holds; none for other failures.
    std::optional<TransportMessage> FailureMessage() const override;
    std::string LastError() const override { return port_.LastError(); }

    // The kind of failure of the last Open (Other where the port cannot tell
    // the kinds apart; None after a success).
    const OpenError& LastOpenError() const { return openError_; }
    const LineSetting& Line() const { return line_; }

private:
    // True (and the port marked gone) when the port said it vanished.
    bool CheckGone();

    SerialPort& port_;
    Clock& clock_;
    TraceSink& trace_;
    const LinkTiming timing_;
    std::string name_;
    LineSetting line_;
    OpenError openError_;
    std::int64_t lastTrafficTime_ = 0;
    std::atomic<bool> abort_{false};
    // Also written by Purge, which the window side calls.
    std::atomic<bool> gone_{false};
};

}  // namespace qt40
