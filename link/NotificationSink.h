#pragma once
// What the worker tells the window side: completions, failures, progress and
// its own end. Posted, never called into a window directly.

namespace qt40 {

enum NotificationCode : int {
    kNotifyFailure = 209,      // second: the request code; the worker waits for AnswerFailure
    kNotifyProgress = 300,     // percent: 0 … 100
    kNotifyWorkerEnded = 301,  // second: 0
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
    int first = 0;         // request code 400 … 465, or a NotificationCode
    int second = 0;        // CommResult for a completion, request code for a failure
    float percent = 0.0f;  // progress only
    // Which start of the worker posted it. Notifications of a worker stopped
    // since may still be queued when the next connection starts; they are
    // told apart by this and dropped.
    unsigned run = 0;
};

class NotificationSink {
public:
    virtual ~NotificationSink() = default;
    // Called on the worker thread; must only queue.
    virtual void Post(int receiver, const Notification& notification) = 0;
};

}  // namespace qt40
