#pragma once
// One connection's stack, built in one place: the transport chosen from the
// port name, the link over it with the recorder hook, the device state, the
// worker and the connection logic. The window, the command-line tool, the
// fleet, the benchmarks and the tests all build their side of the line here.
//
// Members are made in the order they depend on each other and torn down in
// reverse: the worker stops before the link goes, the link closes its
// transport before the transport goes.

#include <memory>
#include <string>

#include "base/Clock.h"
#include "base/LinkTiming.h"
#include "base/Prompts.h"
#include "base/TraceSink.h"
#include "hart/DeviceState.h"
#include "link/CommWorker.h"
#include "link/DataLink.h"
#include "link/LinkObserver.h"
#include "link/NotificationSink.h"
#include "link/TransportSource.h"
#include "procedures/ConnectionController.h"
#include "procedures/ConnectionView.h"
#include "transport/HartIpClient.h"
#include "transport/SerialPort.h"

namespace qt40 {

class SerialTransport;

class Station final : private TransportSource {
public:
    // What the stack is built on; each must outlive the station.
    struct Parts {
        Clock& clock;
        SerialPort& serialPort;  // a serial port name is opened on it
        TraceSink& trace;
        NotificationSink& sink;  // the worker's notifications
        Prompts& prompts;        // the connection logic's questions
        ConnectionView& view;    // what the connection logic shows
        LinkTiming timing = {};
        LinkObserver* recorder = nullptr;  // told of every exchange; null for none
    };

    explicit Station(const Parts& parts);
    ~Station() override;
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    DataLink& Link() { return link_; }
    const DataLink& Link() const { return link_; }
    CommWorker& Worker() { return worker_; }
    ConnectionController& Controller() { return controller_; }
    Clock& LinkClock() { return clock_; }
    // The device records directly: only while the worker is not running
    // (else through Worker().WithSession).
    DeviceState& Session() { return session_; }

    // For the transport of the next open of a network name (the answer
    // time-out is a setting).
    void SetHartIpOptions(const HartIpClientOptions& options) { hartIp_ = options; }
    const HartIpClientOptions& HartIpOptions() const { return hartIp_; }
    // Set while no exchange runs.
    void SetRecorder(LinkObserver* recorder) { link_.SetObserver(recorder); }

private:
    FrameTransport& CurrentTransport() override { return *transport_; }
    FrameTransport& TransportFor(const std::string& name) override;
    const OpenError& LastOpenError() const override;

    Clock& clock_;
    SerialPort& serialPort_;
    TraceSink& trace_;
    LinkTiming timing_;
    HartIpClientOptions hartIp_;
    HartIpClientOptions madeWith_;  // the options the HART-IP transport was made with
    bool subDevice_ = false;        // the transport reaches a device through an I/O system
    std::unique_ptr<FrameTransport> transport_;
    SerialTransport* serial_ = nullptr;  // the transport, when it is the serial one
    DataLink link_;
    DeviceState session_;
    CommWorker worker_;
    ConnectionController controller_;
};

}  // namespace qt40
