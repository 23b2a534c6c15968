// The configuration report's rows: names of codes, units, and empty cells
// for what the device did not send; and the CSV form a spreadsheet reads.

#include <gtest/gtest.h>

#include <map>

#include "records/ConfigurationReport.h"
#include "records/RecordCsvWriter.h"
#include "tests/files/TempFolder.h"

namespace qt40 {
namespace {

// (value, unit) of every row, by caption.
std::map<std::string, std::pair<std::string, std::string>> Rows(const RecordDocument& doc) {
    std::map<std::string, std::pair<std::string, std::string>> rows;
    for (const RecordTable& table : doc.tables) {
        for (const auto& row : table.rows) rows[row[0].text] = {row[1].text, row[2].text};
    }
    return rows;
}

ReportInput Uploaded() {
    ReportInput in;
    DeviceRecord& r = in.record;
    r.tag = "TT-7    ";
    r.sensorType = 12;
    r.pvUnit = 33;
    r.upperRange = 212.0;
    r.lowerRange = 32.0;
    r.transferFunction = 3;  // no such code
    r.aoSaturationHigh = 20.5;
    r.rtdCoefficientA = 3.9083e-3;
    r.additionalStatus = {0, 0, 0, 0x01, 0, 0};
    for (int command : {13, 130, 15, 137, 143, 48}) in.answered.set(command);
    return in;
}

TEST(ConfigurationReportTest, ShowsNamesAndUnitsAndLeavesUnsentValuesEmpty) {
    ReportInput in = Uploaded();
    // Values the record holds but no answer carried: start values, an earlier device.
    in.record.loopCurrent = 12.0;
    in.record.leadWireResistance = 1.5;
    in.record.finalAssemblyNo = 4711;
    const auto rows = Rows(ConfigurationReport(in, RecordTexts{}));

    EXPECT_EQ(rows.at("Tag").first, "TT-7");
    EXPECT_EQ(rows.at("Sensor Type").first, "Pt100");
    EXPECT_EQ(rows.at("PV Upper Range"), std::make_pair(std::string("212.000"), std::string("degF")));
    EXPECT_EQ(rows.at("PV Lower Range").second, "degF");
    EXPECT_EQ(rows.at("Transfer Function").first, "3");  // shown as its number, not hidden
    EXPECT_EQ(rows.at("AO Saturation High Value"),
              std::make_pair(std::string("20.500"), std::string("mA")));
    EXPECT_EQ(rows.at("Calibrated RTD Coefficient A").first, "0.0039083");
    // Command 3, 16 and 154 never answered: nothing is shown, not a zero or a stale value.
    for (const char* unsent : {"Loop Current", "PV", "Final Assembly Number", "Lead Wire Resistance",
                               "Device ID", "Sensor Serial Number"}) {
        EXPECT_EQ(rows.at(unsent), std::make_pair(std::string(), std::string())) << unsent;
    }
    EXPECT_EQ(rows.at("Status Bytes").first, "00 00 00 01 00 00");
    EXPECT_EQ(rows.at("Sensor Error: Sensor 1 Wire Broken").first, "Set");
}

TEST(ConfigurationReportTest, StatusAndTrimRowsFollowWhatWasRead) {
    ReportInput in = Uploaded();
    in.answered.reset(48);
    in.record.additionalStatus = {};
    in.trims = {{1, 32, 0.5, -0.25, 1.0, {}}, {2, 32, 0.0, 0.0, 1.0, {}}};
    auto rows = Rows(ConfigurationReport(in, RecordTexts{}));
    EXPECT_EQ(rows.at("Status Bytes").first, "");  // not read: no claim that nothing is set
    EXPECT_EQ(rows.count("No additional status bit is set."), 0u);
    EXPECT_EQ(rows.at("Sensor 1 Zero Point"), std::make_pair(std::string("0.5000"), std::string("degC")));
    EXPECT_EQ(rows.at("Sensor 2 Gain").first, "1.00000");

    in.answered.set(48);
    rows = Rows(ConfigurationReport(in, RecordTexts{}));
    EXPECT_EQ(rows.at("Status Bytes").first, "00 00 00 00 00 00");
    EXPECT_EQ(rows.count("No additional status bit is set."), 1u);
}

TEST(ConfigurationReportTest, GainsKeepTheirDigitsAndUnnamedStatusBitsAreListed) {
    ReportInput in = Uploaded();
    in.trims = {{1, 32, 0.0, 0.0, 1.00037, {}}};
    // Byte 1 has no named bit; byte 3 bit 0 is "Sensor 1 Wire Broken".
    in.record.additionalStatus = {0, 0x81, 0, 0x01, 0, 0};
    const RecordDocument doc = ConfigurationReport(in, RecordTexts{});
    auto rows = Rows(doc);
    EXPECT_EQ(rows.at("Sensor 1 Gain").first, "1.00037");
    EXPECT_EQ(rows.at("byte 1 bit 0: (no label)").first, "Set");
    EXPECT_EQ(rows.at("byte 1 bit 7: (no label)").first, "Set");
    EXPECT_EQ(rows.at("Sensor Error: Sensor 1 Wire Broken").first, "Set");
    EXPECT_EQ(rows.count("No additional status bit is set."), 0u);
    std::vector<std::string> status;
    for (const auto& row : doc.tables.back().rows) status.push_back(row[0].text);
    EXPECT_EQ(status, (std::vector<std::string>{"Status Bytes", "Sensor Error: Sensor 1 Wire Broken",
                                                "byte 1 bit 0: (no label)",
                                                "byte 1 bit 7: (no label)"}));

    // Only unnamed bits set: still not "nothing is set".
    in.record.additionalStatus = {0, 0, 0x10, 0, 0, 0};
    rows = Rows(ConfigurationReport(in, RecordTexts{}));
    EXPECT_EQ(rows.at("byte 2 bit 4: (no label)").first, "Set");
    EXPECT_EQ(rows.count("No additional status bit is set."), 0u);
}

TEST(ConfigurationReportTest, CaptionsComeFromTheLanguageWithEnglishBehind) {
    const RecordTexts texts([](const std::string& key) {
        return key == "Rec_Tag" ? std::string("タグ番号") : std::string();
    });
    const RecordDocument doc = ConfigurationReport(Uploaded(), texts);
    EXPECT_EQ(Rows(doc).at("タグ番号").first, "TT-7");
    EXPECT_EQ(doc.title, "Configuration Report");
    // A formatted text keeps its placeholders until it is filled.
    EXPECT_EQ(texts.Format("Rec_Trim_Gain", {2LL}), "Sensor 2 Gain");
}

TEST(RecordCsvTest, FieldsAreQuotedAndFormulasDisarmed) {
    const struct {
        const char* text;
        const char* field;
    } rows[] = {
        {"plain", "plain"},
        {"-200.000", "-200.000"},      // a number stays a number
        {"-5.775e-07", "-5.775e-07"},  // in every notation the report writes
        {"1e+10", "1e+10"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"=1+2", "'=1+2"},
        {"+CMD", "'+CMD"},
        {"-x", "'-x"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"=HYPERLINK(\"x\",1)", "\"'=HYPERLINK(\"\"x\"\",1)\""},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(RecordCsvWriter::Field(row.text), row.field) << row.text;
}

TEST(RecordCsvTest, SavedFileHasMarkLineEndsAndEveryCell) {
    test::TempFolder dir;
    RecordDocument doc;
    doc.title = "設定レポート";
    doc.head = {{"Tag", "=TT"}};
    doc.tables = {{"Sensor", {"Item", "Value", "Unit"}, {{{"PV Upper Range"}, {"100.000"}, {"degC"}},
                                                          {{"Loop Current"}, {}, {}}}}};
    ASSERT_TRUE(RecordCsvWriter::Save(dir / "r.csv", doc).ok());
    EXPECT_EQ(test::TempFolder::Slurp(dir / "r.csv"),
              "\xEF\xBB\xBF"
              "設定レポート\r\nTag,'=TT\r\n\r\nSensor\r\nItem,Value,Unit\r\n"
              "PV Upper Range,100.000,degC\r\nLoop Current,,\r\n");

    // A folder that does not exist: a clear failure, nothing written.
    const FileResult failed = RecordCsvWriter::Save(dir / "missing" / "r.csv", doc);
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.error.find("missing"), std::string::npos) << failed.error;
    EXPECT_EQ(dir.EntryCount(), 1u);
}

}  // namespace
}  // namespace qt40

