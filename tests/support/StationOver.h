#pragma once
// A station over a test's own clock, port and trace, for the tests of the link
// alone (its worker and connection logic stay idle unless a test drives them):
// the transport is chosen from the port name as in the program.

#include "base/Clock.h"
#include "base/TraceSink.h"
#include "link/NotificationQueue.h"
#include "procedures/Station.h"
#include "tests/support/DeclinedPrompts.h"
#include "tests/support/RecordingView.h"
#include "transport/SerialPort.h"

namespace qt40::test {

class StationOver {
public:
    StationOver(SerialPort& port, Clock& clock, TraceSink& trace, LinkTiming timing = {})
        : station{{clock, port, trace, queue, prompts, view, timing}} {}

    NotificationQueue queue;
    DeclinedPrompts prompts;
    RecordingView view;
    Station station;
};

}  // namespace qt40::test
