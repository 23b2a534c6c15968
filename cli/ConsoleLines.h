#pragma once
// Lines typed on standard input, taken without blocking, so that a command
// waiting for one keeps handling the worker's notifications and signals.

#include <memory>
#include <optional>
#include <string>

namespace qt40::cli {

class ConsoleLines {
public:
    ConsoleLines();
    ~ConsoleLines();
    ConsoleLines(const ConsoleLines&) = delete;
    ConsoleLines& operator=(const ConsoleLines&) = delete;

    // A complete line typed so far (its line end and a trailing CR dropped),
    // or nothing yet.
    std::optional<std::string> TakeLine();
    // Standard input has ended (or there is none): no further line will come.
    bool Ended();

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace qt40::cli
