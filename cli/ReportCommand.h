#pragma once
// qt40cfg-cli report: the configuration report, every value read with its
// unit, saved as PDF or CSV.

#include "cli/RecordCommands.h"

namespace qt40::cli {

class ReportCommand final : public RecordCommand {
public:
    ReportCommand();

private:
    int MakeRecord(CliContext& context, CliConnection& c) override;
};

}  // namespace qt40::cli
