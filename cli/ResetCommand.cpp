#include "cli/ResetCommand.h"

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "procedures/DiagnosticsProcedure.h"

namespace qt40::cli {

ResetCommand::ResetCommand()
    : CalibrationCommand("reset", "Master reset of the device, then read its configuration again") {
}

int ResetCommand::Calibrate(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    DiagnosticsProcedure diagnostics(c.Worker(), prompts_, host);
    if (!diagnostics.MasterReset()) return Fail(WithNote("the reset was not sent"));
    const Outcome done = Finish(c, diagnostics);
    if (!done.ok) return Fail(done.error);
    Context().Out() << "device reset; configuration read again\n" << std::flush;
    return kExitOk;
}

}  // namespace qt40::cli
