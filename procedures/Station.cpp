#include "procedures/Station.h"

#include "transport/SerialTransport.h"
#include "transport/TransportForName.h"

namespace qt40 {

Station::Station(const Parts& parts)
    : clock_(parts.clock),
      serialPort_(parts.serialPort),
      trace_(parts.trace),
      timing_(parts.timing),
      transport_(std::make_unique<SerialTransport>(serialPort_, clock_, trace_, timing_)),
      serial_(static_cast<SerialTransport*>(transport_.get())),
      link_(*this, clock_, trace_, timing_),
      worker_(session_, link_, parts.sink),
      controller_(worker_, parts.prompts, parts.view, clock_) {
    link_.SetObserver(parts.recorder);
}

Station::~Station() {
    // The worker thread uses the link and the records: it ends first.
    worker_.StopWorker();
}

FrameTransport& Station::TransportFor(const std::string& name) {
    const bool network = IsNetworkPortName(name);
    const bool subDevice = IsSubDevicePortName(name);
    const bool serialNow = transport_->Kind() == TransportKind::Serial;
    // A transport of the right kind is kept, unless the HART-IP options changed.
    if (network != serialNow && (!network || (madeWith_ == hartIp_ && subDevice == subDevice_))) {
        return *transport_;
    }
    transport_->Close();
    transport_ =
        TransportForName(name, TransportParts{serialPort_, clock_, trace_, timing_, hartIp_});
    serial_ = network ? nullptr : static_cast<SerialTransport*>(transport_.get());
    madeWith_ = hartIp_;
    subDevice_ = subDevice;
    return *transport_;
}

const OpenError& Station::LastOpenError() const {
    static const OpenError kNone;
    return serial_ ? serial_->LastOpenError() : kNone;
}

}  // namespace qt40
