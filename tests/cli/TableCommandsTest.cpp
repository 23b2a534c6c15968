// The table commands of the command-line tool against the simulator on a
// pseudo-terminal, and `table check` on files alone.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "model/ScriptedPrompts.h"
#include "sim/SimPtyServer.h"
#include "tables/CFileOperations.h"
#include "tests/cli/CliRun.h"

namespace qt40::cli {
namespace {

using test::RunResult;
using test::RunCli;
using test::Contains;

class TableCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<sim::SimPtyServer>(sim::SimDevice{});
        ASSERT_TRUE(server->Start()) << server->LastError();
        port = server->SlavePath();
    }

    std::string File(const std::string& name, const std::string& text) {
        const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path) << text;
        return path;
    }

    template <class F>
    decltype(auto) Device(F&& f) {
        return server->WithDevice(
            [&](sim::SimDevice& d) -> decltype(auto) { return f(d.State()); });
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimPtyServer> server;
    std::string port;
};

TEST_F(TableCommandsTest, ATableWrittenFromAFileReadsBackWithTheSameValues) {
    const std::string in =
        File("in.txt", "Minimum TC Temperature = -10\nStep = 5\n{\n-0.5\n0.25\n1.125\n2.5\n}\n");
    const auto written =
        RunCli({"table", "write", "--kind", "tc", "--port", port, "--in", in, "--yes"});
    ASSERT_EQ(written.code, kExitOk) << written.err;
    EXPECT_TRUE(Contains(written.err, "point 4 of 4")) << written.err;
    EXPECT_TRUE(Contains(written.err, "storing")) << written.err;
    EXPECT_TRUE(Contains(written.out, "wrote 4 points")) << written.out;

    const std::string out = dir.filePath("out.txt").toStdString();
    const auto read = RunCli({"table", "read", "--kind", "tc", "--port", port, "--out", out});
    ASSERT_EQ(read.code, kExitOk) << read.err;
    EXPECT_TRUE(Contains(read.err, "point 4 of 4")) << read.err;

    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    reader.SetUp(TableReaderSetup::CustomTc());
    ASSERT_EQ(reader.ReadCustomTable(out), TableReadOutcome::Completed);
    EXPECT_TRUE(reader.Result().tableValid);
    EXPECT_EQ(reader.Result().minimumText, "-10");
    EXPECT_EQ(reader.Result().stepText, "5");
    EXPECT_EQ(reader.Result().xTexts,
              (std::vector<std::string>{"-0.500000", "0.250000", "1.125000", "2.500000"}));
}

TEST_F(TableCommandsTest, WithoutYesTheQuestionRefusesAndNothingIsSent) {
    const std::string in = File("in.txt", "{\n0,0\n50,40\n100,100\n}\n");
    const auto r = RunCli({"table", "write", "--kind", "curve", "--port", port, "--in", in});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(
        Contains(r.err,
                 "qt40cfg-cli: Write the special curve (linearization table) to the device? "
                 "(not answered; --yes answers it)"))
        << r.err;
    Device([](sim::SimState& s) { EXPECT_EQ(s.specialCurve.size, 5); });

    // The device uses the curve: refused even with --yes.
    Device([](sim::SimState& s) { s.transferFunction = 4; });
    const auto inUse =
        RunCli({"table", "write", "--kind", "curve", "--port", port, "--in", in, "--yes"});
    EXPECT_EQ(inUse.code, kExitFailed);
    EXPECT_TRUE(Contains(inUse.err,
                         "The transfer function is Special Curve. Select another transfer "
                         "function before writing the special curve."))
        << inUse.err;
    Device([](sim::SimState& s) { EXPECT_EQ(s.specialCurve.size, 5); });

    // With --yes the question is shown in words as a note, and answered.
    Device([](sim::SimState& s) { s.transferFunction = 0; });
    const auto yes =
        RunCli({"table", "write", "--kind", "curve", "--port", port, "--in", in, "--yes"});
    EXPECT_EQ(yes.code, kExitOk) << yes.err;
    EXPECT_TRUE(Contains(yes.err,
                         "qt40cfg-cli: note: Write the special curve (linearization table) to the "
                         "device? (answered Yes)\n"))
        << yes.err;
    Device([](sim::SimState& s) { EXPECT_EQ(s.specialCurve.size, 3); });
}

