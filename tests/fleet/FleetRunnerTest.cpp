// The fleet runner against simulated loops on pseudo-terminals.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/FleetRunner.h"
#include "sim/SimMultidrop.h"
#include "sim/SimPtyServer.h"

namespace qt40::fleet {
namespace {

LinkTiming TestTiming() {
    LinkTiming t = LinkTiming::Fast();
    t.answerTimeoutMs = 300;
    t.interByteTimeoutMs = 200;
    t.searchAnswerTimeoutMs = 200;
    return t;
}

// One simulated loop behind a pseudo-terminal.
struct Loop {
    Loop(int devices, std::uint32_t firstId, std::vector<sim::SimModel> models = {})
        : devices(sim::SimMultidrop::Plant(devices, firstId, models)),
          server(this->devices.Responder()) {
        EXPECT_TRUE(server.Start()) << server.LastError();
    }
    sim::SimMultidrop devices;
    sim::SimPtyServer server;
    std::string Path() const { return server.SlavePath(); }
};

struct Recorded {
    std::mutex mutex;
    std::vector<FleetDevice> devices;
    std::vector<FleetEndpoint> endpoints;
    FleetProgress last;
};

FleetProgress RunFleet(const std::vector<FleetTarget>& targets, Recorded& r, int jobs = 16,
                       std::function<bool()> interrupted = {}) {
    FleetRunner::Options o;
    o.jobs = jobs;
    o.timing = TestTiming();
    o.reconnectWaitMs = 0;
    o.interrupted = std::move(interrupted);
    FleetRunner runner(o);
    runner.OnDevice([&](const FleetDevice& d) {
        std::lock_guard lock(r.mutex);  // must never be contended: the runner serialises
        r.devices.push_back(d);
    });
    runner.OnEndpoint([&](const FleetEndpoint& e) { r.endpoints.push_back(e); });
    runner.OnProgress([&](const FleetProgress& p) { r.last = p; });
    return runner.Run(targets);
}

std::vector<int> Range(int from, int to) {
    std::vector<int> v;
    for (int a = from; a <= to; ++a) v.push_back(a);
    return v;
}

TEST(FleetRunner, LoopsSideBySideWithAForeignDeviceASilentAddressAndADeadPort) {
    // Given a multidrop loop with a device of another model at address 3, a
    // single transmitter at address 0 and a port that does not exist,
    Loop multidrop(3, 1000, {sim::SimModel::QT40, sim::SimModel::QT40, sim::SimModel::QT30});
    Loop single(1, 2000);
    single.devices.WithDevice(0, [](sim::SimDevice& d) { d.State().pollingAddress = 0; });
    const std::vector<FleetTarget> targets = {
        {multidrop.Path(), Range(1, 4), 1},  // 4 is silent
        {"/dev/nonexistent-qt40-port", {0}, 2},
        {single.Path(), {0}, 3},
    };
    // when the fleet runs,
    Recorded r;
    const FleetProgress done = RunFleet(targets, r);

    // every device that answered is reported once, the dead port with its error.
    std::map<std::string, FleetDevice> byId;
    for (const FleetDevice& d : r.devices) byId[d.record.deviceIdText] = d;
    ASSERT_EQ(r.devices.size(), 4u);
    EXPECT_EQ(byId["1000"].kind, FleetDevice::Kind::Qt40);
    EXPECT_EQ(byId["1000"].address, 1);
    EXPECT_EQ(byId["1000"].record.tag, "TT-101  ");  // the upload, not only command 0
    EXPECT_EQ(byId["1001"].kind, FleetDevice::Kind::Qt40);
    EXPECT_EQ(byId["1001"].target, 0u);
    EXPECT_EQ(byId["1002"].kind, FleetDevice::Kind::OtherModel);
    EXPECT_EQ(byId["1002"].record.deviceTypeName, "QT30");
    EXPECT_TRUE(byId["1002"].record.tag.empty());  // skipped: never uploaded
    EXPECT_EQ(byId["2000"].kind, FleetDevice::Kind::Qt40);
    EXPECT_EQ(byId["2000"].endpoint, single.Path());

    ASSERT_EQ(r.endpoints.size(), 3u);
    for (const FleetEndpoint& e : r.endpoints) {
        if (e.target == 1) {
            EXPECT_NE(e.error.find("/dev/nonexistent-qt40-port"), std::string::npos) << e.error;
        } else {
            EXPECT_EQ(e.error, "") << e.endpoint;
        }
    }
    EXPECT_EQ(done.endpointsDone, 3);
    EXPECT_EQ(done.devices, 4);
    EXPECT_EQ(done.failed, 1);
    EXPECT_EQ(r.last.endpointsDone, 3);
}

TEST(FleetRunner, OneJobServesTheEndpointsOneAfterAnother) {
    Loop a(2, 100), b(2, 200), c(1, 300);
    const std::vector<FleetTarget> targets = {
        {a.Path(), {1, 2}, 1}, {b.Path(), {1, 2}, 2}, {c.Path(), {1}, 3}};
    Recorded r;
    RunFleet(targets, r, 1);
    std::vector<std::string> order;
    for (const FleetDevice& d : r.devices) order.push_back(d.record.deviceIdText);
    EXPECT_EQ(order, (std::vector<std::string>{"100", "101", "200", "201", "300"}));
}

TEST(FleetRunner, ALoopWhereNobodyAnswersIsReportedNotPassedOver) {
    Loop empty(1, 500);  // its device sits at address 1
    const std::vector<FleetTarget> targets = {{empty.Path(), {2, 3}, 1}};
    Recorded r;
    const FleetProgress done = RunFleet(targets, r);
    EXPECT_TRUE(r.devices.empty());
    ASSERT_EQ(r.endpoints.size(), 1u);
    EXPECT_EQ(r.endpoints[0].error, "no device answered at addresses 2-3 on " + empty.Path());
    EXPECT_EQ(done.failed, 1);
}

TEST(FleetRunner, AnInterruptionLeavesTheRemainingEndpointsAlone) {
    Loop a(1, 100), b(1, 200);
    std::atomic<bool> stop{false};
    const std::vector<FleetTarget> targets = {{a.Path(), {1}, 1}, {b.Path(), {1}, 2}};
    FleetRunner::Options o;
    o.jobs = 1;
    o.timing = TestTiming();
    o.reconnectWaitMs = 0;
    o.interrupted = [&] { return stop.load(); };
    FleetRunner runner(o);
    int devices = 0;
    runner.OnDevice([&](const FleetDevice&) {
        ++devices;
        stop = true;  // Ctrl+C after the first device
    });
    std::vector<FleetEndpoint> endpoints;
    runner.OnEndpoint([&](const FleetEndpoint& e) { endpoints.push_back(e); });
    const FleetProgress done = runner.Run(targets);
    EXPECT_EQ(devices, 1);
    EXPECT_EQ(done.endpointsDone, 1);
    EXPECT_EQ(b.server.RequestCount(), 0u);
    // The endpoint left alone is named, not forgotten.
    ASSERT_EQ(endpoints.size(), 2u);
    EXPECT_EQ(endpoints[0].error, "");
    EXPECT_EQ(endpoints[1].endpoint, b.Path());
    EXPECT_EQ(endpoints[1].error, "not reached: interrupted");
    EXPECT_EQ(done.failed, 1);
}

}  // namespace
}  // namespace qt40::fleet
