#pragma once
// Where the link gets the transport for a port name. The link drives what it
// is given; whoever builds the stack decides which transport serves a name.

#include <string>

#include "transport/FrameTransport.h"
#include "transport/SerialPort.h"

namespace qt40 {

class TransportSource {
public:
    virtual ~TransportSource() = default;
    // The transport in use (the serial one before any name was opened).
    virtual FrameTransport& CurrentTransport() = 0;
    // The transport for `name`, unopened or as it is: the one in use when it
    // serves such names, else a new one (the one it replaces is closed first).
    // Only while no exchange runs.
    virtual FrameTransport& TransportFor(const std::string& name) = 0;
    // The kind of failure of the last open of a serial port; none (Other with
    // no device) over the network.
    virtual const OpenError& LastOpenError() const = 0;
};

}  // namespace qt40
