#pragma once
// A device procedure run over a port that vanishes at its k-th exchange (a
// USB modem pulled out), for every k the procedure has. Each run must end at
// once with a clear failure, use no processor time while it waits on the
// user's answer or after it ended, and a reconnect must then work.
//
// The line runs on virtual time, so the failure's latency is exact; the worker
// is a real thread, so the processor time it spends while failed is measured
// as process CPU time over a real wait.

#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "procedures/HeadlessPrompts.h"
#include "link/NotificationQueue.h"
#include "base/Prompts.h"
#include "sim/SimLoopbackPort.h"
#include "tests/support/DeclinedPrompts.h"
#include "tests/support/LinkRig.h"

namespace qt40::testing {

// Everything one run needs, fresh for every k.
struct PortLossRig : test::LinkRigOf<test::DeclinedPrompts> {
    // The real link timing; only the worker's idle wait is short, as it is real time.
    static LinkTiming Timing() {
        LinkTiming t;
        t.idlePollMs = 20;
        return t;
    }

    PortLossRig() : LinkRigOf(Timing()) {}

    std::vector<Notification> seen;
    // A procedure class of the case takes notifications before the connection logic.
    std::function<bool(const Notification&)> procedure;
    // Called for each failure notification before it is handed on (the rig
    // measures there, while the question is still open).
    std::function<void()> onFailure;

    // Hands notifications on until `done` holds or `timeoutMs` of real time pass.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            if (auto next = queue.WaitNext(5)) Handle(next->notification);
        }
        return true;
    }

    void Handle(const Notification& n) {
        seen.push_back(n);
        if (n.kind == NotificationKind::Failure && onFailure) onFailure();
        if (procedure && procedure(n)) return;
        controller.HandleNotification(n);
    }

    // What the worker posted before it ended is handed on, as the window's
    // event loop does before the user can click again.
    void Drain() {
        while (auto next = queue.WaitNext(20)) Handle(next->notification);
    }

    // The completion of `request` with `result`.
    bool Saw(WorkerRequest request, int result) const {
        for (const auto& n : seen) {
            if (n.Completes(request) && n.result == result) return true;
        }
        return false;
    }

    // Connected and polling, as a panel finds the program before a procedure.
    void ConnectAndPoll() {
        ASSERT_EQ(controller.ConnectDevice(), 200);
        ASSERT_TRUE(PumpUntil([&] { return view.established; }));
        ASSERT_TRUE(PumpUntil([&] { return !view.polls.empty(); }));
    }

    // Between two procedures of a panel the idle poll runs; a procedure
    // starts from a quiet line, so its exchanges are counted from here.
    void QuietPolling() {
        worker.SetPolling(false);
        for (auto written = port.Written().size();;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            const auto now = port.Written().size();
            if (now == written) break;
            written = now;
        }
        while (auto next = queue.WaitNext(0)) controller.HandleNotification(next->notification);
    }
};

struct PortLossCase {
    std::string name;
    // Brings the rig to where the procedure starts (connected, values staged).
    std::function<void(PortLossRig&)> prepare = [](PortLossRig&) {};
    // Starts the procedure.
    std::function<void(PortLossRig&)> start;
    // The procedure has ended, one way or the other.
    std::function<bool(PortLossRig&)> ended;
    // It ended as it should without a loss.
    std::function<bool(PortLossRig&)> succeeded;
    // Empty when the loss ended it with a clear failure, else what is wrong.
    std::function<std::string(PortLossRig&)> clearFailure;
};

inline bool Closed(PortLossRig& rig) {
    return !rig.controller.Connected() && !rig.worker.Running();
}

// What every procedure shows when the line is lost: the failure mark, the
// one "Err_Port_Vanished" question naming the port (no "Err_COM": the loop
// is not at fault), and a closed connection. Empty when so, else what is wrong.
inline std::string LostLine(PortLossRig& rig) {
    std::string wrong;
    const int asked = rig.prompts.Count("Err_Port_Vanished");
    if (asked != 1) {
        wrong += "Err_Port_Vanished asked " + std::to_string(asked) + " times; ";
    } else {
        for (const auto& a : rig.prompts.asked) {
            const auto* port = a.args.size() == 1 ? std::get_if<std::string>(&a.args[0]) : nullptr;
            if (a.key == "Err_Port_Vanished" && (!port || *port != rig.controller.PortName())) {
                wrong += "Err_Port_Vanished without the port name; ";
            }
        }
    }
    if (rig.prompts.Count("Err_COM") != 0) wrong += "Err_COM asked for a vanished port; ";
    if (rig.view.failures == 0) wrong += "no failure mark; ";
    if (Closed(rig) == false) wrong += "still connected; ";
    if (rig.link.IsOpen()) wrong += "port left open; ";
    return wrong;
}

