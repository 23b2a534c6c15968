#pragma once
// qt40cfg-cli loop-check: the output fixed at each point, the meter's
// readings taken (given, or typed on standard input), and the loop-check
// sheet saved; an as-left run and a DAC trim between the runs on request.
// The loop is released at the end, whatever ended the check.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliContext.h"
#include "cli/RecordCommands.h"
#include "link/NotificationSink.h"
#include "records/LoopCheckSheet.h"

namespace qt40 {
class LoopCheckProcedure;
}

namespace qt40::cli {

class ConsoleLines;

class LoopCheckCommand final : public RecordCommand {
public:
    LoopCheckCommand();
    ~LoopCheckCommand() override;

private:
    struct Outcome {
        bool ok = false;
        std::string error;
    };
    void AddOptions(CLI::App& command, CliContext& context) override;
    std::optional<std::string> RefusedArgument() override;
    int MakeRecord(CliContext& context, CliConnection& c) override;
    // One run over the sheet's points; readings from `given` or typed.
    Outcome RunPoints(CliConnection& c, LoopCheckProcedure& check, LoopRunKind kind,
                      const std::vector<std::string>& given);
    Outcome Trim(CliConnection& c);
    // A line typed on standard input, the worker's notifications handed to
    // `handle` (then the connection logic) meanwhile; nothing when input
    // ended, a signal came or `gone` holds (the procedure ended meanwhile).
    std::optional<std::string> ReadLine(CliConnection& c, const std::string& prompt,
                                        const std::function<bool(const Notification&)>& handle = {},
                                        const std::function<bool()>& gone = {});
    bool Interrupted() const { return context_->Interrupted(); }
    std::ostream& Out() const { return context_->Out(); }
    std::ostream& Err() const { return context_->Err(); }

    std::string points_ = "0,25,50,75,100";
    std::string tolerance_ = "0.25";
    std::string measured_;
    std::string leftMeasured_;
    std::string trimMeasured_;
    bool asLeft_ = false;
    bool trim_ = false;
    std::string technician_;
    std::string meter_;
    std::string note_;

    CliContext* context_ = nullptr;  // while MakeRecord runs
    std::unique_ptr<ConsoleLines> lines_;
    LoopCheckSheet sheet_;
    std::string stopped_;  // why a run ended early
    std::optional<LoopStop> stopReason_;
};

}  // namespace qt40::cli
