#include "cli/CalibrationCommands.h"

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "cli/EnglishMessages.h"
#include "cli/ReleaseWords.h"
#include "model/AdditionalStatusBits.h"
#include "procedures/DacTrimProcedure.h"
#include "procedures/DiagnosticsProcedure.h"
#include "procedures/SensorCalibration.h"
#include "procedures/WireResistanceCalibration.h"

namespace qt40::cli {

void CalibrationCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddLinkOptions(&command, context.Link());
}

int CalibrationCommand::Fail(const std::string& message) {
    return context_->Fail(message);
}

int CalibrationCommand::Usage(const std::string& message) {
    return context_->Usage(message);
}

int CalibrationCommand::Run(CliContext& context) {
    context_ = &context;
    // A value the panel would refuse sends nothing, not even the connection.
    if (const auto refused = RefusedArgument()) return Usage(*refused);

    CliConnection connection(context.ConnectionOptions(), context.Out(), context.Interruption());
    const CliOutcome connected = connection.Connect(context.Link().address);
    if (!connected.ok) return Fail(connected.error);
    const int code = Calibrate(connection);
    connection.Disconnect();
    return code;
}

template <class Procedure>
CalibrationCommand::Outcome CalibrationCommand::Finish(CliConnection& c, Procedure& procedure,
                                                       bool interruptible) {
    std::optional<ProcedureStep> last;
    Notification lastSeen;
    bool interrupted = false;
    const auto ended = [&] { return last && *last != ProcedureStep::Continues; };
    // The connection's own interruption would close the port at once; this
    // one only ends the wait, so that a fixed output can still be undone.
    const CliOutcome driven = c.Drive(
        [&] {
            if (ended()) return true;
            if (interruptible && context_->Interrupted()) interrupted = true;
            return interrupted;
        },
        [&](const Notification& n) {
            const ProcedureStep step = procedure.HandleNotification(n);
            if (step == ProcedureStep::NotMine) return false;
            last = step;
            lastSeen = n;
            return step != ProcedureStep::ConnectionLost;  // the connection logic closes up
        },
        false);
    if (!driven.ok) return {false, driven.error};
    if (!ended()) return {false, "interrupted", true};
    if (*last == ProcedureStep::Refused) {
        const int rc =
            c.Worker().WithSession([](DeviceState& s) { return int{s.link.responseCode}; });
        return {false, fmt::format("the device refused request {} (response code {})",
                                   CodeOf(lastSeen.request), rc)};
    }
    if (*last == ProcedureStep::ConnectionLost) {
        // The link's own words where it gave up (a device that stayed busy).
        if (const auto& why = c.Worker().Link().LinkMessage()) {
            return {false, fmt::format("request {} was given up: {}", CodeOf(lastSeen.request),
                                       DescribeMessage(why->key, why->args))};
        }
        // A procedure that gave the exchange up itself keeps the connection.
        return {false, fmt::format("{} on {} was lost during request {}",
                                   c.Worker().Running() ? "an exchange" : "the connection",
                                   context_->Link().port, CodeOf(lastSeen.request))};
    }
    return {true, {}};
}

template CalibrationCommand::Outcome CalibrationCommand::Finish(CliConnection&, DacTrimProcedure&,
                                                                bool);
template CalibrationCommand::Outcome CalibrationCommand::Finish(CliConnection&, SensorCalibration&,
                                                                bool);
template CalibrationCommand::Outcome CalibrationCommand::Finish(CliConnection&,
                                                                WireResistanceCalibration&, bool);
template CalibrationCommand::Outcome CalibrationCommand::Finish(CliConnection&,
                                                                DiagnosticsProcedure&, bool);

// A single fixed-current request, as a procedure of one step. A failed
// exchange is not asked about: the level is given up and level 0 follows.
namespace {
struct LevelRequest {
    CommWorker& worker;
    bool lost = false;
    ProcedureStep HandleNotification(const Notification& n) {
        if (n.Fails(WorkerRequest::FixCurrent)) {
            GiveUpExchange(worker);
            lost = true;
            return ProcedureStep::Continues;
        }
        return n.Completes(WorkerRequest::FixCurrent) ? StepOf(n.result) : ProcedureStep::NotMine;
    }
};
}  // namespace

CalibrationCommand::Outcome CalibrationCommand::SendLevel(CliConnection& c,
                                                          const std::string& level,
                                                          bool interruptible) {
    c.Worker().WithSession([&](DeviceState& s) { s.writes.fixedCurrentText = level; });
    if (c.Worker().SubmitRequest(WorkerRequest::FixCurrent, true) != kCommSuccess) {
        return {false, "the connection ended before the level was sent"};
    }
    LevelRequest request{c.Worker()};
    Outcome outcome = Finish(c, request, interruptible);
    if (!outcome.ok && request.lost && c.Worker().Running()) {
        outcome.error =
            fmt::format("level {} mA was not answered on {}", level, context_->Link().port);
    }
    return outcome;
}

CalibrationCommand::Outcome CalibrationCommand::ReleaseLoop(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    LevelRelease release(c.Worker(), host, WorkerRequest::FixCurrent);
    if (!c.Worker().Running() || release.Start() != kCommSuccess) {
        return {false, ReleaseFailure(release)};
    }
    // Only level 0's own ending ends the wait, and no signal does.
    bool ended = false;
    const CliOutcome driven = c.Drive([&] { return ended; },
                                      [&](const Notification& n) {
                                          const ProcedureStep step = release.HandleNotification(n);
                                          if (step == ProcedureStep::NotMine) return false;
                                          ended = step != ProcedureStep::Continues;
                                          return true;
                                      },
                                      false);
    if (release.Released()) return {true, {}};
    if (!driven.ok) return {false, driven.error};
    return {false, ReleaseFailure(release)};
}

int CalibrationCommand::PrintAdditionalStatus(CliConnection& c) {
    std::ostream& out = context_->Out();
    const auto set = SetAdditionalStatusBits(c.Record().additionalStatus);
    const auto groups = AdditionalStatusGroups();
    for (const AdditionalStatusBit& b : set) {
        out << "byte " << b.byte << " bit " << b.bit << ": " << b.label << " ("
            << groups[static_cast<std::size_t>(b.group)].heading << ")\n";
    }
    // A bit no row names is still one the device set.
    const auto unlabelled = SetUnlabelledStatusBits(c.Record().additionalStatus);
    for (const UnlabelledStatusBit& b : unlabelled) {
        out << "byte " << b.byte << " bit " << b.bit << ": (no label)\n";
    }
    const bool none = set.empty() && unlabelled.empty();
    if (none) out << "no additional status bit set\n";
    out.flush();
    return none ? kExitOk : kExitStatusSet;
}

std::string CalibrationCommand::Refusal(const std::string& option, const std::string& unit) const {
    const auto& refused = prompts_.Refused();
    if (!refused) return option + ": no value";
    return ArgumentPrompts::RefusalOf(option, refused->text, refused->entry, unit)
        .value_or(option + " " + refused->text + " was refused");
}

std::string CalibrationCommand::WithNote(const std::string& failure) const {
    if (prompts_.Notes().empty()) return failure;
    const ArgumentPrompts::Note& note = prompts_.Notes().back();
    return failure + ": " + DescribeMessage(note.key, note.args);
}

}  // namespace qt40::cli
