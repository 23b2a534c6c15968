#include "cli/SelfTestCommand.h"

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "procedures/DiagnosticsProcedure.h"

namespace qt40::cli {

SelfTestCommand::SelfTestCommand()
    : CalibrationCommand(
          "self-test", "Run the self test and print the additional status (exit 3: a bit is set)") {
}

int SelfTestCommand::Calibrate(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    DiagnosticsProcedure diagnostics(c.Worker(), prompts_, host);
    if (!diagnostics.SelfTest()) return Fail(WithNote("the self test was not sent"));
    const Outcome done = Finish(c, diagnostics);
    if (!done.ok) return Fail(done.error);
    Context().Out() << "self test done\n";
    return PrintAdditionalStatus(c);
}

}  // namespace qt40::cli
