#include "cli/TableReadCommand.h"

#include <CLI/CLI.hpp>

#include <filesystem>

#include "cli/CliContext.h"
#include "cli/TablePrompts.h"
#include "files/Utf8Path.h"
#include "model/CglobalFile.h"
#include "tables/CFileOperations.h"

namespace qt40::cli {

TableReadCommand::TableReadCommand()
    : CliCommand("read", "Save the device's table as a table file") {}

void TableReadCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddTableKindOption(command, kind_);
    AddLinkOptions(&command, context.Link());
    command.add_option("--out", outFile_, "Table file to write")->required();
}

int TableReadCommand::Run(CliContext& context) {
    const TableKind kind = TableKindNamed(kind_);
    CliConnection connection(context.ConnectionOptions(), context.Err(), context.Interruption());
    const CliOutcome connected = connection.Connect(context.Link().address);
    if (!connected.ok) return context.Fail(connected.error);
    TablePrompts prompts(context.Err(), false);
    SteadyClock clock;
    TableSequence sequence(connection, context.Err());
    TableTransfer transfer(kind, connection.Worker(), prompts, sequence, clock);
    std::string error;
    const auto start = [&] {
        transfer.StartRead();
        return true;
    };
    if (!sequence.Run(transfer, nullptr, start, error)) return context.Fail(error);
    if (sequence.Arrived() != true) {
        return context.Fail(prompts.LastMessage().empty() ? "the table was not read"
                                                          : prompts.LastMessage());
    }
    const DeviceRecord r = connection.Record();
    connection.Disconnect();
    const std::filesystem::path out = PathFromUtf8(outFile_);
    FileResult saved;
    int size = 0;
    switch (kind) {
        case TableKind::CustomTc:
            saved = CFileOperations::WriteCustomTable(out, CglobalFile::CustomTcHeader(), "TC",
                                                      r.customTable);
            size = r.customTable.size;
            break;
        case TableKind::CustomRtd:
            saved = CFileOperations::WriteCustomTable(out, CglobalFile::CustomRtdHeader(), "RTD",
                                                      r.customTable);
            size = r.customTable.size;
            break;
        case TableKind::SpecialCurve:
            saved = CFileOperations::WriteSpecialCurve(out, CglobalFile::SpecialCurveHeader(),
                                                       r.specialCurve);
            size = r.specialCurve.size;
            break;
    }
    if (!saved.ok()) return context.Fail(saved.error);
    context.Out() << "read a " << TableName(kind) << " of " << size << " points into " << outFile_
                  << '\n'
                  << std::flush;
    return kExitOk;
}

}  // namespace qt40::cli