#include <cstdlib>
#include <regex>

#include "records/RecordTime.h"

namespace qt40 {
namespace {

#ifndef _WIN32  // POSIX time zone strings
// Times carry their offset from UTC, daylight saving time included.
TEST(RecordTimeTest, TimesSayTheirZone) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    const auto zone = [](const char* tz) {
        ::setenv("TZ", tz, 1);
        ::tzset();
    };
    const std::time_t winter = 1767225600;  // 2026-01-01T00:00:00Z
    const std::time_t summer = 1782864000;  // 2026-07-01T00:00:00Z
    zone("JST-9");
    EXPECT_EQ(LocalTimestamp(winter), "2026-01-01 09:00 +09:00");
    zone("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(LocalTimestamp(winter), "2025-12-31 19:00 -05:00");
    EXPECT_EQ(LocalTimestamp(summer), "2026-06-30 20:00 -04:00");
    zone("IST-5:30");
    EXPECT_EQ(UtcOffsetText(winter), "+05:30");
    zone("UTC0");
    EXPECT_EQ(LocalTimestamp(winter), "2026-01-01 00:00 +00:00");
    if (before) {
        zone(saved.c_str());
    } else {
        ::unsetenv("TZ");
        ::tzset();
    }
    EXPECT_TRUE(std::regex_match(LocalTimestamp(),
                                 std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d [+-]\d\d:\d\d)")));
}
#endif

}  // namespace
}  // namespace qt40
