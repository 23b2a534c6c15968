#pragma once
// The one thread that talks to the transmitter. Panels stage values, submit a
// request code and get a notification when it has run; while nothing is
// requested the worker polls the live values. A failed exchange is reported
// and the worker waits until the window side answers whether to try again.

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "base/AutoResetEvent.h"
#include "base/CommResult.h"
#include "hart/CommandSet.h"
#include "link/DataLink.h"
#include "hart/DeviceState.h"
#include "link/NotificationSink.h"
#include "link/RequestTable.h"

namespace qt40 {

class CommWorker {
public:
    CommWorker(DeviceState& session, DataLink& link, NotificationSink& sink);
    ~CommWorker();
    CommWorker(const CommWorker&) = delete;
    CommWorker& operator=(const CommWorker&) = delete;

    // After the port is open: 200, or 204 when the thread cannot start (the
    // port is closed then).
    CommResult StartWorker();
    // Ends the worker (releasing a runner that waits for a retry answer, which
    // then ends with 209), waits for its thread and closes the port. 200.
    CommResult StopWorker();
    bool Running() const { return running_; }
    // Counts the starts; every notification carries the count of its start.
    unsigned RunNumber() const { return run_; }

    // 205 without a worker. A second submission before the worker took the
    // first replaces it.
    CommResult SubmitRequest(WorkerRequest code, bool polling);
    void SetReceiver(int receiver) { receiver_ = receiver; }
    int ReceiverId() const { return receiver_; }
    // The window side's answer to a failure notification. While searching,
    // also moves on to the next polling address and reports the step.
    void AnswerFailure(bool retry);
    // While set, no exchange starts; clearing it wakes the worker.
    void SetPause(bool on);
    bool Paused() const { return pause_; }
    void SetPolling(bool on) { polling_ = on; }
    bool Polling() const { return polling_; }
    void SetCalibrationReadings(bool on) { calibrationReadings_ = on; }
    void SetSearching(bool on);
    bool Searching() const { return link_.Searching(); }
    void PurgePort() { link_.PurgePort(); }

    // Retry flags: set by requests that write, consumed by the failure policy.
    bool WriteRetry() const { return writeRetry_; }
    bool PointRetry() const { return pointRetry_; }
    bool TakeWriteRetry() { return writeRetry_.exchange(false); }
    bool TakePointRetry() { return pointRetry_.exchange(false); }
    void ClearRetryFlags() {
        writeRetry_ = false;
        pointRetry_ = false;
    }

    // Progress of a multi-request operation; set by the panel while idle.
    void SetStepTotal(int total) { stepTotal_ = total; }
    void SetStepCounter(int counter) { stepCounter_ = counter; }
    int StepCounter() const { return stepCounter_; }

    // Every read or write of the records from outside the worker goes through
    // here: the idle poll may be writing them at any moment.
    template <class F>
    decltype(auto) WithSession(F&& f) {
        std::lock_guard lock(sessionMutex_);
        return f(session_);
    }
    DeviceRecord RecordSnapshot() {
        return WithSession([](DeviceState& s) { return s.record; });
    }

    DataLink& Link() { return link_; }

private:
    void Run();
    CommResult RunRequest(WorkerRequest code);
    CommResult RunList(WorkerRequest code, const CommandStep* steps, Runner runner);
    CommResult RunIdentify(WorkerRequest code);
    // Sends one prepared request; on failure asks and repeats while told to.
    // `prepare` fills the link state under the session lock.
    CommResult Exchange(WorkerRequest code, const std::function<void(DeviceState&)>& prepare);
    bool WaitForRetryAnswer(WorkerRequest code);
    void WaitWhilePaused();
    void RestFor(int ms);
    void Post(Notification n) {
        n.run = run_;
        sink_.Post(receiver_, n);
    }

    DeviceState& session_;
    DataLink& link_;
    NotificationSink& sink_;
    std::mutex sessionMutex_;

    AutoResetEvent requestEvent_;
    AutoResetEvent answerEvent_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<unsigned> run_{0};
    std::atomic<bool> stop_{false};
    std::atomic<WorkerRequest> pendingRequest_{WorkerRequest::IdlePoll};
    std::atomic<int> retryAnswer_{0};
    std::atomic<int> receiver_{kReceiverNone};
    std::atomic<bool> polling_{false};
    std::atomic<bool> calibrationReadings_{false};
    std::atomic<bool> pause_{false};
    std::atomic<bool> writeRetry_{false};
    std::atomic<bool> pointRetry_{false};
    std::atomic<int> stepCounter_{0};
    std::atomic<int> stepTotal_{0};
    CommResult lastResult_ = kCommSuccess;
};

}  // namespace qt40
