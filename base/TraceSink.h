#pragma once
// Where the hex trace of every exchange goes ("TX: ", "RX: ", "Timeout: ").

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace qt40 {

class TraceSink {
public:
    virtual ~TraceSink() = default;
    // One line, with its trailing newline.
    virtual void Trace(std::string_view line) = 0;
};

class NullTraceSink final : public TraceSink {
public:
    void Trace(std::string_view) override {}
};

// Each line to a function (which takes care of its own locking).
class CallbackTraceSink final : public TraceSink {
public:
    explicit CallbackTraceSink(std::function<void(std::string_view)> f) : f_(std::move(f)) {}
    void Trace(std::string_view line) override {
        if (f_) f_(line);
    }

private:
    std::function<void(std::string_view)> f_;
};

class StderrTraceSink final : public TraceSink {
public:
    void Trace(std::string_view line) override {
        std::lock_guard lock(mutex_);
        std::fwrite(line.data(), 1, line.size(), stderr);
    }

private:
    std::mutex mutex_;
};

// Stderr when QT40CFG_TRACE is set, else nothing.
inline std::unique_ptr<TraceSink> TraceFromEnvironment() {
    if (const char* v = std::getenv("QT40CFG_TRACE"); v && *v) {
        return std::make_unique<StderrTraceSink>();
    }
    return std::make_unique<NullTraceSink>();
}

}  // namespace qt40
