// qt40cfg-cli download and compare against the simulator on a pseudo-terminal.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "cli/FileCommands.h"
#include "files/CFilePropertyReadWrite.h"
#include "sim/SimPtyServer.h"
#include "tests/cli/CliRun.h"

namespace qt40::cli {
namespace {

using test::RunResult;
using test::RunCli;
using test::Lines;
using test::Contains;

class FileCommandsTest : public ::testing::Test {
protected:
    void Start(sim::SimModel model = sim::SimModel::QT40) {
        server = std::make_unique<sim::SimPtyServer>(sim::SimDevice(model));
        ASSERT_TRUE(server->Start()) << server->LastError();
        port = server->SlavePath();
    }

    // The device's own configuration file, changed by `edit`.
    std::string File(const std::function<void(FileConfig&)>& edit) {
        const std::string path = dir.filePath("plant.txt").toStdString();
        const auto up = RunCli({"upload", "--port", port, "--out", path});
        EXPECT_EQ(up.code, kExitOk) << up.err;
        CFilePropertyReadWrite file;
        EXPECT_TRUE(file.Read(path).ok());
        FileConfig config = file.Values();
        edit(config);
        EXPECT_TRUE(SaveConfigFile(path, config).ok());
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

TEST_F(FileCommandsTest, DownloadThenCompareOfTheSameFileFindsNoDifference) {
    Start();
    const std::string file = File([](FileConfig& c) {
        c.tag = "CLONE-7";  // the device pads it; not a difference
        c.pvDamping = "3.500";
        c.aoAlarmLow = "3.780";
        c.finalAssemblyNo = "4242";
    });
    const auto download = RunCli({"download", "--port", port, "--in", file});
    ASSERT_EQ(download.code, kExitOk) << download.err << download.out;
    EXPECT_TRUE(download.out.empty()) << download.out;
    const auto steps = Lines(download.err);
    ASSERT_EQ(steps.size(), 18u) << download.err;
    EXPECT_EQ(steps.front(), "step 1/18: Tag No., Descriptor, Date (request 418)");
    EXPECT_EQ(steps[5], "step 6/18: PV Damping (request 410)");
    EXPECT_EQ(steps.back(),
              "step 18/18: AO Saturation High Value, AO Saturation Low Value (request 430)");
    Device([](sim::SimState& s) {
        EXPECT_EQ(s.tag, "CLONE-7 ");
        EXPECT_FLOAT_EQ(s.damping, 3.5f);
        EXPECT_FLOAT_EQ(s.aoAlarmLow, 3.78f);
        EXPECT_EQ(s.finalAssemblyNo, 4242u);
    });

    const auto compare = RunCli({"compare", "--port", port, "--in", file});
    EXPECT_EQ(compare.code, kExitOk) << compare.err << compare.out;
    EXPECT_TRUE(compare.out.empty()) << compare.out;
}

TEST_F(FileCommandsTest, CompareListsEachDifferingRowWithBothValues) {
    Start();
    const std::string file = File([](FileConfig& c) {
        c.pvDamping = "9.000";
        c.aoAlarmMode = "Low";
        c.message = "qt40 simulated transmitter";  // case counts
        c.deviceId = "1";                          // not written by a download: not compared
    });
    const auto r = RunCli({"compare", "--port", port, "--in", file});
    EXPECT_EQ(r.code, kExitDiffers) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                "Message: qt40 simulated transmitter | QT40 SIMULATED TRANSMITTER"
                                "      ",
                                "PV Damping: 9.000 | 2.000",
                                "AO Alarm Mode: Low | High",
                            }));
}

TEST_F(FileCommandsTest, DownloadFailuresEndWithOneLineAndWhatWasWritten) {
    struct Case {
        const char* name;
        sim::SimModel model;
        std::function<void(FileConfig&)> edit;
        std::vector<std::string> said;
        std::function<void(sim::SimState&)> device;
    };
    const Case cases[] = {
        {"another model",
         sim::SimModel::QT30,
         [](FileConfig& c) { c.tag = "X"; },
         {"is a QT30, not a QT40", "nothing was written"},
         [](sim::SimState& s) { EXPECT_EQ(s.tag, "TT-101  "); }},
        {"an empty damping",
         sim::SimModel::QT40,
         [](FileConfig& c) {
             c.pvUpperRange = "120.000";
             c.pvDamping.clear();
             c.aoAlarmMode = "Low";
         },
         {"stopped at PV Damping: the file has no value", "the rows before it were written"},
         [](sim::SimState& s) {
             EXPECT_FLOAT_EQ(s.upperRange, 120.0f);
             EXPECT_EQ(s.aoAlarmMode, 0);
         }},
        {"a name no table knows",
         sim::SimModel::QT40,
         [](FileConfig& c) { c.burnoutDetection = "MAYBE"; },
         {"stopped at Burnout Detection: \"MAYBE\" cannot be written"},
         nullptr},
        // One byte counts the years from 1900: 2205 would be written as 1949.
        {"a date the device cannot hold",
         sim::SimModel::QT40,
         [](FileConfig& c) {
             c.tag = "NEW-1";
             c.date = "2205/01/01";
         },
         {"stopped at Date: \"2205/01/01\" cannot be written", "; nothing was written"},
         [](sim::SimState& s) {
             EXPECT_EQ(s.tag, "TT-101  ");
             EXPECT_EQ(s.yearSince1900, 126);  // 2026, as before
         }},
        {"a tag holding a character packed ASCII lacks",
         sim::SimModel::QT40,
         [](FileConfig& c) { c.tag = "TT~101"; },
         {"stopped at Tag No.: \"TT~101\" holds \"~\", a character the device cannot store"},
         [](sim::SimState& s) {
             EXPECT_EQ(s.tag, "TT-101  ");
             EXPECT_EQ(s.yearSince1900, 126);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Start(c.model);
        const std::string file = File(c.edit);
        const auto r = RunCli({"download", "--port", port, "--in", file});
        EXPECT_EQ(r.code, kExitFailed);
        ASSERT_FALSE(r.err.empty());
        const std::string last = Lines(r.err).back();
        EXPECT_EQ(last.rfind("qt40cfg-cli: ", 0), 0u) << last;
        for (const std::string& part : c.said) EXPECT_TRUE(Contains(last, part)) << last;
        if (c.device) Device(c.device);
        server->Stop();
    }
}

// A hand-edited file leaves blanks after names and numbers: they are no
// part of them, so the download goes through and nothing differs after it.
TEST_F(FileCommandsTest, BlanksAfterNamesAndNumbersDoNotStopTheDownload) {
    Start();
    const std::string file = File([](FileConfig& c) {
        c.sensorType += " ";
        c.sensorWires += "\t";
        c.pvUnit += " ";
        c.burnoutDetection = "OFF ";
        c.pvDamping = "3.500 ";
        c.sensorSerialNo += " ";
    });
    const auto download = RunCli({"download", "--port", port, "--in", file});
    EXPECT_EQ(download.code, kExitOk) << download.err << download.out;
    Device([](sim::SimState& s) {
        EXPECT_FLOAT_EQ(s.damping, 3.5f);
        EXPECT_EQ(s.burnoutDetection, 0);
    });
    const auto compare = RunCli({"compare", "--port", port, "--in", file});
    EXPECT_EQ(compare.code, kExitOk) << compare.out;
}

TEST_F(FileCommandsTest, AFileThatCannotBeReadOrAMissingOptionTouchesNoDevice) {
    Start();
    const auto missing =
        RunCli({"download", "--port", port, "--in", dir.filePath("none.txt").toStdString()});
    EXPECT_EQ(missing.code, kExitFailed);
    EXPECT_TRUE(Contains(missing.err, "none.txt")) << missing.err;
    EXPECT_EQ(RunCli({"compare", "--port", port}).code, kExitUsage);
    EXPECT_EQ(server->RequestCount(), 0u);
}

}  // namespace
}  // namespace qt40::cli
