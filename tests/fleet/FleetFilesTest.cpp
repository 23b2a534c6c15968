// What a fleet run leaves on disk: backup names, index.csv, the HTML report.

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>

#include "../files/TempFolder.h"
#include "fleet/BackupNaming.h"
#include "fleet/FleetIndex.h"
#include "fleet/FleetReport.h"

namespace qt40::fleet {
namespace {

struct NameRow {
    const char* name;
    std::string tag;
    const char* deviceId;
    const char* file;
};

const NameRow kNames[] = {
    {"padding blanks dropped", "TT-101  ", "10596786", "TT-101_10596786.txt"},
    {"blank inside", "TT 101  ", "7", "TT_101_7.txt"},
    {"Windows' forbidden characters", "A<B>C:D\"", "1", "A_B_C_D__1.txt"},
    {"slashes never leave the folder", "../../x", "2", "_._.._x_2.txt"},
    {"backslash, pipe, question mark, star", "\\|?*", "3", "_____3.txt"},
    {"dot alone", ".", "4", "__4.txt"},
    {"control and non-ASCII bytes", std::string("T\x01\xC3\xA9"), "5", "T____5.txt"},
    {"empty tag", "        ", "6", "untagged_6.txt"},
    {"a device name on Windows", "CON", "8", "CON_8.txt"},
    {"no device ID", "TT-9", "", "TT-9_unknown.txt"},
};

TEST(BackupNaming, TagsBecomeSafeFileNamesThatKeepTheDeviceId) {
    for (const NameRow& row : kNames) {
        EXPECT_EQ(BackupFileName(row.tag, row.deviceId), row.file) << row.name;
    }
    // Two devices with the same tag keep apart by their IDs.
    EXPECT_NE(BackupFileName("TT-101", "1"), BackupFileName("TT-101", "2"));
    // Two with the same tag and ID by their places.
    EXPECT_EQ(BackupFileName("TT-101 ", "1", "/dev/ttyUSB0", 3), "TT-101_1@dev_ttyUSB0-3.txt");
    EXPECT_EQ(BackupFileName("TT-101", "1", "hartip://[::1]:5094", 0),
              "TT-101_1@hartip___[__1]_5094-0.txt");
}

TEST(FleetIndex, FieldsWithCommasQuotesOrLineBreaksAreQuotedAsSpreadsheetsReadThem) {
    FleetIndexRow row;
    row.endpoint = "hartip://gw:5094";
    row.address = "3";
    row.tag = "A,\"B\"";
    row.deviceId = "42";
    row.file = "A_B__42.txt";
    row.time = "2026-12-07T10:00:00Z";
    row.result = "failed: line\r\nbroken";
    const auto lines = FleetIndex::Lines({row});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "endpoint,address,tag,device ID,file,time,result");
    EXPECT_EQ(lines[1],
              "hartip://gw:5094,3,\"A,\"\"B\"\"\",42,A_B__42.txt,2026-12-07T10:00:00Z,"
              "failed: line  broken");

    // UTC, the same date the C library gives.
    const std::string now = FleetIndex::Now();
    EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)"))) << now;
    char today[16];
    const std::time_t t = std::time(nullptr);
    std::strftime(today, sizeof today, "%Y-%m-%d", std::gmtime(&t));
    EXPECT_EQ(now.substr(0, 10), today);

    test::TempFolder dir;
    ASSERT_TRUE(FleetIndex::Save(dir / "index.csv", {row}).ok());
    EXPECT_EQ(test::TempFolder::Slurp(dir / "index.csv"), lines[0] + "\r\n" + lines[1] + "\r\n");
}

TEST(FleetIndex, TagsThatASpreadsheetWouldRunAreGuardedAndReadBackAsWritten) {
    FleetIndexRow row;
    row.endpoint = "/dev/ttyUSB0";
    row.address = "1";
    row.tag = "=1+2";
    row.deviceId = "42";
    row.file = BackupFileName("=1+2", "42");
    row.time = "2026-12-07T10:00:00Z";
    row.result = "saved";
    FleetIndexRow at = row;
    at.tag = "@SUM(A1)";
    at.address = "-1";  // a number stays a number
    const auto lines = FleetIndex::Lines({row, at});
    EXPECT_EQ(lines[1], "/dev/ttyUSB0,1,'=1+2,42,'=1+2_42.txt,2026-12-07T10:00:00Z,saved");
    EXPECT_EQ(lines[2], "/dev/ttyUSB0,-1,'@SUM(A1),42,'=1+2_42.txt,2026-12-07T10:00:00Z,saved");

    test::TempFolder dir;
    ASSERT_TRUE(FleetIndex::Save(dir / "index.csv", {row, at}).ok());
    std::vector<FleetIndexRow> back;
    ASSERT_TRUE(FleetIndex::Read(dir / "index.csv", back).ok());
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].tag, "=1+2");
    EXPECT_EQ(back[0].file, "=1+2_42.txt");
    EXPECT_EQ(back[1].tag, "@SUM(A1)");
    EXPECT_EQ(back[1].address, "-1");
}

