#pragma once
// Many endpoints at once: one connection per endpoint at a time (a loop
// carries one transaction at a time), endpoints side by side on threads of
// their own, at most `jobs` connections open together. On each endpoint every
// polling address is identified in turn; a silent address is passed over, a
// device that is not a QT40 is reported and skipped, a QT40 is uploaded. An
// endpoint that fails is reported with its error and never stops the others.

#include <functional>
#include <mutex>
#include <vector>

#include "fleet/FleetDevice.h"
#include "fleet/FleetTarget.h"
#include "base/LinkTiming.h"
#include "traffic/DecoderTexts.h"
#include "transport/HartIpClient.h"

namespace qt40::fleet {

inline constexpr int kDefaultJobs = 16;

class FleetRunner {
public:
    struct Options {
        int jobs = kDefaultJobs;
        LinkTiming timing;
        int reconnectWaitMs = 500;
        HartIpClientOptions hartIp;  // for the HART-IP endpoints
        // Every exchange as trace lines, decoded or as the link's hex, each
        // given to OnTrace whole with its endpoint and polling address in front.
        enum class Trace { Off, Decoded, Hex };
        Trace trace = Trace::Off;
        traffic::DecoderTexts traceTexts;  // the decoded lines' words
        // Asked between steps from every thread; true ends the run soon.
        std::function<bool()> interrupted;
    };

    explicit FleetRunner(Options options);

    // Each callback runs on the thread of the endpoint concerned, never two at
    // once, so it may write files and count without locks of its own.
    void OnDevice(std::function<void(const FleetDevice&)> f) { onDevice_ = std::move(f); }
    void OnEndpoint(std::function<void(const FleetEndpoint&)> f) { onEndpoint_ = std::move(f); }
    void OnProgress(std::function<void(const FleetProgress&)> f) { onProgress_ = std::move(f); }
    // One trace line ("hartip://host:5094 address 2: TX #1 …", no newline),
    // called under the runner's lock, so lines of endpoints side by side never
    // mix, with each other or with the other callbacks.
    void OnTrace(std::function<void(const std::string&)> f) { onTrace_ = std::move(f); }

    // Runs every target and returns when all are done (or interrupted).
    FleetProgress Run(const std::vector<FleetTarget>& targets);

    // The text an endpoint on which no address answered is given up with.
    static std::string NothingAnswered(const FleetTarget& target);

private:
    void RunEndpoint(std::size_t index, const FleetTarget& target);
    bool Interrupted() const;
    template <class F>
    void Report(F&& f) {
        std::lock_guard lock(mutex_);
        f();
        if (onProgress_) onProgress_(progress_);
    }

    Options options_;
    std::function<void(const FleetDevice&)> onDevice_;
    std::function<void(const FleetEndpoint&)> onEndpoint_;
    std::function<void(const FleetProgress&)> onProgress_;
    std::function<void(const std::string&)> onTrace_;
    std::mutex mutex_;
    FleetProgress progress_;
};

}  // namespace qt40::fleet
