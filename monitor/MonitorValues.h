#pragma once
// The four live values the monitor shows, copied by the main window from a
// snapshot of the device record after each poll.

namespace qt40 {

struct MonitorValues {
    double pv = 0.0;           // pvValue
    double percent = 0.0;      // percentOfRange
    double terminal = 0.0;     // svValue, the terminal temperature
    double loopCurrent = 0.0;  // loopCurrent
    // False while no device is connected: the values are old, and the bars
    // show none rather than a number that looks current.
    bool live = true;
};

}  // namespace qt40
