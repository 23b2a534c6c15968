#include <gtest/gtest.h>

#include "model/ScriptedPrompts.h"
#include "tables/TableRules.h"

using namespace qt40;

namespace {

CustomTableEdit Table(std::vector<std::string> values, std::string minimum = "-100",
                      std::string step = "5") {
    CustomTableEdit edit;
    edit.minimumText = std::move(minimum);
    edit.stepText = std::move(step);
    edit.size = static_cast<std::int32_t>(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) edit.valueTexts[i] = values[i];
    return edit;
}

SpecialCurveEdit Curve(std::vector<std::pair<std::string, std::string>> points) {
    SpecialCurveEdit edit;
    edit.size = static_cast<std::int32_t>(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        edit.xTexts[i] = points[i].first;
        edit.yTexts[i] = points[i].second;
    }
    return edit;
}

std::string S(const char* text) {
    return text;
}

}  // namespace

TEST(TableNumberCheck, CharacterRule) {
    struct Row {
        const char* text;
        bool passes;
    };
    const Row rows[] = {
        {"", true},     {"5", true},    {" 5", true},    {" -5", true},     {" .5", true},
        {"  5", false}, {" 5 ", false}, {"5 ", true},    {"-", true},       {"+5", false},
        {"a5", false},  {"1e5", true},  {"1.2.3", true}, {"12.3.4", false}, {"-.5", true},
        {"\t5", false}, {"12a", false}, {"-12.5", true},
    };
    for (const Row& row : rows) EXPECT_EQ(PassesTableNumberCheck(row.text), row.passes) << row.text;
}

TEST(TableEditCopy, FilledFromTheImageWithItsFormats) {
    CustomTableImage image;
    image.status = 1;
    image.headerWord = 77;
    image.size = 2;
    image.step = 4.9;
    image.minimum = -99.5;
    image.values[0] = 1.5;
    image.values[1] = -0.25;
    CustomTableEdit edit;
    FillEditFromImage(image, edit);
    EXPECT_EQ(edit.status, 1);
    EXPECT_EQ(edit.headerWord, 77);
    EXPECT_EQ(edit.size, 2);
    EXPECT_EQ(edit.stepText, "4");
    EXPECT_EQ(edit.minimumText, "-99");
    EXPECT_EQ(edit.valueTexts[0], "1.500000");
    EXPECT_EQ(edit.valueTexts[1], "-0.250000");

    image.size = 300;  // a corrupt header never reaches past the record
    FillEditFromImage(image, edit);
    EXPECT_EQ(edit.size, kCustomTableCapacity);

    SpecialCurveImage curve;
    curve.size = 1;
    curve.x[0] = 12.5;
    curve.y[0] = -3.0;
    SpecialCurveEdit curveEdit;
    FillEditFromImage(curve, curveEdit);
    EXPECT_EQ(curveEdit.size, 1);
    EXPECT_EQ(curveEdit.xTexts[0], "12.5000000");
    EXPECT_EQ(curveEdit.yTexts[0], "-3.0000000");
}

TEST(TableSummary, CustomTableFromTheImage) {
    CustomTableImage image;
    image.size = 3;
    image.step = 5;
    image.minimum = -100;
    CustomTableSummary summary = SummarizeCustomTable(image);
    EXPECT_EQ(summary.status, "Configured");
    EXPECT_EQ(summary.minTemperature, "-100");
    EXPECT_EQ(summary.maxTemperature, "-90");
    EXPECT_EQ(summary.temperatureStep, "5");
    EXPECT_EQ(summary.tableSize, "3");
    image.status = 2;
    EXPECT_EQ(SummarizeCustomTable(image).status, "Non configured");
}

