#pragma once
// What the worker tells the window side: completions, failures, progress and
// its own end. Posted, never called into a window directly.

#include "base/CommResult.h"
#include "link/WorkerRequest.h"

namespace qt40 {

enum class NotificationKind {
    Completion,   // a request ran: `request` and its `result`
    Failure,      // an exchange of `request` failed; the worker waits for AnswerFailure
    Progress,     // `percent`: 0 … 100
    WorkerEnded,  // the worker thread ends
};

// The panels that register as the worker's receiver, by their message number.
enum Receiver : int {
    kReceiverNone = 0,
    kReceiverSensorInfo = 1,
    kReceiverConnectDevice = 2,
    kReceiverDetailSensorInfo = 3,
    kReceiverDetailedInfo = 4,
    kReceiverAnalogOP = 5,
    kReceiverAOAlarm = 6,
    kReceiverTrimDAC = 7,
    kReceiverSensorCalib = 8,
    kReceiverWireResistance = 9,
    kReceiverDiagnostics = 10,
    kReceiverAddStatus = 11,
    kReceiverCustomTC = 12,
    kReceiverCustomRTD = 13,
    kReceiverSpecialCurve = 14,
    kReceiverPollingAddr = 15,
    kReceiverFileProperty = 16,
};

struct Notification {
    NotificationKind kind = NotificationKind::Completion;
    WorkerRequest request = WorkerRequest::IdlePoll;  // completion and failure
    CommResult result = kCommSuccess;                 // completion
    float percent = 0.0f;                             // progress
    // Which start of the worker posted it. Notifications of a worker stopped
    // since may still be queued when the next connection starts; they are
    // told apart by this and dropped.
    unsigned run = 0;

    static Notification Completed(WorkerRequest request, CommResult result) {
        return {NotificationKind::Completion, request, result};
    }
    static Notification Failed(WorkerRequest request) {
        return {NotificationKind::Failure, request, kCommExchangeFailed};
    }
    static Notification Progressed(float percent) {
        return {NotificationKind::Progress, WorkerRequest::IdlePoll, kCommSuccess, percent};
    }
    static Notification Ended() { return {NotificationKind::WorkerEnded}; }

    // The completion of `r`, whatever its result.
    bool Completes(WorkerRequest r) const {
        return kind == NotificationKind::Completion && request == r;
    }
    // A failed exchange of `r`, waiting for an answer.
    bool Fails(WorkerRequest r) const { return kind == NotificationKind::Failure && request == r; }
};

class NotificationSink {
public:
    virtual ~NotificationSink() = default;
    // Called on the worker thread; must only queue.
    virtual void Post(int receiver, const Notification& notification) = 0;
};

}  // namespace qt40
