#include "cli/StatusCommand.h"

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "procedures/DiagnosticsProcedure.h"

namespace qt40::cli {

StatusCommand::StatusCommand()
    : CalibrationCommand("status", "Print the additional status bits set (exit 3: a bit is set)") {}

int StatusCommand::Calibrate(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    DiagnosticsProcedure diagnostics(c.Worker(), prompts_, host);
    if (diagnostics.ReadAdditionalStatus() != kCommSuccess) {
        return Fail("the connection ended before the read");
    }
    const Outcome done = Finish(c, diagnostics);
    if (!done.ok) return Fail(done.error);
    return PrintAdditionalStatus(c);
}

}  // namespace qt40::cli
