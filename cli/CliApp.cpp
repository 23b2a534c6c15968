#include "cli/CliApp.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "cli/CliCommand.h"
#include "cli/CompareCommand.h"
#include "cli/DecodeCommand.h"
#include "cli/DownloadCommand.h"
#include "cli/FleetBackupCommand.h"
#include "cli/FleetCompareCommand.h"
#include "cli/FleetScanCommand.h"
#include "cli/IdentifyCommand.h"
#include "cli/LoopCheckCommand.h"
#include "cli/LoopTestCommand.h"
#include "cli/MonitorCommand.h"
#include "cli/PortsCommand.h"
#include "cli/ReportCommand.h"
#include "cli/ResetCommand.h"
#include "cli/RtdCoefficientsCommand.h"
#include "cli/SearchCommand.h"
#include "cli/SelfTestCommand.h"
#include "cli/SensorCalCommand.h"
#include "cli/SimCommand.h"
#include "cli/StatusCommand.h"
#include "cli/TableCheckCommand.h"
#include "cli/TableReadCommand.h"
#include "cli/TableWriteCommand.h"
#include "cli/TrimDacCommand.h"
#include "cli/UploadCommand.h"
#include "cli/WireResistanceCommand.h"

#ifndef QT40_VERSION
#define QT40_VERSION "0.0.0"
#endif

namespace qt40::cli {
namespace {

// The subcommands of one command line, registered as --help lists them.
class Registry {
public:
    Registry(CLI::App& app, CliContext& context) : app_(app), context_(context) {}

    template <class Command>
    void Add() {
        Add<Command>(app_);
    }
    template <class Command>
    void Add(CLI::App& parent) {
        commands_.push_back(std::make_unique<Command>());
        commands_.back()->Register(parent, context_);
    }
    // A subcommand that only holds others (`table read`, `fleet backup`).
    CLI::App& Group(const std::string& name, const std::string& description) {
        CLI::App* group = app_.add_subcommand(name, description);
        group->require_subcommand(1);
        return *group;
    }
    // The command the parsed command line chose; nothing before a parse.
    CliCommand* Chosen() const {
        for (const auto& command : commands_) {
            if (command->Chosen()) return command.get();
        }
        return nullptr;
    }

private:
    CLI::App& app_;
    CliContext& context_;
    std::vector<std::unique_ptr<CliCommand>> commands_;
};

void AddCommands(Registry& registry, CliContext& context) {
    registry.Add<PortsCommand>();
    registry.Add<IdentifyCommand>();
    registry.Add<SearchCommand>();
    registry.Add<UploadCommand>();
    registry.Add<MonitorCommand>();
    registry.Add<SimCommand>();

    CLI::App& table = registry.Group("table", "Custom tables: read, write or check");
    registry.Add<TableReadCommand>(table);
    registry.Add<TableWriteCommand>(table);
    registry.Add<TableCheckCommand>(table);
    AddTraceFlag(&table, context.Link());
    registry.Add<RtdCoefficientsCommand>();

    registry.Add<DownloadCommand>();
    registry.Add<CompareCommand>();

    registry.Add<LoopTestCommand>();
    registry.Add<TrimDacCommand>();
    registry.Add<SensorCalCommand>();
    registry.Add<WireResistanceCommand>();
    registry.Add<ResetCommand>();
    registry.Add<SelfTestCommand>();
    registry.Add<StatusCommand>();

    CLI::App& fleet = registry.Group("fleet", "Many transmitters at once, from a targets file");
    registry.Add<FleetScanCommand>(fleet);
    registry.Add<FleetBackupCommand>(fleet);
    registry.Add<FleetCompareCommand>(fleet);

    registry.Add<ReportCommand>();
    registry.Add<LoopCheckCommand>();

    registry.Add<DecodeCommand>();
}

}  // namespace

CliApp::CliApp(std::ostream& out, std::ostream& err) : context_(out, err) {}

int CliApp::Run(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"qt40cfg-cli"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    return Run(static_cast<int>(argv.size()), argv.data());
}

int CliApp::Run(int argc, const char* const* argv) {
    LinkOptions& link = context_.Link();
    link = LinkOptions{};
    CLI::App app{"QT40 HART transmitter from the command line", "qt40cfg-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("qt40cfg-cli ") + QT40_VERSION);
    AddTraceFlag(&app, link);
    Registry registry(app, context_);
    AddCommands(registry, context_);

    std::ostream& out = context_.Out();
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n';
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        context_.Err() << "qt40cfg-cli: " << e.what() << '\n';
        return kExitUsage;
    }
    CliCommand* const chosen = registry.Chosen();
    if (chosen == nullptr) return context_.Usage("no subcommand was chosen");

    if (!link.capture.empty() || link.trace == "decoded") {
        link.traffic =
            std::make_shared<CliTraffic>(link.capture, link.trace == "decoded", link.port);
        // The capture's path is checked before anything is sent.
        if (const auto error = link.traffic->Start()) return context_.Fail(*error);
    }
    const int code = chosen->Run(context_);
    // The capture is written however the command ended.
    if (link.traffic) {
        if (const auto error = link.traffic->Finish()) {
            const int failed = context_.Fail(*error);
            return code == kExitOk ? failed : code;
        }
    }
    return code;
}

}  // namespace qt40::cli
