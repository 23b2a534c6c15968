#pragma once
// qt40cfg-cli's records: `report` (the configuration report) and
// `loop-check` (the loop-check sheet), as PDF or CSV. They drive the same
// report reading and loop-check procedure as the window program.

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/LinkTiming.h"
#include "link/NotificationSink.h"
#include "records/LoopCheckSheet.h"
#include "records/RecordDocument.h"
#include "records/RecordTexts.h"

namespace CLI {
class App;
}

namespace qt40 {
class LoopCheckProcedure;
}

namespace qt40::cli {

struct LinkOptions;
class CliConnection;
class ConsoleLines;

// `loop-check`: the sheet was saved, and a point lies outside the tolerance.
inline constexpr int kExitCheckFailed = 3;

class RecordCommands {
public:
    struct Hooks {
        std::function<bool()> interrupted;  // SIGINT, SIGTERM, SIGHUP or a stop request came
    };
    RecordCommands(std::ostream& out, std::ostream& err, Hooks hooks);
    ~RecordCommands();

    void Register(CLI::App& app, LinkOptions& link);
    // The exit code of the subcommand chosen, when it is one of these.
    std::optional<int> Run(const LinkTiming& timing, int reconnectWaitMs);

    // Whether this build writes PDF files (it needs Qt).
    static bool WritesPdf();

private:
    struct Outcome {
        bool ok = false;
        std::string error;
    };
    int Report(CliConnection& c);
    int LoopCheck(CliConnection& c);
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
    int Save(const RecordDocument& doc);
    int Fail(const std::string& message, int code = 1);
    int Usage(const std::string& message) { return Fail(message, 2); }
    bool Interrupted() const { return hooks_.interrupted && hooks_.interrupted(); }

    std::ostream& out_;
    std::ostream& err_;
    Hooks hooks_;
    LinkOptions* link_ = nullptr;
    CLI::App* report_ = nullptr;
    CLI::App* loopCheck_ = nullptr;

    std::string outFile_;
    std::string language_ = "English.lng";
    std::string page_;
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

    RecordTexts texts_;
    std::unique_ptr<ConsoleLines> lines_;
    LoopCheckSheet sheet_;
    std::string stopped_;  // why a run ended early
    std::optional<LoopStop> stopReason_;
};

}  // namespace qt40::cli
