#include "cli/TableWriteCommand.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/TablePrompts.h"

namespace qt40::cli {

TableWriteCommand::TableWriteCommand() : CliCommand("write", "Write a table file to the device") {}

void TableWriteCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddTableKindOption(command, kind_);
    AddLinkOptions(&command, context.Link());
    command.add_option("--in", inFile_, "Table file to read")->required();
    command.add_flag("--yes", yes_, "Answer every question with OK or Yes");
}

int TableWriteCommand::Run(CliContext& context) {
    const TableKind kind = TableKindNamed(kind_);
    // The file first: a bad file never touches the device.
    TablePrompts prompts(context.Err(), yes_);
    CustomTableEdit custom;
    SpecialCurveEdit curve;
    bool valid = false;
    std::string error;
    if (!LoadTable(kind, inFile_, prompts, custom, curve, valid, error)) {
        return context.Fail(error);
    }
    // What is wrong with the file, rather than the question a write would ask.
    if (!valid) return context.Fail(inFile_ + ": " + kNoUsableTable);
    CliConnection connection(context.ConnectionOptions(), context.Err(), context.Interruption());
    const CliOutcome connected = connection.Connect(context.Link().address);
    if (!connected.ok) return context.Fail(connected.error);
    SteadyClock clock;
    TableSequence sequence(connection, context.Err());
    TableTransfer transfer(kind, connection.Worker(), prompts, sequence, clock);
    sequence.SetPoints(kind == TableKind::SpecialCurve ? curve.size : custom.size);
    const auto start = [&] {
        return kind == TableKind::SpecialCurve ? transfer.StartWrite(curve, valid)
                                               : transfer.StartWrite(custom, valid);
    };
    if (!sequence.Run(transfer, nullptr, start, error)) {
        // A question refused for want of --yes says so.
        return context.Fail(error.empty() ? prompts.Refusal().value_or(prompts.LastMessage())
                                          : error);
    }
    const DeviceRecord r = connection.Record();
    const int size = kind == TableKind::SpecialCurve ? r.specialCurve.size : r.customTable.size;
    context.Out() << "wrote " << sequence.Points() << " points; the device reports a "
                  << TableName(kind) << " of " << size << " points\n"
                  << std::flush;
    return kExitOk;
}

}  // namespace qt40::cli
