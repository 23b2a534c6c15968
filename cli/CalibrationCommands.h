#pragma once
// qt40cfg-cli's calibration and maintenance commands: loop-test, trim-dac,
// sensor-cal, wire-resistance, reset, self-test and status. They drive the
// same procedures as the window program's panels.

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/ArgumentPrompts.h"
#include "base/LinkTiming.h"
#include "procedures/ProcedureHost.h"

namespace CLI {
class App;
}

namespace qt40 {
class DacTrimProcedure;
}

namespace qt40::cli {

struct LinkOptions;

class CliConnection;

// `status` and `self-test`: the device reports at least one additional-status bit.
inline constexpr int kExitStatusSet = 3;

class CalibrationCommands {
public:
    struct Hooks {
        std::function<bool()> interrupted;  // SIGINT, SIGTERM or a stop request came
    };
    CalibrationCommands(std::ostream& out, std::ostream& err, Hooks hooks);

    // Adds the seven subcommands; `trace` is the tool's --trace flag.
    void Register(CLI::App& app, LinkOptions& link);
    // The exit code of the subcommand the command line chose, when it is one
    // of these; nothing otherwise.
    std::optional<int> Run(const LinkTiming& timing, int reconnectWaitMs);

private:
    struct Outcome {
        bool ok = false;
        std::string error;
        bool interrupted = false;  // a signal or stop request ended the wait; still connected
    };
    int LoopTest(CliConnection& c);
    int TrimDac(CliConnection& c);
    int SensorCal(CliConnection& c);
    int WireResistance(CliConnection& c);
    int Reset(CliConnection& c);
    int Status(CliConnection& c, bool selfTest);
    // Drives a procedure until its chain ends; a refusal, a lost connection
    // or an interruption comes back as the error. An interruption leaves the
    // connection up, so that the caller can undo what the device holds.
    template <class Procedure>
    Outcome Finish(CliConnection& c, Procedure& procedure, bool interruptible = true);
    // Level 0 for a trim that may have fixed the output, waited for whatever
    // comes (signals included) until the device has answered it.
    Outcome LeaveTrim(CliConnection& c, DacTrimProcedure& trim);
    // The values the command line gives, checked by the entries the panels
    // use before anything is connected or sent; the message of the first one
    // refused.
    std::optional<std::string> RefusedArgument(CLI::App* chosen);
    int Usage(const std::string& message);
    // Level 0 (a fixed-current request), sent again after each failure until answered or
    // the release's bound passes; no signal ends the wait.
    Outcome ReleaseLoop(CliConnection& c);
    // Sends a fixed-current level and waits for its answer.
    Outcome SendLevel(CliConnection& c, const std::string& level, bool interruptible);
    bool EnterPressed();
    int Fail(const std::string& message);
    std::string Refusal(const std::string& option, const std::string& unit);
    // `failure` followed by the words of the last message the procedure
    // showed, which tell why.
    std::string WithNote(const std::string& failure) const;

    std::ostream& out_;
    std::ostream& err_;
    Hooks hooks_;
    LinkOptions* link_ = nullptr;
    std::vector<CLI::App*> commands_;
    CLI::App* loopTest_ = nullptr;
    CLI::App* trimDac_ = nullptr;
    CLI::App* sensorCal_ = nullptr;
    CLI::App* wire_ = nullptr;
    CLI::App* reset_ = nullptr;
    CLI::App* selfTest_ = nullptr;
    CLI::App* status_ = nullptr;

    std::string ma_;
    double hold_ = -1.0;
    std::string point_;
    std::string measured_;
    std::string kind_;
    std::string value_;
    int sensor_ = 1;
    std::string set_;
    std::string calibrate_;
    bool stdinOpen_ = true;
    ArgumentPrompts prompts_;
};

}  // namespace qt40::cli