inline double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Processor time the whole process spends over `wallMs` of real waiting.
inline double CpuOverWaitMs(int wallMs) {
    const double before = ProcessCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(wallMs));
    return ProcessCpuMs() - before;
}

// Runs `c` once without a loss to count its exchanges, then once for every
// exchange k with the port vanishing there (before the request leaves, and
// after it left). `exchanges` tells how many the procedure has.
inline void RunPortLoss(const PortLossCase& c, int& exchanges) {
    constexpr int kWaitMs = 150;
    constexpr double kIdleCpuMs = 15.0;  // a tenth of the wait: nothing spins
    exchanges = 0;
    {
        PortLossRig rig;
        c.prepare(rig);
        const auto before = rig.port.Written().size();
        c.start(rig);
        // The idle poll that follows is not the procedure's.
        EXPECT_TRUE(rig.PumpUntil([&] {
            if (!c.ended(rig)) return false;
            rig.worker.SetPolling(false);
            return true;
        })) << c.name << ": clean run hangs";
        EXPECT_TRUE(c.succeeded(rig)) << c.name << ": clean run failed";
        exchanges = static_cast<int>(rig.port.Written().size() - before);
        EXPECT_GT(exchanges, 0) << c.name;
    }
    for (int k = 0; k < exchanges; ++k) {
        for (const bool afterRequest : {false, true}) {
            const std::string where = c.name + ", port lost at exchange " + std::to_string(k) +
                                      (afterRequest ? " after the request" : " before the request");
            SCOPED_TRACE(where);
            PortLossRig rig;
            c.prepare(rig);
            if (::testing::Test::HasFatalFailure()) return;
            const int limitMs = rig.link.Timing().answerTimeoutMs + 1000;
            std::int64_t failedAtVirtual = -1;
            std::chrono::steady_clock::time_point failedAtReal{};
            double cpuWhileAsked = -1.0;
            rig.onFailure = [&] {
                if (failedAtVirtual >= 0) return;
                failedAtVirtual = rig.clock.NowMs();
                failedAtReal = std::chrono::steady_clock::now();
                // The worker waits on the answer to the failure now.
                cpuWhileAsked = CpuOverWaitMs(kWaitMs);
            };
            rig.port.Line().vanishAfterRequest = afterRequest;
            rig.port.Line().vanishAtWrite = static_cast<int>(rig.port.Written().size()) + k;
            const auto startReal = std::chrono::steady_clock::now();
            c.start(rig);
            ASSERT_TRUE(rig.PumpUntil([&] { return c.ended(rig); })) << where << ": never ends";
            const auto endReal = std::chrono::steady_clock::now();
            rig.Drain();

            ASSERT_GE(rig.port.VanishedAtMs(), 0) << "the procedure ended before exchange " << k;
            ASSERT_GE(failedAtVirtual, 0) << "no failure was reported";
            EXPECT_LE(failedAtVirtual - rig.port.VanishedAtMs(), limitMs);
            const auto realMs = [](auto d) {
                return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
            };
            EXPECT_LE(realMs(failedAtReal - startReal), limitMs);
            EXPECT_LE(realMs(endReal - failedAtReal) - kWaitMs, limitMs);
            EXPECT_LT(cpuWhileAsked, kIdleCpuMs) << "CPU ms while the failure waits on the user";
            EXPECT_LT(CpuOverWaitMs(kWaitMs), kIdleCpuMs) << "CPU ms after the failure";
            const std::string failure = c.clearFailure(rig);
            EXPECT_TRUE(failure.empty()) << failure;
            EXPECT_FALSE(c.succeeded(rig));

            // The modem is back: connecting and polling work again.
            rig.port.Replug();
            rig.onFailure = {};
            rig.view.established = false;
            rig.view.polls.clear();
            ASSERT_EQ(rig.controller.ConnectDevice(), 200);
            EXPECT_TRUE(rig.PumpUntil([&] {
                return rig.view.established && !rig.view.polls.empty() && rig.view.polls.back() == 200;
            })) << "no reconnect";
        }
    }
}

}  // namespace qt40::testing
