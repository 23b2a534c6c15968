#include "ports/CCOMPortManager.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef __linux__
#include <glob.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace qt40 {
namespace {

struct QtApp {
    int argc = 1;
    char name[16] = "ports_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

// A port listing the test can hold inside a run and count.
class FakeListing {
public:
    std::vector<PortEntry> operator()() {
        std::unique_lock lock(mutex_);
        ++runs_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        return {{"COM" + std::to_string(runs_), "COM" + std::to_string(runs_), "port"}};
    }
    void Hold() {
        std::lock_guard lock(mutex_);
        held_ = true;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    void WaitForRuns(int n) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return runs_ >= n; });
    }
    int Runs() {
        std::lock_guard lock(mutex_);
        return runs_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    int runs_ = 0;
};

// Stands in for the connection panel.
class PortListView : public CObserver {
public:
    void Update(CObservable* subject) override {
        auto* manager = dynamic_cast<CCOMPortManager*>(subject);
        if (manager == nullptr) return;
        ports = manager->GetPorts();
        ++refills;
        onUiThread = onUiThread && std::this_thread::get_id() == uiThread;
    }
    std::vector<PortEntry> ports;
    int refills = 0;
    bool onUiThread = true;
    std::thread::id uiThread = std::this_thread::get_id();
};

constexpr int kPatience = 20000;  // only bounds a hang; nothing is timed

class PortManagerTest : public ::testing::Test {
protected:
    QtApp qt_;
    FakeListing listing_;
    CCOMPortManager manager_{[this] { return listing_(); }, false};
    PortListView view_;
    void SetUp() override { manager_.Attach(&view_); }
};

TEST_F(PortManagerTest, RefreshHandsTheListToTheUiThread) {
    manager_.Refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view_.refills == 1; }, kPatience));
    EXPECT_TRUE(view_.onUiThread);
    ASSERT_EQ(view_.ports.size(), 1u);
    EXPECT_EQ(view_.ports[0].portName, "COM1");
    EXPECT_EQ(manager_.GetPorts(), view_.ports);
}

TEST_F(PortManagerTest, BurstOfChangesCausesOneListing) {
    // No event is processed between these calls, so they all fall within
    // one debounce period whatever the machine's speed.
    for (int i = 0; i < 5; ++i) manager_.DeviceChanged();
    EXPECT_EQ(listing_.Runs(), 0);
    EXPECT_TRUE(manager_.IsRefreshPending());

    ASSERT_TRUE(QTest::qWaitFor([&] { return view_.refills == 1; }, kPatience));
    EXPECT_FALSE(manager_.IsRefreshPending());
    // The run clears its flag just after posting its notice.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !manager_.IsEnumerating(); }, kPatience));
    QCoreApplication::processEvents();
    EXPECT_EQ(listing_.Runs(), 1);
    EXPECT_EQ(view_.refills, 1);
}

TEST_F(PortManagerTest, ChangeDuringAListingCausesOneMoreAfterIt) {
    listing_.Hold();
    manager_.Refresh();
    listing_.WaitForRuns(1);

    manager_.DeviceChanged();
    manager_.DebounceExpired();  // the timer fires while the run still goes on
    EXPECT_EQ(listing_.Runs(), 1);
    EXPECT_TRUE(manager_.IsRefreshPending());

    listing_.Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view_.refills == 2; }, kPatience));
    EXPECT_EQ(listing_.Runs(), 2);
    EXPECT_FALSE(manager_.IsRefreshPending());
    EXPECT_EQ(view_.ports[0].portName, "COM2");
}

TEST_F(PortManagerTest, RefreshDuringAListingIsDeferredNotDoubled) {
    listing_.Hold();
    manager_.Refresh();
    listing_.WaitForRuns(1);
    manager_.Refresh();
    EXPECT_TRUE(manager_.IsRefreshPending());
    listing_.Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view_.refills == 2; }, kPatience));
    EXPECT_EQ(listing_.Runs(), 2);
}

TEST(PortManagerLifetimeTest, DestroyingTheManagerDuringAListingWaitsForIt) {
    QtApp qt;
    FakeListing listing;
    PortListView view;
    std::thread releaser;
    {
        CCOMPortManager manager([&listing] { return listing(); }, false);
        manager.Attach(&view);
        listing.Hold();
        manager.Refresh();
        listing.WaitForRuns(1);
        releaser = std::thread([&listing] { listing.Release(); });
    }  // waits for the held run here
    releaser.join();
    QCoreApplication::processEvents();  // the run's notice must not reach anyone
    EXPECT_EQ(view.refills, 0);
}

TEST(PortManagerLifetimeTest, SystemListingReachesTheView) {
    QtApp qt;
    CCOMPortManager manager;
    PortListView view;
    manager.Attach(&view);
    manager.Refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.refills == 1; }, kPatience));
    EXPECT_EQ(view.ports, CCOMPortEnumerator::SystemPorts());
}

#ifdef __linux__
// Opening a tty raises DTR and RTS on it for a moment: a modem in use would
// key up. Listing the ports must open none of them (root may open any).
TEST(PortManagerLifetimeTest, ListingOpensNoSerialDevice) {
    glob_t found{};
    ::glob("/dev/ttyS*", 0, nullptr, &found);
    ::glob("/dev/ttyUSB*", GLOB_APPEND, nullptr, &found);
    ::glob("/dev/ttyACM*", GLOB_APPEND, nullptr, &found);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    int watched = 0;
    for (std::size_t i = 0; i < found.gl_pathc; ++i) {
        watched += ::inotify_add_watch(watch, found.gl_pathv[i], IN_OPEN) >= 0;
    }
    ::globfree(&found);
    if (watched == 0) {
        ::close(watch);
        GTEST_SKIP() << "no serial device node to watch";
    }
    (void)CCOMPortEnumerator::SystemPorts();
    char events[4096];
    const ssize_t n = ::read(watch, events, sizeof events);
    ::close(watch);
    EXPECT_LT(n, 0) << "a serial device was opened while listing";
}
#endif

}  // namespace
}  // namespace qt40
