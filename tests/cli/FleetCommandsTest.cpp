// qt40cfg-cli fleet against a small plant of simulated loops on pseudo-terminals.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliApp.h"
#include "cli/FileCommands.h"
#include "fleet/BackupNaming.h"
#include "sim/SimMultidrop.h"
#include "sim/SimPtyServer.h"
#include "tests/cli/CliRun.h"

namespace qt40::cli {
namespace {

using test::RunResult;
using test::RunCli;
using test::Lines;
using test::Contains;
using test::Slurp;

namespace fs = std::filesystem;

// One loop of the plant behind a pseudo-terminal.
struct Loop {
    explicit Loop(sim::SimMultidrop devices) : devices(std::move(devices)), server(this->devices.Responder()) {
        EXPECT_TRUE(server.Start()) << server.LastError();
    }
    sim::SimMultidrop devices;
    sim::SimPtyServer server;
    std::string Path() const { return server.SlavePath(); }
};

constexpr const char* kDeadPort = "/dev/nonexistent-qt40-fleet-port";

class FleetCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Loop A: two QT40s and a device of another model at 3. Loop B: one
        // transmitter at address 0 whose tag cannot be a file name as it is.
        // Loop C: two QT40s.
        a = std::make_unique<Loop>(sim::SimMultidrop::Plant(
            3, 1000, {sim::SimModel::QT40, sim::SimModel::QT40, sim::SimModel::QT30}));
        b = std::make_unique<Loop>(sim::SimMultidrop::Plant(1, 2000));
        b->devices.WithDevice(0, [](sim::SimDevice& d) {
            d.State().pollingAddress = 0;
            d.State().tag = "A/B:C*  ";
            d.State().configChanged = true;
        });
        a->devices.WithDevice(2, [](sim::SimDevice& d) { d.State().additionalStatus[0] = 1; });
        c = std::make_unique<Loop>(sim::SimMultidrop::Plant(2, 3000));
    }

    std::string Targets(const std::string& text) {
        const std::string path = dir.filePath("targets.txt").toStdString();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string Plant(bool withDeadPort) {
        return Targets("# unit 2\n" + a->Path() + " 1-3\n" +
                       (withDeadPort ? std::string(kDeadPort) + " 0   # modem not plugged in\n"
                                     : std::string()) +
                       b->Path() + "\n" + c->Path() + " 1-2\n");
    }
    std::string Path(const std::string& name) { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    QTemporaryDir dir;
    std::unique_ptr<Loop> a, b, c;
};

TEST_F(FleetCommandsTest, ScanListsEveryDeviceInTheOrderOfTheTargetsAndNamesTheDeadPort) {
    const auto r = RunCli({"fleet", "scan", "--targets", Plant(true), "--jobs", "3"});
    EXPECT_EQ(r.code, kExitFailed) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{
                                a->Path() + "\t1\tTT-101\t1000\tQT40\t0x00",
                                a->Path() + "\t2\tTT-102\t1001\tQT40\t0x00",
                                a->Path() + "\t3\t-\t1002\tQT30\t0x10",
                                b->Path() + "\t0\tA/B:C*\t2000\tQT40\t0x40 CFG",
                                c->Path() + "\t1\tTT-101\t3000\tQT40\t0x00",
                                c->Path() + "\t2\tTT-102\t3001\tQT40\t0x00",
                            }))
        << r.out;
    const auto err = Lines(r.err);
    EXPECT_TRUE(Contains(r.err, std::string("qt40cfg-cli: ") + kDeadPort + ": There is no port"))
        << r.err;
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.back(), "4 of 4 endpoints, 6 devices, 1 failed");
}

