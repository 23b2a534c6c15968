#include "cli/ReportCommand.h"

#include <fmt/format.h>

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "procedures/ReportReading.h"
#include "records/ConfigurationReport.h"
#include "records/RecordTime.h"

#ifndef QT40_VERSION
#define QT40_VERSION "0.0.0"
#endif

namespace qt40::cli {

ReportCommand::ReportCommand()
    : RecordCommand("report",
                    "Save the configuration report: every value read, with units (PDF or CSV)") {}

int ReportCommand::MakeRecord(CliContext& context, CliConnection& c) {
    CliProcedureHost host(c.Worker());
    ReportReading reading(c.Worker(), host);
    if (reading.Start() != kCommSuccess)
        return context.Fail("the connection ended before the report");
    std::optional<ProcedureStep> last;
    const CliOutcome driven = c.Drive([&] { return last && *last != ProcedureStep::Continues; },
                                      [&](const Notification& n) {
                                          const ProcedureStep step = reading.HandleNotification(n);
                                          if (step == ProcedureStep::NotMine) return false;
                                          last = step;
                                          return step != ProcedureStep::ConnectionLost;
                                      });
    if (!driven.ok) return context.Fail(driven.error);
    // A read the device refused leaves its cells empty; the rest still goes out.
    ReportInput input = ReportInputFrom(c.Worker(), reading);
    input.program = std::string("QT40CFG ") + QT40_VERSION;
    input.created = LocalTimestamp();
    const LinkOptions& link = context.Link();
    input.port =
        fmt::format("{} ({} {})", link.port, Texts().Text("Rec_Polling_Address"), link.address);
    return Save(context, ConfigurationReport(input, Texts()));
}

}  // namespace qt40::cli
