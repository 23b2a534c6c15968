#include "cli/TrimDacCommand.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "cli/ReleaseWords.h"
#include "procedures/DacTrimProcedure.h"

namespace qt40::cli {

TrimDacCommand::TrimDacCommand()
    : CalibrationCommand(
          "trim-dac",
          "Trim the output at 4 mA (lower) or 20 mA (upper) with the current measured") {}

void TrimDacCommand::AddOptions(CLI::App& command, CliContext& context) {
    CalibrationCommand::AddOptions(command, context);
    command.add_option("--point", point_, "lower or upper")
        ->required()
        ->check(CLI::IsMember({"lower", "upper"}));
    command.add_option("--measured", measured_, "The current the meter reads, in mA")->required();
}

std::optional<std::string> TrimDacCommand::RefusedArgument() {
    return ArgumentPrompts::RefusalOf(
        "--measured", measured_,
        DacTrimProcedure::MeasuredEntry(point_ == "upper" ? DacTrimProcedure::kUpper
                                                          : DacTrimProcedure::kLower),
        "mA");
}

TrimDacCommand::Outcome TrimDacCommand::LeaveTrim(CliConnection& c, DacTrimProcedure& trim) {
    if (!c.Worker().Running()) return {false, "the connection was given up"};
    if (trim.Close() != kCommSuccess) return {false, ReleaseFailure(trim.Release0())};
    // Answers of requests left behind by an interruption come first: only
    // the end of level 0 (answered, or the release giving up) ends the wait,
    // and no signal does.
    bool ended = !trim.Releasing();
    const CliOutcome driven = c.Drive([&] { return ended; },
                                      [&](const Notification& n) {
                                          const ProcedureStep step = trim.HandleNotification(n);
                                          if (step == ProcedureStep::NotMine) return false;
                                          ended = !trim.Releasing();
                                          return true;
                                      },
                                      false);
    if (trim.Release0().Released()) return {true, {}};
    if (!driven.ok) return {false, driven.error};
    return {false, ReleaseFailure(trim.Release0())};
}

int TrimDacCommand::Calibrate(CliConnection& c) {
    std::ostream& out = Context().Out();
    CliProcedureHost host(c.Worker());
    DacTrimProcedure trim(c.Worker(), prompts_, host);
    const bool upper = point_ == "upper";
    if (trim.EnterTrimMode(upper ? DacTrimProcedure::kUpper : DacTrimProcedure::kLower) !=
        kCommSuccess) {
        return Fail("the connection ended before the trim");
    }
    // From here on the output may be fixed: every way out goes through level 0.
    std::string error;
    Outcome step = Finish(c, trim);
    if (!step.ok) {
        error = step.interrupted ? "interrupted before the trim was sent" : step.error;
    } else {
        out << "output fixed at " << (upper ? "20" : "4") << " mA for the " << point_
            << " trim point\n"
            << std::flush;
        prompts_.QueueNumber(measured_);
        if (!trim.TrimByMeasuredValue()) {
            error = prompts_.Refused() ? Refusal("--measured", "mA")
                                       : WithNote("the trim was not sent");
        } else if (step = Finish(c, trim); !step.ok) {
            error = step.interrupted ? "interrupted while the trim was sent" : step.error;
        } else {
            out << "trimmed with " << measured_ << " mA measured\n";
        }
    }
    const Outcome left = LeaveTrim(c, trim);
    if (left.ok) {
        out << "fixed-current mode left\n";
        if (!error.empty()) error += std::string("; ") + kLoopReleased;
    } else {
        error = "cannot leave fixed-current mode: " + left.error + ": " +
                MayStillBeFixed(upper ? 20.0 : 4.0) +
                (error.empty() ? std::string() : " (" + error + ")");
    }
    out.flush();
    return error.empty() ? kExitOk : Fail(error);
}

}  // namespace qt40::cli
