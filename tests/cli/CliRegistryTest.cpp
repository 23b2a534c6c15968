// The command line as a whole: the registry of subcommands, the usage errors
// no subcommand sees, and the context every subcommand runs with.

#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "cli/CliContext.h"
#include "tests/cli/CliRun.h"

namespace qt40::cli {
namespace {

using test::Contains;
using test::Lines;
using test::RunCli;

struct Listed {
    std::string name;
    std::string description;
};

// The subcommands a help text lists, in its order.
std::vector<Listed> SubcommandsOf(const std::string& help) {
    std::vector<Listed> listed;
    bool in = false;
    for (const std::string& line : Lines(help)) {
        if (line == "Subcommands:") {
            in = true;
        } else if (in && line.empty()) {
            break;
        } else if (in) {
            std::istringstream words(line);
            Listed l;
            words >> l.name;
            std::getline(words >> std::ws, l.description);
            listed.push_back(l);
        }
    }
    return listed;
}

std::vector<std::string> Names(const std::vector<Listed>& listed) {
    std::vector<std::string> names;
    for (const Listed& l : listed) names.push_back(l.name);
    return names;
}

TEST(CliRegistry, EverySubcommandIsListedOnceWithAHelpLineAndAHelpOfItsOwn) {
    const auto top = RunCli({"--help"});
    ASSERT_EQ(top.code, kExitOk) << top.err;
    const std::vector<Listed> commands = SubcommandsOf(top.out);
    EXPECT_EQ(
        Names(commands),
        (std::vector<std::string>{
            "ports",      "identify",         "search",   "upload",    "monitor",   "sim",
            "table",      "rtd-coefficients", "download", "compare",   "loop-test", "trim-dac",
            "sensor-cal", "wire-resistance",  "reset",    "self-test", "status",    "fleet",
            "report",     "loop-check",       "decode"}));
    const std::vector<std::pair<std::string, std::vector<std::string>>> groups = {
        {"table", {"read", "write", "check"}},
        {"fleet", {"scan", "backup", "compare"}},
    };
    std::vector<std::vector<std::string>> paths;
    for (const Listed& c : commands) paths.push_back({c.name});
    for (const auto& [group, members] : groups) {
        const auto help = RunCli({group, "--help"});
        ASSERT_EQ(help.code, kExitOk) << help.err;
        const std::vector<Listed> listed = SubcommandsOf(help.out);
        EXPECT_EQ(Names(listed), members) << group;
        for (const Listed& l : listed) {
            EXPECT_FALSE(l.description.empty()) << group << " " << l.name;
            paths.push_back({group, l.name});
        }
    }
    std::set<std::string> distinct;
    for (const Listed& c : commands) {
        EXPECT_TRUE(distinct.insert(c.name).second) << c.name << " is listed twice";
        EXPECT_FALSE(c.description.empty()) << c.name;
    }
    for (std::vector<std::string> path : paths) {
        const std::string joined = path.size() == 1 ? path[0] : path[0] + " " + path[1];
        SCOPED_TRACE(joined);
        path.push_back("--help");
        const auto r = RunCli(path);
        EXPECT_EQ(r.code, kExitOk);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(Contains(r.out, "Usage: qt40cfg-cli " + joined)) << r.out;
    }
}

TEST(CliRegistry, ACommandLineNoSubcommandTakesIsOneLineAndExitTwo) {
    const std::vector<std::vector<std::string>> rows = {
        {"frobnicate"},
        {"table"},
        {"table", "erase", "--kind", "tc"},
        {"fleet"},
        {"fleet", "scan"},
        {"identify", "--port", "/dev/null", "extra"},
        {"--trace=binary", "ports"},
    };
    for (const auto& args : rows) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        const auto r = RunCli(args);
        EXPECT_EQ(r.code, kExitUsage);
        EXPECT_EQ(r.out, "");
        ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("qt40cfg-cli: ", 0), 0u) << r.err;
    }
}

TEST(CliContextTest, AFailureLetsWhatWasPrintedLeaveFirstAndNeitherStreamCarriesControls) {
    std::ostringstream out;
    std::ostringstream err;
    CliContext context(out, err);
    context.Out() << "tag \x1b[2Jwiped";
    EXPECT_EQ(out.str(), "");  // a line not yet ended is held
    EXPECT_EQ(context.Fail("port \x1b]0;title\x07 gone"), kExitFailed);
    EXPECT_EQ(context.Usage("bad"), kExitUsage);
    EXPECT_EQ(context.Fail("stored", 3), 3);
    EXPECT_TRUE(Contains(out.str(), "tag ")) << out.str();
    EXPECT_TRUE(Contains(out.str(), "wiped")) << out.str();
    const std::vector<std::string> lines = Lines(err.str());
    ASSERT_EQ(lines.size(), 3u) << err.str();
    EXPECT_EQ(lines[1], "qt40cfg-cli: bad");
    EXPECT_EQ(lines[2], "qt40cfg-cli: stored");
    for (const std::string& text : {out.str(), err.str()}) {
        EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
        EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
    }
}

TEST(CliContextTest, AStopRequestOrAWatchedHangUpEndsEveryWait) {
    std::ostringstream out;
    {
        CliContext context(out, out);
        EXPECT_FALSE(context.Interrupted());
        context.RequestStop();
        EXPECT_TRUE(context.Interrupted());
        context.WaitInterruptible(3600 * 1000);  // returns at once
        EXPECT_TRUE(context.Interrupted());
    }
    // The signal waits blocked, as main() blocks it, until a context that
    // watches takes it; one that does not watch leaves it be.
    sigset_t hup;
    sigset_t previous;
    sigemptyset(&hup);
    sigaddset(&hup, SIGHUP);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &hup, &previous), 0);
    CliContext deaf(out, out);
    CliContext watching(out, out);
    watching.WatchSignals(true);
    EXPECT_FALSE(watching.Interrupted());
    ASSERT_EQ(pthread_kill(pthread_self(), SIGHUP), 0);
    EXPECT_FALSE(deaf.Interrupted());
    EXPECT_TRUE(watching.Interrupted());
    watching.WaitInterruptible(3600 * 1000);  // returns at once
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGHUP), 0);  // taken, not left for the next command
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace
}  // namespace qt40::cli
