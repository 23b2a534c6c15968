#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <future>
#include <thread>

#include "observer/CObservable.h"
#include "observer/CObserver.h"
#include "observer/CObserverProxyUI.h"
#include "observer/CThreadFunctor.h"
#include "observer/ThreadClassFuncProxy.h"

namespace qt40 {
namespace {

struct QtApp {
    int argc = 1;
    char name[16] = "observer_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

class Temperature : public CObservable {};
class Pressure : public CObservable {};

// Counts the notices of the one subject class it cares about.
class TemperatureWatcher : public CObserver {
public:
    void Update(CObservable* subject) override {
        if (auto* t = dynamic_cast<Temperature*>(subject)) seen.push_back(t);
    }
    std::vector<Temperature*> seen;
};

class Recorder : public CObserver {
public:
    void Update(CObservable* subject) override {
        subjects.push_back(subject);
        threads.push_back(std::this_thread::get_id());
    }
    std::vector<CObservable*> subjects;
    std::vector<std::thread::id> threads;
};

TEST(ObserverTest, ObserverOfTwoSubjectsGetsEachSubjectAndIgnoresOtherClasses) {
    Temperature inner;
    Temperature outer;
    Pressure pressure;
    TemperatureWatcher watcher;
    inner.Attach(&watcher);
    outer.Attach(&watcher);
    pressure.Attach(&watcher);

    outer.Notify();
    inner.Notify();
    pressure.Notify();
    outer.Notify(&inner);  // an explicit subject is passed through

    EXPECT_EQ(watcher.seen, (std::vector<Temperature*>{&outer, &inner, &inner}));
}

TEST(ObserverTest, AttachmentIsMutualAndHeldOnce) {
    Temperature subject;
    Recorder first;
    Recorder second;
    subject.Attach(&first);
    subject.Attach(&second);
    subject.Attach(&first);
    EXPECT_EQ(subject.Observers(), (std::vector<CObserver*>{&first, &second}));
    EXPECT_EQ(first.Subjects(), (std::vector<CObservable*>{&subject}));

    subject.Notify();
    EXPECT_EQ(first.subjects.size(), 1u);

    subject.Detach(&first);
    EXPECT_EQ(subject.Observers(), (std::vector<CObserver*>{&second}));
    EXPECT_TRUE(first.Subjects().empty());
}

TEST(ObserverTest, DestroyingEitherSideLeavesNoDanglingEntry) {
    Temperature subject;
    {
        Recorder shortLived;
        subject.Attach(&shortLived);
    }
    EXPECT_TRUE(subject.Observers().empty());
    subject.Notify();  // would touch the dead observer otherwise

    Recorder observer;
    {
        Temperature shortLived;
        shortLived.Attach(&observer);
        subject.Attach(&observer);
    }
    EXPECT_EQ(observer.Subjects(), (std::vector<CObservable*>{&subject}));
}

TEST(ObserverTest, ObserverDetachedDuringNotifyIsNotCalled) {
    Temperature subject;
    Recorder later;
    struct Detacher : CObserver {
        CObservable* subject = nullptr;
        CObserver* victim = nullptr;
        void Update(CObservable*) override { subject->Detach(victim); }
    } detacher;
    detacher.subject = &subject;
    detacher.victim = &later;
    subject.Attach(&detacher);
    subject.Attach(&later);

    subject.Notify();
    EXPECT_TRUE(later.subjects.empty());
}

TEST(ObserverTest, CopiedSubjectNotifiesTheSameObservers) {
    Temperature original;
    Recorder observer;
    original.Attach(&observer);
    Temperature copy;
    copy = original;
    copy.Notify();
    original.Notify();
    EXPECT_EQ(observer.subjects, (std::vector<CObservable*>{&copy, &original}));
    EXPECT_EQ(observer.Subjects().size(), 2u);
}

// Blocks its run until released, so a test decides when it ends.
class GatedJob {
public:
    void Run() {
        entered = true;
        gate.wait();
        ++runs;
    }
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::atomic<bool> entered{false};
    std::atomic<int> runs{0};
};

TEST(ThreadFunctorTest, RunNotifiesFromItsOwnThreadWithTheFunctorAsSubject) {
    GatedJob job;
    CThreadFunctor functor = MakeThreadFunctor(&job, &GatedJob::Run);
    Recorder observer;
    functor.Attach(&observer);

    ASSERT_TRUE(functor.Start(&functor));
    EXPECT_TRUE(functor.IsRunning());
    EXPECT_FALSE(functor.Start(&functor));  // one run at a time
    job.release.set_value();
    functor.Wait();

    EXPECT_FALSE(functor.IsRunning());
    EXPECT_EQ(job.runs, 1);
    ASSERT_EQ(observer.subjects.size(), 1u);
    EXPECT_EQ(observer.subjects[0], &functor);
    EXPECT_NE(observer.threads[0], std::this_thread::get_id());

    ASSERT_TRUE(functor.Start(&functor));  // a finished run can be followed by another
    functor.Wait();
    EXPECT_EQ(job.runs, 2);
}

TEST(ThreadFunctorTest, CopiesShareTheRunAndTheLastOwnerWaitsForIt) {
    GatedJob job;
    Recorder observer;
    {
        CThreadFunctor functor = MakeThreadFunctor(&job, &GatedJob::Run);
        functor.Attach(&observer);
        ASSERT_TRUE(functor.Start(&functor));
        {
            const CThreadFunctor copy = functor;
            EXPECT_TRUE(copy.IsRunning());
        }
        EXPECT_TRUE(functor.IsRunning());  // the copy's end did not stop or join anything
        while (!job.entered) std::this_thread::yield();
        job.release.set_value();
    }  // waits here, so the run ends before the functor goes
    EXPECT_EQ(job.runs, 1);
    EXPECT_EQ(observer.subjects.size(), 1u);
}

TEST(ThreadFunctorTest, RunThatThrowsStillReportsItsEnd) {
    struct Failing {
        void Run() { throw std::runtime_error("no ports"); }
    } failing;
    CThreadFunctor functor = MakeThreadFunctor(&failing, &Failing::Run);
    Recorder observer;
    functor.Attach(&observer);
    ASSERT_TRUE(functor.Start(&functor));
    functor.Wait();
    EXPECT_EQ(observer.subjects.size(), 1u);
    EXPECT_FALSE(functor.IsRunning());
}

TEST(ObserverProxyUITest, BackgroundNoticeReachesObserversOnlyThroughTheEventLoop) {
    QtApp qt;
    GatedJob job;
    job.release.set_value();
    CThreadFunctor functor = MakeThreadFunctor(&job, &GatedJob::Run);
    CObserverProxyUI proxy;
    Recorder observer;
    proxy.Attach(&observer);
    functor.Attach(&proxy);

    ASSERT_TRUE(functor.Start(&functor));
    functor.Wait();
    // The run has ended and notified; nothing was called directly.
    EXPECT_TRUE(observer.subjects.empty());

    QCoreApplication::processEvents();
    ASSERT_EQ(observer.subjects.size(), 1u);
    EXPECT_EQ(observer.subjects[0], &functor);
    EXPECT_EQ(observer.threads[0], std::this_thread::get_id());
}

TEST(ObserverProxyUITest, NoticeOfASubjectGoneBeforeDeliveryIsDropped) {
    QtApp qt;
    CObserverProxyUI proxy;
    Recorder observer;
    proxy.Attach(&observer);
    {
        Temperature subject;
        subject.Attach(&proxy);
        std::thread([&subject] { subject.Notify(); }).join();
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(observer.subjects.empty());
}

}  // namespace
}  // namespace qt40
