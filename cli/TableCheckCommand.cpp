#include "cli/TableCheckCommand.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/TablePrompts.h"
#include "tables/TableRules.h"

namespace qt40::cli {

TableCheckCommand::TableCheckCommand()
    : CliCommand("check", "Check a table file as a write would") {}

void TableCheckCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddTableKindOption(command, kind_);
    command.add_option("--in", inFile_, "Table file to read")->required();
    // The same answers as the write it stands in for: a warning --yes accepts
    // fails the check only without --yes.
    command.add_flag("--yes", yes_, "Accept the warnings a write with --yes accepts");
    AddTraceFlag(&command, context.Link());
}

int TableCheckCommand::Run(CliContext& context) {
    const TableKind kind = TableKindNamed(kind_);
    TablePrompts prompts(context.Err(), yes_);
    CustomTableEdit custom;
    SpecialCurveEdit curve;
    bool valid = false;
    std::string error;
    if (!LoadTable(kind, inFile_, prompts, custom, curve, valid, error)) {
        return context.Fail(error);
    }
    if (!valid) return context.Fail(inFile_ + ": " + kNoUsableTable);
    const bool passes =
        kind == TableKind::SpecialCurve
            ? ValidateSpecialCurve(curve, prompts)
            : ValidateCustomTable(
                  custom, kind == TableKind::CustomTc ? CustomTableKind::Tc : CustomTableKind::Rtd,
                  prompts);
    if (!passes) return context.Fail(inFile_ + ": " + prompts.LastMessage());
    const int size = kind == TableKind::SpecialCurve ? curve.size : custom.size;
    context.Out() << inFile_ << ": a valid " << TableName(kind) << " of " << size << " points\n"
                  << std::flush;
    return kExitOk;
}

}  // namespace qt40::cli
