#include "cli/ConsoleLines.h"

#include <deque>
#include <mutex>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <thread>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace qt40::cli {

struct ConsoleLines::State {
    std::mutex mutex;
    std::string partial;
    std::deque<std::string> lines;
    bool ended = false;

    void Add(const char* bytes, std::size_t n) {
        std::lock_guard lock(mutex);
        for (std::size_t i = 0; i < n; ++i) {
            if (bytes[i] == '\n') {
                if (!partial.empty() && partial.back() == '\r') partial.pop_back();
                lines.push_back(std::move(partial));
                partial.clear();
            } else {
                partial += bytes[i];
            }
        }
    }
    void End() {
        std::lock_guard lock(mutex);
        // A last line without its line end still counts.
        if (!partial.empty()) lines.push_back(std::move(partial));
        partial.clear();
        ended = true;
    }
};

#ifdef _WIN32
ConsoleLines::ConsoleLines() : state_(std::make_shared<State>()) {
    // Neither a console nor a pipe can be polled for a line on Windows: a
    // thread reads instead. It may stay blocked in its read until the
    // program ends, so it owns its share of the state.
    std::thread([state = state_] {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        char buffer[256];
        DWORD n = 0;
        while (input != nullptr && input != INVALID_HANDLE_VALUE &&
               ReadFile(input, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            state->Add(buffer, n);
        }
        state->End();
    }).detach();
}

#else
ConsoleLines::ConsoleLines() : state_(std::make_shared<State>()) {}
#endif

ConsoleLines::~ConsoleLines() = default;

std::optional<std::string> ConsoleLines::TakeLine() {
#ifndef _WIN32
    while (!state_->ended) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, 0) <= 0) break;
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            // The end of a pipe or file, or a terminal that went away.
            state_->End();
            break;
        }
        state_->Add(buffer, static_cast<std::size_t>(n));
    }
#endif
    std::lock_guard lock(state_->mutex);
    if (state_->lines.empty()) return std::nullopt;
    std::string line = std::move(state_->lines.front());
    state_->lines.pop_front();
    return line;
}

bool ConsoleLines::Ended() {
    std::lock_guard lock(state_->mutex);
    return state_->ended && state_->lines.empty();
}

}  // namespace qt40::cli
