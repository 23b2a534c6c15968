#pragma once
// What qt40cfg-cli's records share: `report` (the configuration report) and
// `loop-check` (the loop-check sheet), each saved as PDF or CSV in the words
// of a language file. They drive the same report reading and loop-check
// procedure as the window program.

#include <optional>
#include <string>

#include "cli/CliCommand.h"
#include "records/RecordDocument.h"
#include "records/RecordTexts.h"

namespace qt40::cli {

class CliConnection;

// `loop-check`: the sheet was saved, and a point lies outside the tolerance.
inline constexpr int kExitCheckFailed = 3;

// Whether this build writes PDF files (it needs Qt).
bool WritesPdf();

// A command that reads the device and saves a record (--out, --language, --page).
class RecordCommand : public CliCommand {
public:
    // Checks the file, the language and the values given, connects, runs
    // MakeRecord and disconnects.
    int Run(CliContext& context) final;

protected:
    using CliCommand::CliCommand;

    // The link options, --out, --language and --page; a command adds its
    // own after them.
    void AddOptions(CLI::App& command, CliContext& context) override;
    // Why a value the command line gives is refused before anything is
    // connected; nothing when all are taken.
    virtual std::optional<std::string> RefusedArgument() { return std::nullopt; }
    // The command's work on the connected device; the exit code.
    virtual int MakeRecord(CliContext& context, CliConnection& c) = 0;

    // Saves `doc` as --out names it and says so; the exit code.
    int Save(CliContext& context, const RecordDocument& doc) const;
    // The record's words: the language file chosen, else the built-in English.
    const RecordTexts& Texts() const { return texts_; }

private:
    std::string outFile_;
    std::string language_ = "English.lng";
    std::string page_;
    RecordTexts texts_;
};

}  // namespace qt40::cli