TEST(TableSummary, SpecialCurveFirstAndLastX) {
    SpecialCurveImage image;
    image.size = 3;
    image.x = {-10.0, 0.0, 99.999};
    SpecialCurveSummary summary = SummarizeSpecialCurve(image);
    EXPECT_EQ(summary.minimumValue, "-10.00");
    EXPECT_EQ(summary.maximumValue, "100.00");
    EXPECT_EQ(summary.tableSize, "3");
    image.size = 0;  // nothing before the first point is read
    summary = SummarizeSpecialCurve(image);
    EXPECT_EQ(summary.minimumValue, "");
    EXPECT_EQ(summary.maximumValue, "");
}

TEST(CustomTableValidation, RisingWithEqualNeighboursPassesSilently) {
    ScriptedPrompts prompts;
    EXPECT_TRUE(
        ValidateCustomTable(Table({"-1.0", "0.5", "0.5", "2"}), CustomTableKind::Tc, prompts));
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST(CustomTableValidation, MinimumAndStepLimits) {
    struct Row {
        const char* minimum;
        const char* step;
        CustomTableKind kind;
        const char* key;  // nullptr: valid
        const char* arg;
    };
    const Row rows[] = {
        {"-273", "5", CustomTableKind::Tc, nullptr, ""},
        {"-274", "5", CustomTableKind::Tc, "Err_Temp_Min", "-274"},
        {"10000", "5", CustomTableKind::Rtd, nullptr, ""},
        {"10001", "5", CustomTableKind::Rtd, "Err_Temp_Min", "10001"},
        {"0", "0", CustomTableKind::Tc, "Err_Temp_Step", "0"},
        {"0", "0", CustomTableKind::Rtd, "Err_Temp_Step", "0"},
        {"0", "50", CustomTableKind::Tc, nullptr, ""},
        {"0", "51", CustomTableKind::Tc, "Err_Temp_Step", "51"},
        {"0", "abc", CustomTableKind::Tc, "Err_Temp_Step", "abc"},
    };
    for (const Row& row : rows) {
        ScriptedPrompts prompts;
        if (row.key != nullptr) prompts.QueueAnswer(Answer::Ok);
        const bool valid =
            ValidateCustomTable(Table({"10", "20"}, row.minimum, row.step), row.kind, prompts);
        EXPECT_EQ(valid, row.key == nullptr) << row.minimum << " " << row.step;
        if (row.key == nullptr) continue;
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_EQ(prompts.Messages()[0].key, row.key);
        EXPECT_EQ(prompts.Messages()[0].args, MessageArgs{S(row.arg)});
        EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkWarning);
    }
}

TEST(CustomTableValidation, BoundsNameTheRowFromZero) {
    ScriptedPrompts prompts;
    prompts.QueueAnswers({Answer::Ok, Answer::Ok, Answer::Ok});
    EXPECT_FALSE(ValidateCustomTable(Table({"1", "0"}), CustomTableKind::Rtd, prompts));
    EXPECT_TRUE(ValidateCustomTable(Table({"1", "4000"}), CustomTableKind::Rtd, prompts));
    EXPECT_FALSE(ValidateCustomTable(Table({"-100", "800.01"}), CustomTableKind::Tc, prompts));
    EXPECT_TRUE(ValidateCustomTable(Table({"-100", "800"}), CustomTableKind::Tc, prompts));
    EXPECT_FALSE(ValidateCustomTable(Table({"4000.5"}), CustomTableKind::Rtd, prompts));
    ASSERT_EQ(prompts.Messages().size(), 3u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_CustomTable_Data_Bound2");
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{1LL, S("0"), 1LL, 0LL, 4000LL, S("Ohms")}));
    EXPECT_EQ(prompts.Messages()[1].key, "Err_CustomTable_Data_Bound");
    EXPECT_EQ(prompts.Messages()[1].args,
              (MessageArgs{1LL, S("800.01"), 1LL, -100LL, 800LL, S("mV")}));
    EXPECT_EQ(prompts.Messages()[2].args[0], MessageArg{0LL});
}

