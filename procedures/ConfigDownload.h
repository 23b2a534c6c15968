#pragma once
// Writes a whole configuration (the device column of the comparison pages,
// or a configuration file) into the device: re-identification, the model
// check, 18 write requests one after the other, then a fresh identification
// and upload. Driven by the worker's notifications on the caller's thread;
// the window program and the command-line tool drive the same class.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "files/ConfigComparison.h"
#include "files/FileConfig.h"
#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "base/Prompts.h"
#include "model/WriteBuffer.h"

namespace qt40 {

struct DownloadStep {
    WorkerRequest request;
    std::vector<Field> fields;  // device-column values it writes
};

inline constexpr int kDownloadStepCount = 18;
// The steps in the order they are written.
const std::vector<DownloadStep>& DownloadSteps();
// The fields written by the first `count` steps.
std::vector<Field> FieldsOfSteps(int count);

// Staging one step: the values go into `writes` only when every one of them
// can be sent. An empty value, a name no table knows, a number that is not
// one, a text longer than its field or with a character packed ASCII cannot
// hold, or a date the device cannot hold stops the step.
struct StagingResult {
    enum class Status { Ok, Empty, Invalid };
    Status status = Status::Ok;
    Field field = Field::Tag;  // the value that stopped it
    std::string character;     // a packed text's character the device cannot store
    bool ok() const { return status == Status::Ok; }
};
StagingResult StageDownloadStep(const DownloadStep& step, const FileConfig& values,
                                WriteBuffer& writes);

class ConfigDownload {
public:
    enum class Outcome {
        Finished,  // written, identified and uploaded again
        Refused,   // not a QT40: nothing written
        Stopped,   // a value could not be sent; the steps before it were written
        Aborted,   // the device rejected a step (208); the steps before it were written
        Failed,    // the connection was given up (209)
    };

    ConfigDownload(CommWorker& worker, ConnectionController& connection, Prompts& prompts);

    // The caption a message shows for a row; the built-in captions by default.
    void SetFieldNames(std::function<std::string(Field)> names) { names_ = std::move(names); }
    // Called as each step is posted (1 … 18).
    void OnStep(std::function<void(int step, const DownloadStep&)> onStep) {
        onStep_ = std::move(onStep);
    }

    // Arms the chain with the values to write; the caller then starts the
    // connection flow, and the identification that follows leads here.
    void Request(const FileConfig& values);
    // Forgets a request ("Upload" clears it).
    void Cancel();
    // Every worker notification for the receiver; true when consumed here,
    // false when the connection logic should have it (it may have been seen here too).
    bool HandleNotification(const Notification& n);

    bool Requested() const { return requested_; }
    bool Started() const { return started_; }
    bool FinishedWriting() const { return finished_; }
    bool FailureSeen() const { return failure_; }
    bool AbortedFlag() const { return aborted_; }
    WorkerRequest LastRequest() const { return lastRequest_; }
    // Steps whose request completed.
    int StepsWritten() const { return written_; }
    // The step that stopped or aborted the chain (0-based), if any.
    std::optional<int> StoppedAt() const { return stoppedAt_; }
    std::optional<Field> StoppedField() const { return stoppedField_; }
    // The character that stopped it, when a packed text held one the device cannot store.
    const std::string& StoppedCharacter() const { return stoppedCharacter_; }
    // The end of the whole sequence, once: after the upload that follows it
    // (or at once when the connection was given up).
    std::optional<Outcome> TakeEnd();
    std::optional<Outcome> LastOutcome() const { return outcome_; }

private:
    void PostStep();
    void Stop(Outcome outcome);
    void End(Outcome outcome);
    std::string NameOf(Field field) const;

    CommWorker& worker_;
    ConnectionController& connection_;
    Prompts& prompts_;
    std::function<std::string(Field)> names_;
    std::function<void(int, const DownloadStep&)> onStep_;

    FileConfig values_;
    bool requested_ = false;
    bool started_ = false;
    bool finished_ = false;
    bool failure_ = false;
    bool aborted_ = false;
    bool waitingForUpload_ = false;  // the chain is over; the upload that follows ends it
    WorkerRequest lastRequest_ = WorkerRequest::IdlePoll;
    int step_ = 0;
    int written_ = 0;
    std::optional<int> stoppedAt_;
    std::optional<Field> stoppedField_;
    std::string stoppedCharacter_;
    std::optional<Outcome> outcome_;
    std::optional<Outcome> pendingEnd_;
};

}  // namespace qt40
