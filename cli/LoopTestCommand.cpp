#include "cli/LoopTestCommand.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include <fmt/format.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#ifdef _WIN32
#include <atomic>
#include <memory>
#include <thread>
#endif

#include "cli/CliContext.h"
#include "cli/ReleaseWords.h"
#include "model/ConfigurationRules.h"
#include "model/NumberText.h"

namespace qt40::cli {
namespace {

#ifdef _WIN32
constexpr const char* kLoopTestEnds = "Enter or Ctrl+C";
constexpr const char* kLoopTestHelp =
    "Fix the loop current until Enter, the end of --hold or Ctrl+C; "
    "then leave fixed-current mode";
#else
constexpr const char* kLoopTestEnds = "Enter, SIGINT or SIGTERM";
constexpr const char* kLoopTestHelp =
    "Fix the loop current until Enter, the end of --hold, SIGINT or SIGTERM; "
    "then leave fixed-current mode";
#endif

}  // namespace

LoopTestCommand::LoopTestCommand() : CalibrationCommand("loop-test", kLoopTestHelp) {}

void LoopTestCommand::AddOptions(CLI::App& command, CliContext& context) {
    CalibrationCommand::AddOptions(command, context);
    // Checked by the analog output panel's entry rules, not by CLI11's number
    // parser, which takes "nan" and "0x10".
    const ValueRule& current = RuleOf(DeviceValue::FixedCurrent);
    command
        .add_option("--ma", ma_,
                    fmt::format("Loop current in mA ({} to {})", current.MinimumText(),
                                current.MaximumText()))
        ->required();
    command.add_option("--hold", hold_, "Seconds to hold the current")
        ->check(CLI::NonNegativeNumber);
}

std::optional<std::string> LoopTestCommand::RefusedArgument() {
    const auto refused = ArgumentPrompts::RefusalOf("--ma", ma_, FixedCurrentEntry({}), "mA");
    if (!refused) ma_ = ArgumentPrompts::Check(FixedCurrentEntry({}), ma_).result->enteredText;
    return refused;
}

#ifdef _WIN32
namespace {

struct EnterWatch {
    std::atomic<bool> pressed{false};
    std::atomic<bool> closed{false};
};

// Neither a console nor an anonymous pipe can be polled for a line on
// Windows (and Wine cannot peek into a pipe): a thread reads standard input
// instead. It may stay blocked in its read until the program ends.
std::shared_ptr<EnterWatch> WatchEnter() {
    auto watch = std::make_shared<EnterWatch>();
    std::thread([watch] {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        char buffer[64];
        DWORD n = 0;
        while (input != nullptr && input != INVALID_HANDLE_VALUE &&
               ReadFile(input, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            if (std::find(buffer, buffer + n, '\n') != buffer + n) {
                watch->pressed = true;
                return;
            }
        }
        // NUL, the end of a pipe or file, or no input at all.
        watch->closed = true;
    }).detach();
    return watch;
}

}  // namespace

bool LoopTestCommand::EnterPressed() {
    if (!stdinOpen_) return false;
    static const std::shared_ptr<EnterWatch> watch = WatchEnter();
    if (watch->closed) stdinOpen_ = false;
    return watch->pressed;
}
#else
bool LoopTestCommand::EnterPressed() {
    if (!stdinOpen_) return false;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, 0) <= 0) return false;
    if (input.revents & (POLLHUP | POLLERR | POLLNVAL) && !(input.revents & POLLIN)) {
        stdinOpen_ = false;
        return false;
    }
    char buffer[64];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // No terminal to press Enter on: the hold or a signal ends the test.
        stdinOpen_ = false;
        return false;
    }
    return std::find(buffer, buffer + n, '\n') != buffer + n;
}
#endif

int LoopTestCommand::Calibrate(CliConnection& c) {
    std::ostream& out = Context().Out();
    // Not interruptible: once sent, the level must be answered and then undone.
    Outcome sent = SendLevel(c, ma_, false);
    const double asked = LeadingDecimal(ma_);
    if (!sent.ok) {
        // Refused or unanswered, the level may still have been carried out.
        const Outcome left = ReleaseLoop(c);
        if (left.ok) out << "fixed-current mode left\n" << std::flush;
        return Fail(
            sent.error + "; " +
            (left.ok ? std::string(kLoopReleased) : left.error + ": " + MayStillBeFixed(asked)));
    }
    const double level = c.Record().loopCurrent;
    out << "loop current fixed at " << FormatFixed(level, 3) << " mA";
    if (hold_ >= 0) out << " for " << FormatGeneral(hold_) << " s";
    out << "; " << kLoopTestEnds << " ends the test\n" << std::flush;

    const auto start = std::chrono::steady_clock::now();
    const auto held = [&] {
        if (hold_ < 0) return false;
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        return elapsed.count() >= hold_;
    };
    // The idle polls go on meanwhile; nothing here may end the connection:
    // a poll given up ends the test, and level 0 follows.
    bool lost = false;
    const CliOutcome waited =
        c.Drive([&] { return lost || held() || (Context().Interrupted()) || EnterPressed(); },
                [&](const Notification& n) {
                    if (n.kind != NotificationKind::Failure) return false;
                    GiveUpExchange(c.Worker());
                    lost = true;
                    return true;
                },
                false);

    // Whatever ended the wait, the loop must not stay fixed.
    const Outcome left = ReleaseLoop(c);
    if (!left.ok) {
        std::string why = lost ? "an exchange with the device was lost while the level was held; "
                               : std::string();
        if (!waited.ok) why += waited.error + "; ";
        return Fail(why + "cannot leave fixed-current mode: " + left.error + ": " +
                    MayStillBeFixed(level));
    }
    out << "fixed-current mode left\n" << std::flush;
    if (lost) {
        return Fail(std::string("an exchange with the device was lost while the level was held; ") +
                    kLoopReleased);
    }
    if (!waited.ok) return Fail(waited.error + "; " + kLoopReleased);
    return kExitOk;
}

}  // namespace qt40::cli