TEST_F(FleetCommandsTest, BackupSavesWhatASingleUploadSavesAndCompareNamesTheChangedRow) {
    const std::string backup = Path("backup");
    const auto saved = RunCli({"fleet", "backup", "--targets", Plant(true), "--out", backup});
    EXPECT_EQ(saved.code, kExitFailed) << saved.err;  // the dead port

    // Every file byte for byte what `upload --out` saves of that device.
    struct Expected {
        std::string port;
        int address;
        std::string file;
    };
    const std::vector<Expected> expected = {
        {a->Path(), 1, "TT-101_1000.txt"}, {a->Path(), 2, "TT-102_1001.txt"},
        {b->Path(), 0, "A_B_C__2000.txt"}, {c->Path(), 1, "TT-101_3000.txt"},
        {c->Path(), 2, "TT-102_3001.txt"}};
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(backup)) names.insert(entry.path().filename().string());
    std::set<std::string> wanted{"index.csv"};
    for (const Expected& e : expected) wanted.insert(e.file);
    EXPECT_EQ(names, wanted);
    for (const Expected& e : expected) {
        const std::string single = Path("single.txt");
        const auto up = RunCli({"upload", "--port", e.port, "--address", std::to_string(e.address),
                                "--out", single});
        ASSERT_EQ(up.code, kExitOk) << up.err;
        EXPECT_EQ(Slurp(fs::path(backup) / e.file), Slurp(single)) << e.file;
    }

    const auto index = Lines(Slurp(fs::path(backup) / "index.csv"));
    ASSERT_EQ(index.size(), 8u) << Slurp(fs::path(backup) / "index.csv");
    EXPECT_EQ(index[0], "endpoint,address,tag,device ID,file,time,result");
    EXPECT_TRUE(index[1].starts_with(a->Path() + ",1,TT-101,1000,TT-101_1000.txt,20")) << index[1];
    EXPECT_TRUE(index[1].ends_with("Z,saved")) << index[1];
    EXPECT_TRUE(index[3].ends_with("Z,not a QT40 (QT30): skipped")) << index[3];
    EXPECT_TRUE(index[4].starts_with(std::string(kDeadPort) + ",,,,,20")) << index[4];
    EXPECT_TRUE(Contains(index[4], "Z,\"failed: There is no port")) << index[4];
    EXPECT_TRUE(index[5].starts_with(b->Path() + ",0,A/B:C*,2000,A_B_C__2000.txt,")) << index[5];

    // Nothing changed: every device matches its file.
    const std::string plant = Plant(false);
    const auto same = RunCli({"fleet", "compare", "--targets", plant, "--in", backup});
    EXPECT_EQ(same.code, kExitOk) << same.err << same.out;
    EXPECT_EQ(same.out, "");

    // Someone changed a range in the field on loop C, address 2.
    c->devices.WithDevice(1, [](sim::SimDevice& d) { d.State().upperRange = 150.0f; });
    const std::string report = Path("report.html");
    const auto changed =
        RunCli({"fleet", "compare", "--targets", plant, "--in", backup, "--report", report});
    EXPECT_EQ(changed.code, kExitDiffers) << changed.err;
    EXPECT_EQ(Lines(changed.out),
              (std::vector<std::string>{
                  c->Path() + " address 2, tag TT-102, device ID 3001, file TT-102_3001.txt:",
                  "PV Upper Range: 100.000 | 150.000"}))
        << changed.out;
    const std::string html = Slurp(report);
    EXPECT_TRUE(Contains(html, "<td>PV Upper Range</td><td class=\"value\">100.000</td>"
                               "<td class=\"value\">150.000</td>"))
        << html;
    EXPECT_TRUE(Contains(html, "<td>A/B:C*</td>"));

    // A device without its file and a file without its device are both named.
    fs::remove(fs::path(backup) / "A_B_C__2000.txt");
    fs::copy_file(fs::path(backup) / "TT-101_3000.txt", fs::path(backup) / "old.txt");
    {
        std::string text = Slurp(fs::path(backup) / "old.txt");
        const std::string from = "= 3000\r\n";
        text.replace(text.find(from), from.size(), "= 4040\r\n");
        std::ofstream(fs::path(backup) / "old.txt", std::ios::binary) << text;
    }
    const auto missing = RunCli({"fleet", "compare", "--targets", plant, "--in", backup});
    EXPECT_EQ(missing.code, kExitDiffers) << missing.err;
    const auto lines = Lines(missing.out);
    ASSERT_EQ(lines.size(), 3u) << missing.out;
    EXPECT_EQ(lines[0], "no saved file: " + b->Path() + " address 0, tag A/B:C*, device ID 2000");
    // A file the latest backup does not list is an older one: named, not compared.
    EXPECT_TRUE(Contains(missing.err, "old.txt is not in index.csv (an older file): not compared"))
        << missing.err;
    EXPECT_TRUE(Contains(missing.err, "index.csv lists A_B_C__2000.txt, which cannot be read"))
        << missing.err;

    // A failed endpoint outweighs differences.
    const auto dead = RunCli({"fleet", "compare", "--targets", Plant(true), "--in", backup});
    EXPECT_EQ(dead.code, kExitFailed) << dead.err;
}

