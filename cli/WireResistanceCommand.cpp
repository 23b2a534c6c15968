#include "cli/WireResistanceCommand.h"

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "model/NumberText.h"
#include "procedures/WireResistanceCalibration.h"

namespace qt40::cli {

WireResistanceCommand::WireResistanceCommand()
    : CalibrationCommand("wire-resistance",
                         "Print the lead wire resistance, write it or calibrate it") {}

void WireResistanceCommand::AddOptions(CLI::App& command, CliContext& context) {
    CalibrationCommand::AddOptions(command, context);
    auto* set = command.add_option("--set", set_, "Write this resistance in ohms (0 to 20)");
    auto* calibrate =
        command.add_option("--calibrate", calibrate_,
                           "Calibrate against a resistor of this many ohms in place of the sensor");
    set->excludes(calibrate);
}

std::optional<std::string> WireResistanceCommand::RefusedArgument() {
    if (!set_.empty()) {
        return ArgumentPrompts::RefusalOf("--set", set_, WireResistanceCalibration::WriteEntry({}),
                                          "ohms");
    }
    if (!calibrate_.empty()) {
        return ArgumentPrompts::RefusalOf("--calibrate", calibrate_,
                                          WireResistanceCalibration::ReferenceEntry({}), "ohms");
    }
    return std::nullopt;
}

int WireResistanceCommand::Calibrate(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    WireResistanceCalibration wire(c.Worker(), prompts_, host);
    Outcome done;
    if (!set_.empty()) {
        prompts_.QueueNumber(set_);
        if (!wire.Write(FormatFixed(c.Record().leadWireResistance, 4))) {
            if (prompts_.Refused()) return Usage(Refusal("--set", "ohms"));
            return Fail("the resistance was not sent");
        }
        done = Finish(c, wire);
    } else if (!calibrate_.empty()) {
        if (!WireResistanceCalibration::Calibratable(c.Record())) {
            return Fail(
                "the sensor type is not a resistance sensor; there is no lead wire to calibrate");
        }
        prompts_.QueueNumber(calibrate_);
        if (wire.Calibrate() != kCommSuccess) return Fail(WithNote("the calibration was not sent"));
        done = Finish(c, wire);
        if (done.ok && prompts_.Refused()) return Usage(Refusal("--calibrate", "ohms"));
        if (done.ok && wire.LastComputed() && !prompts_.Notes().empty() &&
            prompts_.Notes().back().key == "Err_WireResist_Calibrated") {
            return Fail(
                fmt::format("the calibrated wire resistance would be {} ohms, outside 0 to 20 "
                            "ohms; nothing was written",
                            FormatFixed(*wire.LastComputed(), 6)));
        }
    } else {
        if (wire.Read() != kCommSuccess) return Fail("the connection ended before the read");
        done = Finish(c, wire);
    }
    if (!done.ok) return Fail(done.error);
    Context().Out() << "leadWireResistance: " << FormatFixed(c.Record().leadWireResistance, 4)
                    << " ohms\n"
                    << std::flush;
    return kExitOk;
}

}  // namespace qt40::cli