TEST_F(TableCommandsTest, CheckValidatesAFileOffline) {
    struct Case {
        const char* kind;
        const char* text;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {"tc", "Minimum = 0\nStep = 10\n{\n1\n2\n3\n}\n", kExitOk, "valid custom TC table of 3"},
        {"rtd", "Minimum = 0\nStep = 10\n{\n0\n100\n}\n", kExitFailed,
         "Point 1: the value 0 is not valid. The value of point 1 must be greater than 0 and at "
         "most 4000 ohms."},
        {"tc", "Minimum = 0\nStep = 10\n{\n5\n2\n}\n", kExitFailed,
         "Point 2 (2 mV) is smaller than point 1 (5.000 mV). Table values must "
         "not decrease."},
        {"tc", "Minimum = 0\n{\n1\n2\n}\n", kExitFailed,
         "The temperature step 0 is out of range (1 to 50)."},
        {"tc", "Minimum = 0\nStep = 10\n{\n1\n}\n", kExitFailed, "fewer than two points"},
        {"curve", "{\n0,0\n50;40\n}\n", kExitFailed,
         "Line 3 of the file has no comma between X and Y: 50;40; Reading the file stopped "
         "there."},
        {"curve", "{\n0,0\n\n100,100\n}\n", kExitOk, "valid special curve of 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto r = RunCli({"table", "check", "--kind", c.kind, "--in", File("t.txt", c.text)});
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_TRUE(Contains(r.out + r.err, c.says)) << r.out << r.err;
    }
    const auto missing = RunCli({"table", "check", "--kind", "tc", "--in", "/nonexistent/t.txt"});
    EXPECT_EQ(missing.code, kExitFailed);
    EXPECT_EQ(RunCli({"table", "check", "--in", "x"}).code, kExitUsage);
    EXPECT_EQ(RunCli({"table", "check", "--kind", "pt", "--in", "x"}).code, kExitUsage);
}

TEST_F(TableCommandsTest, RtdCoefficientsAreWrittenWithTheirScale) {
    const auto r =
        RunCli({"rtd-coefficients", "--port", port, "--a", "3.9083e-3", "--b", "-5.775e-7", "--c",
                 "-4.183e-12", "--r0", "100.5", "--lower", "-100", "--upper", "600"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "R0: 100.5")) << r.out;
    Device([](sim::SimState& s) {
        EXPECT_FLOAT_EQ(s.rtdA, 3.9083e-3f);
        EXPECT_FLOAT_EQ(s.rtdB, -5.775e-7f);
        EXPECT_FLOAT_EQ(s.rtdC, -4.183e-12f);
        EXPECT_FLOAT_EQ(s.rtdR0, 100.5f);
        EXPECT_EQ(s.rtdLowerLimit, -100);
        EXPECT_EQ(s.rtdUpperLimit, 600);
    });

    // A x 1000 beyond the entry's range: refused as the dialog would, nothing sent.
    const auto out = RunCli({"rtd-coefficients", "--port", port, "--a", "200", "--b", "0", "--c",
                              "0", "--r0", "100", "--lower", "0", "--upper", "100"});
    EXPECT_EQ(out.code, kExitUsage);
    EXPECT_TRUE(Contains(out.err,
                         "The value is out of range. Enter a value within the limits shown. "
                         "(200000)"))
        << out.err;
    Device([](sim::SimState& s) { EXPECT_FLOAT_EQ(s.rtdR0, 100.5f); });
}

// Numbers that only a parser of other notations takes ("0x10", "nan") are
// refused as the panel's entries refuse them, before the device is touched.
TEST_F(TableCommandsTest, RtdCoefficientsOutsideTheEntryRulesSendNothing) {
    const std::uint64_t before = server->RequestCount();
    const struct {
        const char* option;
        const char* value;
        const char* said;
    } rows[] = {
        {"--a", "nan", "--a nan is not a decimal number"},
        {"--b", "0x10", "--b 0x10 is not a decimal number"},
        {"--r0", "inf", "--r0 inf is not a decimal number"},
        {"--c", "1e", "--c 1e is not a decimal number"},
        {"--lower", "0x10", "The value is out of range"},
        {"--upper", "1001", "(1001)"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"rtd-coefficients", "--port", port, "--a", "3.9", "--b",
                                      "0", "--c", "0", "--r0", "100", "--lower", "0",
                                      "--upper", "100"};
        for (std::size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == row.option) args[i + 1] = row.value;
        }
        const auto r = RunCli(args);
        EXPECT_EQ(r.code, kExitUsage) << row.option << ' ' << row.value << ": " << r.err;
        EXPECT_TRUE(Contains(r.err, row.said)) << r.err;
    }
    EXPECT_EQ(server->RequestCount(), before);
    Device([](sim::SimState& s) { EXPECT_FLOAT_EQ(s.rtdR0, 100.0f); });
}

TEST_F(TableCommandsTest, AFileOfOnePointIsNamedAsSuchAndWarningsFollowYes) {
    const std::string one = File("one.txt", "Minimum = 0\nStep = 10\n{\n1\n}\n");
    for (bool yes : {false, true}) {
        std::vector<std::string> args{"table", "write", "--kind", "tc", "--port", port, "--in", one};
        if (yes) args.push_back("--yes");
        const auto r = RunCli(args);
        EXPECT_EQ(r.code, kExitFailed) << r.err;
        // What is wrong with the file, not the confirmation a write asks.
        EXPECT_EQ(r.err, "qt40cfg-cli: " + one +
                             ": holds no usable table (fewer than two points)\n");
    }
    Device([](sim::SimState& s) { EXPECT_NE(s.customTc.size, 1); });

    // A falling value is a warning that a write with --yes accepts: so does
    // the check with --yes, and without it the check says how to accept it.
    const std::string falling = File("falling.txt", "Minimum = 0\nStep = 10\n{\n5\n2\n}\n");
    auto r = RunCli({"table", "check", "--kind", "tc", "--in", falling, "--yes"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "a valid custom TC table of 2 points")) << r.out;
    EXPECT_TRUE(Contains(r.err, "note: Point 2 (2 mV) is smaller than point 1")) << r.err;
    r = RunCli({"table", "check", "--kind", "tc", "--in", falling});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Contains(r.err, "--yes answers it")) << r.err;
}

}  // namespace
}  // namespace qt40::cli
