#include "link/CommWorker.h"

#include <charconv>
#include <vector>

#include "hart/FrameCodec.h"

namespace qt40 {
namespace {

// Progress travels with three decimals, as the progress windows show it.
float ThreeDecimals(double percent) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, percent, std::chars_format::fixed, 3);
    float value = static_cast<float>(percent);
    if (ec == std::errc()) std::from_chars(text, end, value);
    return value;
}

// A search names the device it found in its question: the identity is in the
// answer to command 0 just taken, the tag one exchange away. Tried once, in
// this thread: without an answer the question does without the tag.
void NameFoundDevice(CommWorker& worker, DataLink& link) {
    DeviceState probe;
    worker.WithSession([&](DeviceState& s) {
        probe.link = s.link;
        probe.record.pollingAddress = s.record.pollingAddress;
    });
    // Response code, status and the twelve identity bytes.
    if (probe.link.command != 0 || probe.link.byteCount < 14) return;
    DecodeIdentity(probe.link, probe.record);
    if (const CommandStep* step = FindCommand(13)) {
        std::vector<std::uint8_t> frame(kMaxFrameSize + 32);
        PrepareRequest(probe, *step);
        frame.resize(BuildRequestFrame(probe.link, frame));
        if (!frame.empty() && link.Transact(frame) == kCommSuccess &&
            DecodeResponseFrame(probe.link, link.Received())) {
            DecodeAnswer(probe, *step);
        }
    }
    worker.WithSession([&](DeviceState& s) {
        s.record.deviceIdText = probe.record.deviceIdText;
        s.record.tag = probe.record.tag;
    });
}

}  // namespace

CommWorker::CommWorker(DeviceState& session, DataLink& link, NotificationSink& sink)
    : session_(session), link_(link), sink_(sink) {}

CommWorker::~CommWorker() { StopWorker(); }

CommResult CommWorker::StartWorker() {
    if (thread_.joinable()) thread_.join();  // a worker that ended by itself
    requestEvent_.Reset();
    answerEvent_.Reset();
    stop_ = false;
    polling_ = false;
    calibrationReadings_ = false;
    retryAnswer_ = 0;
    pendingRequest_ = WorkerRequest::IdlePoll;
    link_.Abort(false);
    ++run_;  // the previous thread is joined: all it posted carries the old number
    WithSession([](DeviceState& s) {
        s.link.preambleCount = kRequestPreambles;
        s.link.pollingAddress = s.record.pollingAddress;
    });
    try {
        running_ = true;
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        running_ = false;
        link_.ClosePort();
        return kCommThreadNotStarted;
    }
    return kCommSuccess;
}

CommResult CommWorker::StopWorker() {
    if (!link_.IsOpen() && !thread_.joinable()) return kCommSuccess;
    stop_ = true;
    retryAnswer_ = 0;
    polling_ = false;
    link_.SetSearching(false);
    link_.Abort(true);
    stepCounter_ = 0;
    requestEvent_.Set();
    answerEvent_.Set();
    if (thread_.joinable()) thread_.join();
    running_ = false;
    link_.ClosePort();
    link_.Abort(false);
    return kCommSuccess;
}

CommResult CommWorker::SubmitRequest(WorkerRequest code, bool polling) {
    if (!running_) return kCommNoWorker;
    pendingRequest_ = code;
    polling_ = polling;
    requestEvent_.Set();
    return kCommSuccess;
}

void CommWorker::AnswerFailure(bool retry) {
    retryAnswer_ = retry ? 1 : 0;
    if (link_.Searching()) {
        const int address = WithSession([](DeviceState& s) {
            s.record.pollingAddress = static_cast<std::int16_t>(s.record.pollingAddress + 1);
            s.link.pollingAddress = s.record.pollingAddress;
            return s.record.pollingAddress;
        });
        (void)address;
        const int step = ++stepCounter_;
        Post(Notification::Progressed(static_cast<float>(step / 15.0 * 100.0)));
    }
    answerEvent_.Set();
}

void CommWorker::SetPause(bool on) {
    pause_ = on;
    if (!on) requestEvent_.Set();
}

void CommWorker::SetSearching(bool on) { link_.SetSearching(on); }

void CommWorker::Run() {
    while (!stop_) {
        retryAnswer_ = 0;
        requestEvent_.Wait(link_.Timing().idlePollMs);
        // A submission whose wake-up was taken by a pause still runs.
        const WorkerRequest code = pendingRequest_.exchange(WorkerRequest::IdlePoll);
        if (stop_) break;
        if (code == WorkerRequest::IdlePoll && !polling_) continue;
        const CommResult result = RunRequest(code);
        if (code == WorkerRequest::Identify && link_.Searching()) {  // the search decides
            if (result == kCommSuccess && !stop_) NameFoundDevice(*this, link_);
            break;
        }
        Post(Notification::Completed(code, result));
    }
    running_ = false;
    Post(Notification::Ended());
}

