#pragma once
// A simulated transmitter behind a pseudo-terminal, and the raw exchanges the
// port tests make with it.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "hart/FrameCodec.h"
#include "hart/HartLink.h"
#include "transport/PosixSerialPort.h"
#include "sim/SimPtyServer.h"

namespace qt40::testing {

inline std::unique_ptr<sim::SimPtyServer> StartSimulator(std::uint8_t address = 0,
                                                         sim::SimPtyOptions options = {}) {
    auto server =
        std::make_unique<sim::SimPtyServer>(sim::SimDevice(sim::SimModel::QT40, address), options);
    EXPECT_TRUE(server->Start()) << server->LastError();
    return server;
}

// Command 0 as a short frame to `address`.
inline std::vector<std::uint8_t> IdentifyRequest(int address) {
    HartLink link;
    link.pollingAddress = address;
    link.command = 0;
    link.byteCount = 0;
    std::vector<std::uint8_t> frame(kMaxFrameSize + 8);
    frame.resize(BuildRequestFrame(link, frame));
    return frame;
}

struct RawAnswer {
    std::vector<std::uint8_t> bytes;  // every byte read, preambles included
    int errorBytes = 0;
    bool gone = false;
};

// Reads until `silentSlices` read slices in a row bring nothing.
inline RawAnswer ReadAnswer(SerialPort& port, int silentSlices = 3) {
    RawAnswer answer;
    int silent = 0;
    while (silent < silentSlices) {
        std::uint8_t b = 0;
        switch (port.ReadByte(b)) {
            case ReadOutcome::Byte:
                answer.bytes.push_back(b);
                silent = 0;
                break;
            case ReadOutcome::ErrorByte:
                ++answer.errorBytes;
                silent = 0;
                break;
            case ReadOutcome::Nothing:
                ++silent;
                break;
            case ReadOutcome::Gone:
                answer.gone = true;
                return answer;
        }
    }
    return answer;
}

}  // namespace qt40::testing