TEST(CustomTableValidation, FallingPairsAskAndOkGoesOn) {
    const CustomTableEdit table = Table({"5", "4", "6", "1"});
    {
        ScriptedPrompts prompts;
        prompts.QueueAnswers({Answer::Ok, Answer::Ok});
        EXPECT_TRUE(ValidateCustomTable(table, CustomTableKind::Rtd, prompts));
        ASSERT_EQ(prompts.Messages().size(), 2u);
        EXPECT_EQ(prompts.Messages()[0].key, "Err_Custom_Table_Data");
        EXPECT_EQ(prompts.Messages()[0].args,
                  (MessageArgs{1LL, S("4"), S("ohms"), 0LL, S("5"), S("ohms")}));
        EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkCancelWarning);
        EXPECT_EQ(prompts.Messages()[1].args,
                  (MessageArgs{3LL, S("1"), S("ohms"), 2LL, S("6"), S("ohms")}));
    }
    {
        ScriptedPrompts prompts;
        prompts.QueueAnswer(Answer::Cancel);
        EXPECT_FALSE(ValidateCustomTable(table, CustomTableKind::Tc, prompts));
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_EQ(prompts.Messages()[0].args[2], MessageArg{S("mV")});
    }
}

TEST(CustomTableValidation, AnEmptyTableIsNeverSent) {
    ScriptedPrompts prompts;
    prompts.QueueAnswers({Answer::Ok, Answer::Ok, Answer::Ok});
    EXPECT_FALSE(ValidateCustomTable(Table({}), CustomTableKind::Tc, prompts));
    EXPECT_FALSE(ValidateSpecialCurve(Curve({}), prompts));
    CustomTableEdit corrupt = Table({"1", "2"});
    corrupt.size = kCustomTableCapacity + 1;
    EXPECT_FALSE(ValidateCustomTable(corrupt, CustomTableKind::Tc, prompts));
    ASSERT_EQ(prompts.Messages().size(), 3u);
    for (const auto& message : prompts.Messages()) {
        EXPECT_EQ(message.key, "Err_CustomTable_Empty");
        EXPECT_EQ(message.type, BoxType::OkWarning);
    }
}

TEST(SpecialCurveValidation, BoundsRowByRowAndRisingX) {
    {
        ScriptedPrompts prompts;
        EXPECT_TRUE(
            ValidateSpecialCurve(Curve({{"0", "100"}, {"50", "20"}, {"100", "-15"}}), prompts));
    }
    {
        // Row 0's Y is checked before row 1's X.
        ScriptedPrompts prompts;
        prompts.QueueAnswer(Answer::Ok);
        EXPECT_FALSE(ValidateSpecialCurve(Curve({{"0", "116"}, {"-16", "0"}}), prompts));
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_EQ(prompts.Messages()[0].key, "Err_Special_Table_Data_Bound_Y");
        EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{0LL, S("116"), -15LL, 115LL}));
    }
    {
        ScriptedPrompts prompts;
        prompts.QueueAnswer(Answer::Ok);
        EXPECT_FALSE(ValidateSpecialCurve(Curve({{"0", "0"}, {"115.5", "0"}}), prompts));
        EXPECT_EQ(prompts.Messages().at(0).key, "Err_Special_Table_Data_Bound_X");
        EXPECT_EQ(prompts.Messages().at(0).args[0], MessageArg{1LL});
    }
    const SpecialCurveEdit falling = Curve({{"20", "0"}, {"10", "5"}});
    for (Answer answer : {Answer::Ok, Answer::Cancel}) {
        ScriptedPrompts prompts;
        prompts.QueueAnswer(answer);
        EXPECT_EQ(ValidateSpecialCurve(falling, prompts), answer == Answer::Ok);
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_EQ(prompts.Messages()[0].key, "Err_Special_Table_Data");
        EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{1LL, S("10"), 0LL, S("20")}));
        EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkCancelWarning);
    }
}