TEST(FleetIndex, ARunKeepsTheRowsOfFilesItDidNotReplace) {
    test::TempFolder dir;
    for (const char* name : {"A_1.txt", "B_2.txt", "C_3.txt", "D_4.txt"}) {
        test::TempFolder::Put(dir / name, "x");
    }
    const auto row = [](const char* endpoint, const char* address, const char* file,
                        const char* time, const char* result) {
        FleetIndexRow r;
        r.endpoint = endpoint;
        r.address = address;
        r.file = file;
        r.time = time;
        r.result = result;
        return r;
    };
    const std::vector<FleetIndexRow> earlier{
        row("/dev/ttyA", "1", "A_1.txt", "2026-01-01T00:00:00Z", "saved"),  // saved again now
        row("/dev/ttyA", "2", "B_2.txt", "2026-01-01T00:00:00Z", "saved"),  // not reached now
        row("hartip://GW", "0", "C_3.txt", "2026-01-01T00:00:00Z",
            "earlier run: saved"),  // carried twice: marked once
        row("/dev/ttyB", "0", "gone.txt", "2026-01-01T00:00:00Z", "saved"),  // file removed
        row("/dev/ttyB", "1", "", "2026-01-01T00:00:00Z", "failed: no answer"),
        row("/dev/ttyB", "2", "../D_4.txt", "2026-01-01T00:00:00Z", "saved"),  // not in the folder
        row("/dev/ttyC", "3", "D_4.txt", "2026-01-01T00:00:00Z", "saved"),     // name rewritten now
    };
    const std::vector<FleetIndexRow> current{
        row("/dev/ttyA", "1", "A_1.txt", "2026-02-01T00:00:00Z", "saved"),
        row("/dev/ttyA", "2", "", "2026-02-01T00:00:00Z", "failed: interrupted"),
        row("/dev/ttyD", "0", "D_4.txt", "2026-02-01T00:00:00Z", "saved"),
    };
    const auto kept = FleetIndex::Carried(earlier, current, dir.path());
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].file, "B_2.txt");
    EXPECT_EQ(kept[0].time, "2026-01-01T00:00:00Z");
    EXPECT_EQ(kept[0].result, "earlier run: saved");
    EXPECT_EQ(kept[1].file, "C_3.txt");
    EXPECT_EQ(kept[1].result, "earlier run: saved");
}

TEST(FleetReport, EveryDeviceAndFileTextIsEscapedAndNothingIsFetched) {
    FleetReportEntry differs;
    differs.status = FleetReportEntry::Status::Differs;
    differs.endpoint = "/dev/pts/<3>";
    differs.address = "1";
    differs.tag = "<script>alert(1)</script>";
    differs.deviceId = "17";
    differs.model = "QT40";
    differs.file = "x\" onload=\"alert(2).txt";
    differs.rows = {{"PV Upper Range", "100.000", "150.000"},
                    {"Message", "<img src=http://example.com/a.png>", "A & B"}};
    FleetReportEntry missing;
    missing.status = FleetReportEntry::Status::NoDevice;
    missing.file = "TT-9_9.txt";
    const std::string html = FleetReport::Html({differs, missing}, "2026-12-07T10:00:00Z");

    // No element but our own, and none of them loads anything.
    for (std::size_t open = html.find('<'); open != std::string::npos;
         open = html.find('<', open + 1)) {
        const std::string tag = html.substr(open, html.find('>', open) - open + 1);
        for (const char* refused : {"<script", "<img", "<link", "<iframe", "<object", "src=",
                                    "href=", "onload", "onerror"}) {
            EXPECT_EQ(tag.find(refused), std::string::npos) << tag;
        }
    }
    for (const char* refused : {"@import", "url("}) {
        EXPECT_EQ(html.find(refused), std::string::npos) << refused;
    }
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("A &amp; B"), std::string::npos);
    EXPECT_NE(html.find("differs (2 rows)"), std::string::npos);
    EXPECT_NE(html.find("<td>PV Upper Range</td><td class=\"value\">100.000</td>"
                        "<td class=\"value\">150.000</td>"),
              std::string::npos);
    // Both statuses counted in the summary.
    EXPECT_NE(html.find("<td class=\"bad\">no device</td><td>1</td>"), std::string::npos);

    test::TempFolder dir;
    ASSERT_TRUE(FleetReport::Save(dir / "r.html", {differs}, "now").ok());
    EXPECT_EQ(dir.EntryCount(), 1u);
}

}  // namespace
}  // namespace qt40::fleet
