#pragma once
// What qt40cfg-cli's calibration and maintenance commands share (loop-test,
// trim-dac, sensor-cal, wire-resistance, reset, self-test and status): the
// check of the values given before anything is connected, the connection,
// driving a procedure to its end, and leaving fixed-current mode. They drive
// the same procedures as the window program's panels.

#include <optional>
#include <string>

#include "cli/ArgumentPrompts.h"
#include "cli/CliCommand.h"

namespace qt40::cli {

class CliConnection;

// `status` and `self-test`: the device reports at least one additional-status bit.
inline constexpr int kExitStatusSet = 3;

class CalibrationCommand : public CliCommand {
public:
    // Checks the values given, connects, runs Calibrate and disconnects.
    int Run(CliContext& context) final;

protected:
    struct Outcome {
        bool ok = false;
        std::string error;
        bool interrupted = false;  // a signal or stop request ended the wait; still connected
    };

    using CliCommand::CliCommand;

    // The link options; a command adds its own after them.
    void AddOptions(CLI::App& command, CliContext& context) override;
    // Why a value the command line gives is refused, checked by the entries
    // the panels use before anything is connected or sent; nothing when all
    // are taken. A command may tidy a value it takes.
    virtual std::optional<std::string> RefusedArgument() { return std::nullopt; }
    // The command's work on the connected device; the exit code.
    virtual int Calibrate(CliConnection& c) = 0;

    CliContext& Context() { return *context_; }
    int Fail(const std::string& message);
    int Usage(const std::string& message);

    // Drives a procedure until its chain ends; a refusal, a lost connection
    // or an interruption comes back as the error. An interruption leaves the
    // connection up, so that the caller can undo what the device holds.
    template <class Procedure>
    Outcome Finish(CliConnection& c, Procedure& procedure, bool interruptible = true);
    // Sends a fixed-current level and waits for its answer.
    Outcome SendLevel(CliConnection& c, const std::string& level, bool interruptible);
    // Level 0 (a fixed-current request), sent again after each failure until
    // answered or the release's bound passes; no signal ends the wait.
    Outcome ReleaseLoop(CliConnection& c);
    // The additional status the device reported, one line a bit set; exit 0,
    // or kExitStatusSet when a bit is set.
    int PrintAdditionalStatus(CliConnection& c);
    // The refusal of the value the procedure's entry was given for `option`.
    std::string Refusal(const std::string& option, const std::string& unit) const;
    // `failure` followed by the words of the last message the procedure
    // showed, which tell why.
    std::string WithNote(const std::string& failure) const;

    // The procedures' questions, answered with the values given.
    ArgumentPrompts prompts_;

private:
    CliContext* context_ = nullptr;  // while Run runs
};

}  // namespace qt40::cli
