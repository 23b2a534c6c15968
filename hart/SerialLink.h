#pragma once
// One HART exchange on the serial line: a frame sent onto a quiet line, the
// answer received byte by byte with its time-outs, and the repeats of a failed
// exchange. Runs on the worker thread, except OpenPort.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "Clock.h"
#include "CommResult.h"
#include "HartLink.h"
#include "LineSetting.h"
#include "LinkObserver.h"
#include "LinkTiming.h"
#include "SerialPort.h"
#include "TraceSink.h"

namespace qt40 {

// Why the last exchange failed, so that the user can be told in words.
enum class LinkFailure {
    None,
    PortGone,      // the port vanished (a USB modem unplugged)
    CarrierStuck,  // the modem's carrier detect never dropped
    WriteFailed,   // the driver refused the request or did not finish it
    NoAnswer,      // nothing, or nothing whole, came back
};

class SerialLink {
public:
    SerialLink(SerialPort& port, Clock& clock, TraceSink& trace, LinkTiming timing = {});

    // `definition` is a port name followed by ": baud=9600 parity=N data=8 stop=1"
    // (PortDefinition); the name is taken whole, colons included, and the
    // line is set as the settings say. 202 when it names no port, 201 when
    // the port cannot be opened.
    CommResult OpenPort(const std::string& definition);
    // Opens the port of the last OpenPort again (the modem was plugged in
    // again). Only while no exchange runs: the worker waits for an answer.
    CommResult ReopenPort();
    void ClosePort();
    bool IsOpen() const { return port_.IsOpen(); }
    // Name of the port last opened (or tried), for messages.
    const std::string& PortName() const { return portName_; }
    // Why the last OpenPort failed, in the system's words.
    std::string LastError() const { return port_.LastError(); }
    // The kind of failure of the last OpenPort (Other where the port cannot
    // tell the kinds apart; None after a success).
    const OpenError& LastOpenError() const { return openError_; }
    // The line setting of the open port.
    const LineSetting& Line() const { return line_; }

    // 200, or 209 when the line never went quiet, the write failed or the
    // port is gone.
    CommResult SendFrame(std::span<const std::uint8_t> frame);
    // 200 with the answer in Received(), or 209; also 209 for a whole answer
    // to another command than the one SendFrame sent last.
    CommResult ReceiveFrame();
    // Up to `tries` send/receive attempts of the same request frame (one while
    // searching). Does not decode.
    CommResult Transact(std::span<const std::uint8_t> frame);

    // The last answer from its delimiter through its checksum.
    std::span<const std::uint8_t> Received() const { return {receiveBuffer_.data(), received_}; }

    void PurgePort();
    void ClearError();
    void SetSearching(bool on) { searching_ = on; }
    bool Searching() const { return searching_; }
    // Makes a waiting exchange give up soon (the worker is stopping).
    void Abort(bool on) { abort_ = on; }
    // A port that vanished under the exchange stays failed until reopened.
    bool PortGone() const { return portGone_; }
    // Why the last exchange (its last try) failed; None after a success.
    LinkFailure LastFailure() const { return failure_; }

    const LinkTiming& Timing() const { return timing_; }

    // Told of every frame sent and every receive's end; null for none. Set
    // while no exchange runs.
    void SetObserver(LinkObserver* observer) { observer_ = observer; }

private:
    void TraceReceived(int preambles, CommResult result);
    // True (and the port marked gone) when the port said it vanished.
    bool CheckGone();

    SerialPort& port_;
    OpenError openError_;
    Clock& clock_;
    TraceSink& trace_;
    LinkTiming timing_;
    std::string portName_;
    std::string definition_;
    LineSetting line_;
    std::int64_t lastTrafficTime_ = 0;
    std::array<std::uint8_t, kMaxFrameSize> receiveBuffer_{};
    std::size_t received_ = 0;
    std::optional<std::uint8_t> expected_;  // command of the request last sent
    std::atomic<bool> searching_{false};
    std::atomic<bool> abort_{false};
    // Also written by PurgePort, which the window side calls.
    std::atomic<bool> portGone_{false};
    std::atomic<LinkFailure> failure_{LinkFailure::None};
    std::atomic<LinkObserver*> observer_{nullptr};
    int attempt_ = 1;  // try of the exchange Transact runs
};

}  // namespace qt40
