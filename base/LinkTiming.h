#pragma once
// Every time constant of the serial link and the worker, in one place. The
// program uses the defaults; tests shorten them.

#include <algorithm>

namespace qt40 {

struct LinkTiming {
    int quietLineMs = 80;           // since the last traffic, before a send
    int carrierTimeoutMs = 3000;    // for the modem's carrier detect to drop
    int answerTimeoutMs = 500;      // start of an answer, and between its first two bytes
    int searchAnswerTimeoutMs = 200;
    int interByteTimeoutMs = 200;
    int readSliceMs = 100;          // a one-byte read returns within this
    int openSettleMs = 200;         // after raising DTR
    int tries = 4;
    int searchTries = 1;
    int bitsPerByte = 11;           // on the loop: start, 8 data, parity, stop
    int loopBitsPerSecond = 1200;
    int idlePollMs = 200;           // the worker polls after this much idleness
    int resetRestMs = 3000;         // after a device reset
    int selfTestRestMs = 5000;      // after a self test
    // A device (or a gateway for it) that answers busy or "delayed response"
    // is asked the same again after this pause, until it answers for real or
    // BusyLimitMs has passed.
    int busyPauseMs = 100;
    int busyMinimumMs = 5000;

    // What sending n bytes costs on the loop, in whole milliseconds.
    int TransmitMs(int n) const { return n * bitsPerByte * 1000 / loopBitsPerSecond; }

    // How long busy and delayed answers are waited out: as long as the tries
    // of a silent exchange would take, and not less than busyMinimumMs.
    int BusyLimitMs(int answerTimeoutMs) const {
        const long long limit = static_cast<long long>(tries) * answerTimeoutMs;
        return static_cast<int>(std::clamp<long long>(limit, busyMinimumMs, 24LL * 3600 * 1000));
    }

    // Short timings for tests that do not measure time itself.
    static LinkTiming Fast() {
        LinkTiming t;
        t.quietLineMs = 0;
        t.carrierTimeoutMs = 100;
        t.answerTimeoutMs = 60;
        t.searchAnswerTimeoutMs = 30;
        t.interByteTimeoutMs = 40;
        t.readSliceMs = 10;
        t.openSettleMs = 0;
        t.loopBitsPerSecond = 1200000;
        t.idlePollMs = 20;
        t.resetRestMs = 10;
        t.selfTestRestMs = 10;
        t.busyPauseMs = 5;
        t.busyMinimumMs = 400;
        return t;
    }
};

}  // namespace qt40
