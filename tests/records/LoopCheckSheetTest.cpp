// The loop-check sheet's arithmetic and rules, worked out by hand: 1 % of
// the 16 mA span is 0.16 mA, so the default tolerance of 0.25 % is 0.04 mA.

#include <gtest/gtest.h>

#include <optional>

#include "records/LoopCheckSheet.h"

namespace qt40 {
namespace {

TEST(LoopCheckSheetTest, ErrorsAndVerdictsAtTheToleranceEdge) {
    LoopCheckSheet sheet;
    sheet.StartRun(LoopRunKind::AsFound);
    const struct {
        const char* reading;
        double target;
        const char* shown;
        double error;
        bool pass;
    } rows[] = {
        {"4.002", 4.0, "4.002", 0.013, true},      // 0.0125 % rounds half away from zero
        {"8.04", 8.0, "8.040", 0.25, true},        // exactly on the tolerance: inside
        {"12.0401", 12.0, "12.0401", 0.251, false},  // 0.250625 %: just outside
        {"15.96", 16.0, "15.960", -0.25, true},    // below the target, on the edge
        {"19.959", 20.0, "19.959", -0.256, false},  // 0.041 mA low: just outside
    };
    std::size_t i = 0;
    for (const auto& row : rows) {
        const auto verdict = CheckMeasuredCurrent(row.reading);
        ASSERT_TRUE(verdict.result) << row.reading;
        sheet.Measure(LoopRunKind::AsFound, i++, verdict.result->value, row.reading);
    }
    const LoopRun& run = *sheet.Run(LoopRunKind::AsFound);
    ASSERT_EQ(run.points.size(), 5u);
    for (std::size_t k = 0; k < 5; ++k) {
        const LoopPointResult& p = run.points[k];
        EXPECT_DOUBLE_EQ(p.targetMa, rows[k].target) << k;
        EXPECT_EQ(p.measuredText, rows[k].shown) << k;
        EXPECT_DOUBLE_EQ(*p.errorPercent, rows[k].error) << rows[k].reading;
        EXPECT_EQ(*p.pass, rows[k].pass) << rows[k].reading;
    }
    EXPECT_TRUE(run.Complete());
    EXPECT_FALSE(run.Passed());

    // One tolerance for the sheet: widening it judges the points again.
    sheet.SetTolerance(0.3);
    EXPECT_TRUE(sheet.Run(LoopRunKind::AsFound)->Passed());
}

TEST(LoopCheckSheetTest, AnUnmeasuredPointLeavesItsCellsEmpty) {
    LoopCheckSheet sheet;
    sheet.SetPoints({0, 50, 100});
    sheet.StartRun(LoopRunKind::AsLeft);
    sheet.Measure(LoopRunKind::AsLeft, 0, 4.0, "4");
    sheet.StartRun(LoopRunKind::AsFound);  // run later, still printed first
    const RecordDocument doc = sheet.ToDocument(RecordTexts{}, "QT40CFG 1.0", "2026-01-02 03:04");
    ASSERT_EQ(doc.tables.size(), 2u);
    EXPECT_EQ(doc.tables[0].caption, "As Found");
    const auto& left = doc.tables[1];
    EXPECT_EQ(left.caption, "As Left");
    ASSERT_EQ(left.rows.size(), 3u);
    EXPECT_EQ(left.rows[0][2].text, "4.000");
    EXPECT_EQ(left.rows[0][3].text, "0.000");  // never "-0.000"
    EXPECT_EQ(left.rows[0][4].text, "PASS");
    EXPECT_EQ(left.rows[1][1].text, "12.000");
    for (int column : {2, 3, 4}) EXPECT_EQ(left.rows[1][column].text, "") << column;
    bool incomplete = false;
    for (const RecordField& f : doc.head) {
        incomplete = incomplete || (f.caption == "Result As Left" && f.value == "INCOMPLETE");
    }
    EXPECT_TRUE(incomplete);
}

// What a technician needs beside the table: the range the points stand for,
// the transfer function, why a run is incomplete, whether the loop was
// released, and the DAC trim between the runs with its readings.
TEST(LoopCheckSheetTest, TheHeadSaysWhatThePointsMeanWhyARunStoppedAndTheTrim) {
    DeviceRecord r;
    r.tag = "TT-101  ";
    r.deviceIdText = "123456";
    r.lowerRange = -50.0;
    r.upperRange = 150.0;
    r.pvUnit = 32;           // degC
    r.transferFunction = 1;  // square root
    LoopCheckSheet sheet;
    sheet.TakeDevice(r);
    sheet.SetPoints({0, 50, 100});
    sheet.StartRun(LoopRunKind::AsFound);
    sheet.Measure(LoopRunKind::AsFound, 0, 4.0, "4");
    sheet.EndRun(LoopRunKind::AsFound, LoopStop::Refused, std::nullopt, 33);
    sheet.EndRun(LoopRunKind::AsFound, LoopStop::ExchangeLost, true);  // the first reason stands
    sheet.RecordTrim(false, "4.012");
    sheet.trimStopped = true;  // interrupted after the lower point was stored
    sheet.StartRun(LoopRunKind::AsLeft);
    sheet.EndRun(LoopRunKind::AsLeft, LoopStop::Interrupted, false);

    const RecordDocument doc = sheet.ToDocument(RecordTexts{}, "QT40CFG 1.0", "2026-01-02 03:04");
    const auto value = [&](const std::string& caption) -> std::optional<std::string> {
        for (const RecordField& f : doc.head) {
            if (f.caption == caption) return f.value;
        }
        return std::nullopt;
    };
    EXPECT_EQ(value("Tag"), "TT-101");
    EXPECT_EQ(value("PV Range"), "-50.000 to 150.000 degC");
    EXPECT_EQ(value("Transfer Function"), "SQRT");
    EXPECT_TRUE(value("Points (%)")->find("4 to 20 mA output span") != std::string::npos);
    EXPECT_EQ(value("Result As Found"), "INCOMPLETE");
    EXPECT_EQ(value("As Found stopped"), "The device refused a level (response code 33)");
    EXPECT_EQ(value("Loop after As Found"), RecordTexts{}.Text("Rec_Released"));
    EXPECT_EQ(value("As Left stopped"), RecordTexts{}.Text("Rec_Stop_Interrupted"));
    EXPECT_EQ(value("Loop after As Left"), RecordTexts{}.Text("Rec_Not_Released"));
    EXPECT_EQ(value("DAC Trim at 4 mA"), "Stored with 4.012 mA measured");
    EXPECT_FALSE(value("DAC Trim at 20 mA"));
    EXPECT_EQ(value("DAC Trim"), "Stopped before both points were trimmed");

    // A complete run has no reason; an as-left run without a trim says so.
    LoopCheckSheet plain;
    plain.SetPoints({50});
    plain.StartRun(LoopRunKind::AsFound);
    plain.Measure(LoopRunKind::AsFound, 0, 12.0, "12");
    plain.StartRun(LoopRunKind::AsLeft);
    plain.Measure(LoopRunKind::AsLeft, 0, 12.0, "12");
    const RecordDocument done = plain.ToDocument(RecordTexts{}, "p", "c");
    for (const RecordField& f : done.head) {
        EXPECT_EQ(f.caption.find("stopped"), std::string::npos) << f.caption;
        if (f.caption == "DAC Trim") {
            EXPECT_EQ(f.value, "Not done");
        }
        if (f.caption == "PV Range") {
            EXPECT_EQ(f.value, "");  // no device taken: empty, never zero
        }
    }
}

TEST(LoopCheckSheetTest, MeasuredValuesThatAreNoCurrentAreRefused) {
    const struct {
        const char* text;
        bool accepted;
    } rows[] = {
        {"4.002", true}, {" 12 ", true}, {"0", true},      {"25", true},     {"25.001", false},
        {"-0.1", false}, {"", false},    {".", false},      {"-", false},     {"abc", false},
        {"4,0", false},  {"1e1", false}, {"12.0.1", false}, {"nan", false},   {"inf", false},
    };
    for (const auto& row : rows) {
        const NumberVerdict verdict = CheckMeasuredCurrent(row.text);
        EXPECT_EQ(verdict.result.has_value(), row.accepted) << '"' << row.text << '"';
        if (!row.accepted) {
            EXPECT_EQ(verdict.errorKey, "Err_Calibration_Value_Invalid") << row.text;
        }
    }
}

TEST(LoopCheckSheetTest, PointsAndToleranceRules) {
    EXPECT_EQ(ParseLoopPoints("0,25,50,75,100"), (std::vector<double>{0, 25, 50, 75, 100}));
    EXPECT_EQ(ParseLoopPoints(" 0, 50 ,100,50,0"), (std::vector<double>{0, 50, 100, 50, 0}));
    EXPECT_EQ(ParseLoopPoints("12.5"), (std::vector<double>{12.5}));
    for (const char* bad : {"", "0,,100", "101", "-5", "abc", "0;50", "50,"}) {
        EXPECT_FALSE(ParseLoopPoints(bad)) << bad;
    }
    std::string many = "0";
    for (int i = 0; i < 21; ++i) many += ",5";
    EXPECT_FALSE(ParseLoopPoints(many));  // 22 points

    EXPECT_EQ(ParseLoopTolerance("0.25"), 0.25);
    EXPECT_EQ(ParseLoopTolerance("10"), 10.0);
    for (const char* bad : {"0", "-1", "10.5", "", "x"}) EXPECT_FALSE(ParseLoopTolerance(bad)) << bad;
}

}  // namespace
}  // namespace qt40