CommResult CommWorker::RunRequest(WorkerRequest code) {
    const RequestEntry* entry = FindRequest(code);
    if (!entry) return lastResult_;  // codes we do not know run nothing
    if (entry->retry == RetryKind::Auto || entry->retry == RetryKind::Point) writeRetry_ = true;
    if (entry->retry == RetryKind::Point) pointRetry_ = true;

    CommResult result = kCommSuccess;
    switch (entry->runner) {
        case Runner::SetPolling:
            polling_ = true;
            break;
        case Runner::Identify:
            result = RunIdentify(code);
            break;
        case Runner::Quiet:
            stepCounter_ = 0;
            result = RunList(code, IdlePollSteps(calibrationReadings_), Runner::Quiet);
            break;
        default:
            result = RunList(code, entry->steps, entry->runner);
            break;
    }
    if (result == kCommSuccess && entry->rest == Rest::AfterReset) RestFor(link_.Timing().resetRestMs);
    if (result == kCommSuccess && entry->rest == Rest::AfterSelfTest) {
        RestFor(link_.Timing().selfTestRestMs);
    }
    lastResult_ = result;
    return result;
}

CommResult CommWorker::RunList(WorkerRequest code, const CommandStep* steps, Runner runner) {
    const auto list = StepsOf(steps);
    // A new upload: what an earlier device (or this one before) sent no longer counts.
    if (runner == Runner::Upload) WithSession([](DeviceState& s) { s.answered.reset(); });
    int done = 0;
    for (const CommandStep& step : list) {
        const CommResult sent = Exchange(code, [&](DeviceState& s) { PrepareRequest(s, step); });
        if (sent != kCommSuccess) return sent;
        const bool decoded = WithSession([&](DeviceState& s) {
            if (!DecodeResponseFrame(s.link, link_.Received()) || !DecodeAnswer(s, step)) {
                return false;
            }
            s.answered.set(s.link.command);
            return true;
        });
        if (!decoded) return kCommAnswerRejected;
        ++done;
        if (runner == Runner::Upload) {
            Post(Notification::Progressed(
                static_cast<float>(done / static_cast<double>(kUploadStepCount) * 100.0)));
        } else if (runner == Runner::List && stepCounter_ < stepTotal_) {
            const int counter = ++stepCounter_;
            Post(Notification::Progressed(ThreeDecimals(counter * 100.0 / stepTotal_)));
        }
    }
    return kCommSuccess;
}

CommResult CommWorker::RunIdentify(WorkerRequest code) {
    const CommResult sent = Exchange(code, [](DeviceState& s) {
        s.link.command = 0;
        s.link.byteCount = 0;
    });
    if (sent != kCommSuccess) return sent;
    // The frame is checked, nothing is decoded: the identity stays as it was.
    const bool accepted = WithSession(
        [&](DeviceState& s) { return DecodeResponseFrame(s.link, link_.Received()); });
    return accepted ? kCommSuccess : kCommAnswerRejected;
}

CommResult CommWorker::Exchange(WorkerRequest code,
                                const std::function<void(DeviceState&)>& prepare) {
    for (;;) {
        if (stop_) return kCommExchangeFailed;
        WaitWhilePaused();
        std::vector<std::uint8_t> frame(kMaxFrameSize + 32);
        WithSession([&](DeviceState& s) {
            prepare(s);
            s.link.pollingAddress = s.record.pollingAddress;
            frame.resize(BuildRequestFrame(s.link, frame));
        });
        if (link_.Transact(frame) == kCommSuccess) return kCommSuccess;
        if (!WaitForRetryAnswer(code)) return kCommExchangeFailed;
        link_.ClearError();
    }
}

bool CommWorker::WaitForRetryAnswer(WorkerRequest code) {
    Post(Notification::Failed(code));
    answerEvent_.Wait();
    return retryAnswer_ == 1 && !stop_;
}

void CommWorker::WaitWhilePaused() {
    while (pause_ && !stop_) requestEvent_.Wait();
}

void CommWorker::RestFor(int ms) {
    // In slices, so that stopping is not held up by a rest.
    SteadyClock clock;
    const std::int64_t end = clock.NowMs() + ms;
    while (!stop_ && clock.NowMs() < end) {
        clock.SleepMs(static_cast<int>(std::min<std::int64_t>(50, end - clock.NowMs())));
    }
}

}  // namespace qt40
