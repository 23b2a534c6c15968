#pragma once
// One HART exchange over a transport: the request frame sent, its answer
// taken only when it is a whole frame for the command sent, and the repeats of
// a failed exchange; the TX/RX trace and the traffic observer. The transport
// (a serial modem, a HART-IP gateway) moves the frames and has its own timing;
// the link's source gives the one for the port name. Runs on the worker thread,
// except OpenPort, ReopenPort and ClosePort, which run while no exchange runs.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "base/Clock.h"
#include "base/CommResult.h"
#include "hart/HartLink.h"
#include "link/LinkObserver.h"
#include "base/LinkTiming.h"
#include "base/TraceSink.h"
#include "link/TransportSource.h"
#include "transport/FrameTransport.h"
#include "transport/HartIpClient.h"
#include "transport/LineSetting.h"

namespace qt40 {

// Why the last exchange failed, so that the user can be told in words.
enum class LinkFailure {
    None,
    PortGone,      // the port vanished (a USB modem unplugged), the connection is lost
    CarrierStuck,  // the modem's carrier detect never dropped
    WriteFailed,   // the driver refused the request or did not finish it
    NoAnswer,      // nothing, or nothing whole, came back (or "delayed response dead")
    StillBusy,     // busy or "delayed response" answers until the link's bound ran out
};

class DataLink {
public:
    // Each OpenPort asks `transports` for the transport of the port name.
    DataLink(TransportSource& transports, Clock& clock, TraceSink& trace, LinkTiming timing = {});
    ~DataLink();
    DataLink(const DataLink&) = delete;
    DataLink& operator=(const DataLink&) = delete;

    // `definition` is a port name followed by ": baud=9600 parity=N data=8 stop=1"
    // (PortDefinition); the name is taken whole, colons included, and the
    // line is set as the settings say. 202 when it names no port, 201 when
    // the port or the connection cannot be opened.
    CommResult OpenPort(const std::string& definition);
    // Opens the port of the last OpenPort again (the modem was plugged in
    // again, the gateway is back). Only while no exchange runs: the worker
    // waits for an answer.
    CommResult ReopenPort();
    // Ends the connection in order and closes the port.
    void ClosePort();
    bool IsOpen() const { return transport_->IsOpen(); }
    // Name of the port last opened (or tried), for messages.
    const std::string& PortName() const { return portName_; }
    // Why the last OpenPort or exchange failed, in the system's words.
    std::string LastError() const { return linkError_.empty() ? transport_->LastError() : linkError_; }
    // The kind of failure of the last OpenPort of a serial port (Other where
    // the port cannot tell the kinds apart; None after a success or over the
    // network).
    const OpenError& LastOpenError() const { return transports_.LastOpenError(); }
    // What to tell the user about the last failure, where the transport knows
    // better than a general message: a serial port that would not open, any
    // failure of a network connection.
    // The link's own words come first (a device that stayed busy, a delayed
    // response the carrier gave up on).
    std::optional<TransportMessage> FailureMessage() const;
    // What the link itself found wrong with the last exchange, over any
    // transport; none when the transport's own failure says it.
    const std::optional<TransportMessage>& LinkMessage() const { return linkMessage_; }
    // The line setting of the open port.
    const LineSetting& Line() const { return line_; }

    // 200, or 209 when the line never went quiet, the write failed or the
    // port is gone.
    CommResult SendFrame(std::span<const std::uint8_t> frame);
    // 200 with the answer in Received(), or 209; also 209 for a whole answer
    // to another command than the one SendFrame sent last.
    CommResult ReceiveFrame();
    // Up to `tries` send/receive attempts of the same request frame (one while
    // searching). Does not decode. An answer of busy or "delayed response"
    // (response codes 32, 33, 34, 36) is no answer yet: the same frame goes
    // again after busyPauseMs, for up to BusyLimitMs, without using a try;
    // 209 with StillBusy when the limit runs out. "Delayed response dead"
    // (35) is a try that got no answer.
    CommResult Transact(std::span<const std::uint8_t> frame);
    // The longest a Transact may take before it ends, over a transport with
    // these timings: every try silent, then the busy limit, with a session to
    // start each time over the network. For watchdogs.
    static int WorstTransactMs(const LinkTiming& timing, const TransportTiming& transport,
                               bool network, const HartIpClientOptions& hartIp);

    // The last answer from its delimiter through its checksum.
    std::span<const std::uint8_t> Received() const { return {receiveBuffer_.data(), received_}; }

    void PurgePort();
    void ClearError();
    // The next exchange starts afresh (a new HART-IP session on a new
    // connection): the user asked to try again. Any thread.
    void RenewSession() { transport_->Renew(); }
    void SetSearching(bool on) { searching_ = on; }
    bool Searching() const { return searching_; }
    // Makes a waiting exchange give up soon (the worker is stopping).
    void Abort(bool on);
    // A port that vanished, or a connection lost, stays failed until reopened.
    bool PortGone() const { return portGone_; }
    // Why the last exchange (its last try) failed; None after a success.
    LinkFailure LastFailure() const { return failure_; }

    const LinkTiming& Timing() const { return timing_; }
    // What the transport of the last OpenPort asks for (its answer time-outs).
    TransportTiming TransportTimes() const { return transport_->Timing(); }
    TransportKind Kind() const { return transport_->Kind(); }

    // Told of every frame sent and every receive's end; null for none. Set
    // while no exchange runs.
    void SetObserver(LinkObserver* observer) {
        observer_ = observer;
        transport_->SetSessionObserver(observer);
    }

private:
    void TraceReceived(int preambles, CommResult result);
    // The response code of the answer in Received(); none for a frame too
    // short to carry one.
    std::optional<std::uint8_t> ReceivedCode() const;
    // Waits in slices, so that Abort cuts it short.
    void Pause(int ms);
    void JudgedByLink(std::string key, MessageArgs args, std::string english);
    // Notes a transport that says the port or the connection is gone.
    bool CheckGone();

    TransportSource& transports_;
    Clock& clock_;
    TraceSink& trace_;
    LinkTiming timing_;
    FrameTransport* transport_ = nullptr;
    std::string portName_;
    std::string definition_;
    LineSetting line_;
    std::array<std::uint8_t, kMaxFrameSize> receiveBuffer_{};
    std::size_t received_ = 0;
    std::optional<std::uint8_t> expected_;  // command of the request last sent
    std::atomic<bool> searching_{false};
    std::atomic<bool> abort_{false};
    // Also written by PurgePort, which the window side calls.
    std::atomic<bool> portGone_{false};
    std::atomic<LinkFailure> failure_{LinkFailure::None};
    std::atomic<LinkObserver*> observer_{nullptr};
    int attempt_ = 1;  // send of the request Transact runs, repeats included
    std::optional<TransportMessage> linkMessage_;
    std::string linkError_;
};

}  // namespace qt40