TEST_F(FleetCommandsTest, ABadTargetsLineIsRefusedByNumberBeforeAnythingIsSent) {
    const std::string targets = Targets(a->Path() + " 1\n\nhartip://gw:70000 1\n" + c->Path() + "\n");
    const auto r = RunCli({"fleet", "backup", "--targets", targets, "--out", Path("never")});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.err, "qt40cfg-cli: " + targets +
                         " line 3: the port \"70000\" must be a number from 1 to 65535\n");
    EXPECT_EQ(a->server.RequestCount(), 0u);
    EXPECT_EQ(c->server.RequestCount(), 0u);
    EXPECT_FALSE(fs::exists(Path("never")));
}

TEST_F(FleetCommandsTest, TwoDevicesClaimingOneDeviceIdKeepAFileEach) {
    // A cloned configuration board: loop C's first device reports loop A's ID and tag.
    c->devices.WithDevice(0, [](sim::SimDevice& d) { d.State().deviceId = 1000; });
    const std::string backup = Path("backup");
    const auto r = RunCli({"fleet", "backup", "--targets",
                           Targets(a->Path() + " 1\n" + c->Path() + " 1\n"), "--out", backup,
                           "--jobs", "1"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    // The second is named by its place, not by which loop answered first.
    const std::string second = fleet::BackupFileName("TT-101", "1000", c->Path(), 1);
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{a->Path() + "\t1\tTT-101\t1000\tTT-101_1000.txt",
                                        c->Path() + "\t1\tTT-101\t1000\t" + second}));
    const auto index = Lines(Slurp(fs::path(backup) / "index.csv"));
    ASSERT_EQ(index.size(), 3u);
    EXPECT_TRUE(index[2].ends_with("Z,saved; its device ID is used twice")) << index[2];
    EXPECT_NE(Slurp(fs::path(backup) / "TT-101_1000.txt"), "");
    EXPECT_NE(Slurp(fs::path(backup) / second), "");
}

