// What a technician with a real modem types: stable device names that hold
// colons, and the line setting of a plain Bell 202 modem on every command.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <unistd.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "cli/CliConnection.h"
#include "sim/SimLoopbackPort.h"
#include "sim/SimPtyServer.h"

namespace qt40::cli {
namespace {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

CliRun RunCli(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    CliApp app(out, err);
    LinkTiming timing = LinkTiming::Fast();
    timing.answerTimeoutMs = 300;
    timing.interByteTimeoutMs = 200;
    timing.searchAnswerTimeoutMs = 200;
    app.SetTiming(timing, 0);
    CliRun r;
    r.code = app.Run(args);
    r.out = out.str();
    r.err = err.str();
    return r;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The subcommands a help text lists, with their parents' names.
std::vector<std::vector<std::string>> Commands(const std::vector<std::string>& parent = {}) {
    std::vector<std::string> args = parent;
    args.push_back("--help");
    std::istringstream help(RunCli(args).out);
    std::vector<std::vector<std::string>> commands;
    bool listing = false;
    for (std::string line; std::getline(help, line);) {
        if (line == "Subcommands:") {
            listing = true;
        } else if (listing && line.size() > 2 && line[0] == ' ' && line[2] != ' ') {
            auto command = parent;
            command.push_back(line.substr(2, line.find(' ', 2) - 2));
            commands.push_back(command);
        }
    }
    return commands;
}

TEST(ModemOptions, NamesWithColonsAreOpenedWhole) {
    sim::SimPtyServer server(sim::SimDevice(sim::SimModel::QT40, 0));
    ASSERT_TRUE(server.Start()) << server.LastError();
    QTemporaryDir dir;
    // As udev names an adapter by where it is plugged in.
    const std::string name = dir.filePath("pci-0000:00:14.0-usb-0:2:1.0-port0").toStdString();
    ASSERT_EQ(::symlink(server.SlavePath().c_str(), name.c_str()), 0);

    const CliRun identify = RunCli({"identify", "--port", name});
    ASSERT_EQ(identify.code, kExitOk) << identify.err;
    EXPECT_TRUE(Has(identify.out, "deviceTypeName: QT40\n")) << identify.out;

    const CliRun upload = RunCli({"upload", "--port", name, "--json", "--line", "1200-8O1"});
    ASSERT_EQ(upload.code, kExitOk) << upload.err;
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(upload.out)).object();
    EXPECT_EQ(root["port"].toString().toStdString(), name);
    EXPECT_EQ(root["device"].toObject()["deviceTypeName"].toString(), "QT40");

    // A name that is not there is reported whole, not cut at its first colon.
    const std::string missing = dir.filePath("pci-0000:00:1d.0-usb-0:1:1.0-port0").toStdString();
    const CliRun absent = RunCli({"identify", "--port", missing});
    EXPECT_EQ(absent.code, kExitFailed);
    EXPECT_TRUE(Has(absent.err, "There is no port " + missing + ".")) << absent.err;
}

// Every command that names a port takes --line, says so in its help, and
// refuses a setting it does not know as a wrong command line.
TEST(ModemOptions, EveryCommandThatNamesAPortTakesTheLine) {
    // What each command needs besides the port to get as far as opening it.
    const std::map<std::string, std::vector<std::string>> needs = {
        {"identify", {}},
        {"search", {}},
        {"upload", {}},
        {"monitor", {"--count", "1"}},
        {"table read", {"--kind", "tc", "--out", "/tmp/qt40-never-written.tbl"}},
        {"table write", {"--kind", "tc", "--in", "/tmp/qt40-no-such-table.tbl"}},
        {"rtd-coefficients",
         {"--a", "3.9083e-3", "--b", "-5.775e-7", "--c", "0", "--r0", "100", "--lower", "-200",
          "--upper", "850"}},
        {"download", {"--in", "/tmp/qt40-no-such-config.cfg"}},
        {"compare", {"--in", "/tmp/qt40-no-such-config.cfg"}},
        {"loop-test", {"--ma", "12"}},
        {"trim-dac", {"--point", "lower", "--measured", "4.01"}},
        {"sensor-cal", {"--kind", "zero", "--value", "0"}},
        {"wire-resistance", {}},
        {"reset", {}},
        {"self-test", {}},
        {"status", {}},
        {"report", {"--out", "/tmp/qt40-never-written.csv"}},
        {"loop-check", {"--measured", "4,8,12,16,20", "--out", "/tmp/qt40-never-written.csv"}},
    };
    std::vector<std::vector<std::string>> commands = Commands();
    int withPort = 0;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const auto nested = Commands(commands[i]);
        commands.insert(commands.end(), nested.begin(), nested.end());
        std::vector<std::string> args = commands[i];
        std::string name;
        for (const auto& word : args) name += (name.empty() ? "" : " ") + word;
        SCOPED_TRACE(name);
        args.push_back("--help");
        const std::string help = RunCli(args).out;
        if (!Has(help, "--port")) continue;
        ++withPort;
        EXPECT_TRUE(Has(help, "--line")) << help;
        EXPECT_TRUE(Has(help, "1200-8O1")) << help;
        ASSERT_TRUE(needs.count(name)) << "a new command that names a port: add it here";

        args = commands[i];
        args.insert(args.end(), {"--port", "/dev/qt40-no-such-port", "--line", "1200-8O1"});
        args.insert(args.end(), needs.at(name).begin(), needs.at(name).end());
        const CliRun accepted = RunCli(args);
        EXPECT_NE(accepted.code, kExitUsage) << accepted.err;
        EXPECT_FALSE(Has(accepted.err, "--line")) << accepted.err;

        args[args.size() - needs.at(name).size() - 1] = "300-7E2";
        const CliRun refused = RunCli(args);
        EXPECT_EQ(refused.code, kExitUsage);
        EXPECT_TRUE(Has(refused.err, "--line")) << refused.err;
    }
    EXPECT_EQ(withPort, static_cast<int>(needs.size()));
}

// Given a cable that holds carrier detect on, the command says why in the
// words of the language file, naming the port.
TEST(ModemOptions, ACarrierThatNeverDropsIsSaidInWords) {
    VirtualClock lineClock;  // never advances: the carrier stays on
    sim::SimDevice device;
    CliConnection::Options options;
    options.port = "COM3";
    options.timing = LinkTiming::Fast();
    options.reconnectWaitMs = 0;
    options.makePort = [&]() -> std::unique_ptr<SerialPort> {
        auto port = std::make_unique<sim::SimLoopbackPort>(device, lineClock);
        port->Line().hasCarrierLine = true;
        port->Line().carrierOnUntil = lineClock.NowMs() + 1;
        return port;
    };
    std::ostringstream out;
    CliConnection connection(options, out, [] { return false; });
    const CliOutcome outcome = connection.Identify(0);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(Has(outcome.error, "The modem on COM3 hears a carrier all the time")) << outcome.error;
    EXPECT_TRUE(Has(outcome.error, "holds the carrier detect line (DCD) on")) << outcome.error;
}

}  // namespace
}  // namespace qt40::cli