TEST_F(FleetCommandsTest, ACleanBackupComparesCleanWhateverTwinsAndStaleFilesTheFolderHolds) {
    // Loop C's first device has loop A's device ID and tag, but another damping.
    c->devices.WithDevice(0, [](sim::SimDevice& d) {
        d.State().deviceId = 1000;
        d.State().damping = 7.5f;
    });
    const std::string backup = Path("backup");
    const std::string targets = Targets(c->Path() + " 1\n" + a->Path() + " 1\n");
    for (int run = 0; run < 3; ++run) {
        const auto r =
            RunCli({"fleet", "backup", "--targets", targets, "--out", backup, "--jobs", "2"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        // The first in the targets file keeps the plain name, every run.
        EXPECT_TRUE(Contains(r.out, c->Path() + "\t1\tTT-101\t1000\tTT-101_1000.txt\n")) << r.out;
    }
    // What an older run left: a twin's file under the old name, a device long gone.
    fs::copy_file(fs::path(backup) / "TT-101_1000.txt", fs::path(backup) / "TT-101_1000-2.txt");
    fs::copy_file(fs::path(backup) / "TT-101_1000.txt", fs::path(backup) / "TT-999_4711.txt");
    {
        std::string text = Slurp(fs::path(backup) / "TT-999_4711.txt");
        const std::string from = "= 1000\r\n";
        text.replace(text.find(from), from.size(), "= 4711\r\n");
        std::ofstream(fs::path(backup) / "TT-999_4711.txt", std::ios::binary) << text;
    }
    const auto same = RunCli({"fleet", "compare", "--targets", targets, "--in", backup});
    EXPECT_EQ(same.code, kExitOk) << same.err << same.out;
    EXPECT_EQ(same.out, "");
    EXPECT_TRUE(Contains(same.err, "TT-999_4711.txt is not in index.csv")) << same.err;

    // The damping of the second twin changes: only that twin differs.
    a->devices.WithDevice(0, [](sim::SimDevice& d) { d.State().damping = 3.0f; });
    const auto changed = RunCli({"fleet", "compare", "--targets", targets, "--in", backup});
    EXPECT_EQ(changed.code, kExitDiffers) << changed.err;
    const auto lines = Lines(changed.out);
    ASSERT_EQ(lines.size(), 2u) << changed.out;
    EXPECT_TRUE(lines[0].starts_with(a->Path() + " address 1,")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with("PV Damping: ")) << lines[1];

    // A value no page shows but the file holds is compared too.
    c->devices.WithDevice(0, [](sim::SimDevice& d) { d.State().constantCjcValue = 30.0f; });
    const auto cjc = RunCli({"fleet", "compare", "--targets", targets, "--in", backup});
    EXPECT_EQ(cjc.code, kExitDiffers) << cjc.err;
    EXPECT_TRUE(Contains(cjc.out, "\nConstant CJC Value: 25.00 | 30.00\n")) << cjc.out;
}

TEST_F(FleetCommandsTest, ARerunThatReachesLessKeepsTheRecordOfTheFilesItDidNotReplace) {
    const std::string backup = Path("backup");
    const std::string plant = Plant(false);
    ASSERT_EQ(RunCli({"fleet", "backup", "--targets", plant, "--out", backup}).code, kExitOk);
    const std::string before = Slurp(fs::path(backup) / "index.csv");
    // Loop B and C unplugged for the re-run: it fails, the index keeps their rows.
    b.reset();
    c.reset();
    const auto rerun = RunCli({"fleet", "backup", "--targets", plant, "--out", backup});
    EXPECT_EQ(rerun.code, kExitFailed);
    const auto index = Lines(Slurp(fs::path(backup) / "index.csv"));
    for (const char* file : {"A_B_C__2000.txt", "TT-101_3000.txt", "TT-102_3001.txt"}) {
        const auto row = std::find_if(index.begin(), index.end(), [&](const std::string& line) {
            return Contains(line, std::string(",") + file + ",");
        });
        ASSERT_NE(row, index.end()) << file << " lost from\n"
                                    << Slurp(fs::path(backup) / "index.csv");
        EXPECT_TRUE(row->ends_with("Z,earlier run: saved")) << *row;
        // With the time of the run that saved it.
        const std::string time = row->substr(row->find(file) + std::string(file).size() + 1, 20);
        EXPECT_TRUE(Contains(before, time)) << *row;
    }
}

TEST_F(FleetCommandsTest, AFolderThatTakesNoFileIsFoundBeforeAnyDeviceIsAsked) {
    // Root writes in any folder of a disk, but no file goes into sysfs.
    const bool root = ::geteuid() == 0;
    const std::string backup = root ? std::string("/sys") : Path("locked");
    if (root && !fs::is_directory(backup)) GTEST_SKIP() << "no folder that refuses root";
    if (!root) {
        fs::create_directories(backup);
        fs::permissions(backup, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const auto r = RunCli({"fleet", "backup", "--targets", Plant(false), "--out", backup});
    if (!root) fs::permissions(backup, fs::perms::owner_all);
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Contains(r.err, "cannot write in the folder " + backup)) << r.err;
    EXPECT_EQ(a->server.RequestCount(), 0u);
    EXPECT_EQ(c->server.RequestCount(), 0u);
}

// A modem unplugged while a device of its loop is read: the loop is given up
// on one row of index.csv, that device's, not a second one for the endpoint.
TEST_F(FleetCommandsTest, ALoopLostDuringAnUploadIsOneRow) {
    c->devices.WithDevice(0, [](sim::SimDevice& d) {
        d.Faults().gap.remaining = -1;  // answers to command 13 stall half-way
        d.Faults().gapAfterByte = 8;
        d.Faults().gapMs = 20000;
        d.Faults().onlyCommand = 13;
    });
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        c->server.Stop();
    });
    const std::string backup = Path("backup");
    const auto r = RunCli({"fleet", "backup", "--targets", Plant(false), "--out", backup});
    unplug.join();
    EXPECT_EQ(r.code, kExitFailed);
    const auto index = Lines(Slurp(fs::path(backup) / "index.csv"));
    const auto rowsOfC = std::count_if(index.begin(), index.end(), [&](const std::string& line) {
        return line.starts_with(c->Path() + ",");
    });
    EXPECT_EQ(rowsOfC, 1) << Slurp(fs::path(backup) / "index.csv");
}

TEST_F(FleetCommandsTest, AnUnknownModelIsNamedByItsCodes) {
    a->devices.WithDevice(2, [](sim::SimDevice& d) {
        d.State().manufacturerId = 0x7E;
        d.State().deviceType = 0xE4;
    });
    const std::string backup = Path("backup");
    const auto r = RunCli({"fleet", "backup", "--targets", Plant(false), "--out", backup});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    const auto index = Lines(Slurp(fs::path(backup) / "index.csv"));
    const auto other = std::find_if(index.begin(), index.end(), [&](const std::string& line) {
        return line.starts_with(a->Path() + ",3,");
    });
    ASSERT_NE(other, index.end());
    EXPECT_TRUE(Contains(*other, "not a QT40 (manufacturer code 0x7E, device type 0xE4): skipped"))
        << *other;
}

// The report as a browser shows it: valid HTML by tidy, and a page that
// headless Chromium draws with its coloured cells. Skipped where either tool
// is missing (./dev installs both).
TEST_F(FleetCommandsTest, TheReportIsValidHtmlThatABrowserDraws) {
    const std::string backup = Path("backup");
    ASSERT_EQ(RunCli({"fleet", "backup", "--targets", Plant(false), "--out", backup}).code, kExitOk);
    a->devices.WithDevice(0, [](sim::SimDevice& d) {
        d.State().damping = 7.0f;
        d.State().message = "<B>&\"QUOTED\" MESSAGE          ";
    });
    const std::string report = Path("report.html");
    ASSERT_EQ(RunCli({"fleet", "compare", "--targets", Plant(true), "--in", backup, "--report",
                      report})
                  .code,
              kExitFailed);
    ASSERT_TRUE(fs::exists(report));

    const bool haveTidy = std::system("command -v tidy >/dev/null 2>&1") == 0;
    const bool haveChromium = std::system("command -v chromium >/dev/null 2>&1") == 0;
    if (haveTidy) {
        const std::string tidyOut = Path("tidy.txt");
        const int rc = std::system(("tidy -q -e '" + report + "' >'" + tidyOut + "' 2>&1").c_str());
        EXPECT_EQ(rc, 0) << Slurp(tidyOut);
    }
    if (haveChromium) {
        const std::string png = Path("report.png");
        const std::string command =
            "timeout 120 chromium --headless --no-sandbox --disable-gpu "
            "--disable-background-networking --no-first-run --disable-component-update "
            "--disable-sync --user-data-dir='" + Path("chromium-profile") +
            "' --window-size=1000,700 --screenshot='" + png + "' 'file://" + report +
            "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(png)));
        ASSERT_GT(image.width(), 100);
        // Text, borders and the status colours: far from one plain colour.
        const QRgb background = image.pixel(image.width() - 30, image.height() - 5);
        std::set<QRgb> colours;
        long differing = 0;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) {
                const QRgb p = image.pixel(x, y);
                colours.insert(p);
                differing += p != background;
            }
        }
        EXPECT_GT(differing, image.width() * image.height() / 4 / 20) << "nearly blank";
        for (QRgb cell : {qRgb(0xfd, 0xd5, 0xdc), qRgb(0xd8, 0xf0, 0xd8), qRgb(0xf6, 0xd7, 0xa8)}) {
            EXPECT_TRUE(colours.count(cell)) << std::hex << cell;
        }
    }
    if (!haveTidy || !haveChromium) GTEST_SKIP() << "tidy or chromium is not installed";
}

}  // namespace
}  // namespace qt40::cli
