#include <gtest/gtest.h>

#include "files/TextFile.h"
#include "model/CglobalFile.h"
#include "model/ScriptedPrompts.h"
#include "tables/CFileOperations.h"
#include "tests/files/TempFolder.h"

using namespace qt40;
using qt40::test::TempFolder;

namespace {

std::string S(const char* text) {
    return text;
}

// A custom TC file body: the lines between the header and "{", then the values.
std::string TcFile(const std::string& headerLines, const std::vector<std::string>& values,
                   bool close = true) {
    std::string text = "/* Custom TC\n" + headerLines + "{\n";
    for (const auto& value : values) text += value + "\n";
    if (close) text += "}\n";
    return text;
}

std::vector<std::string> Numbers(int count, double first, double step) {
    std::vector<std::string> values;
    for (int i = 0; i < count; ++i) values.push_back(std::to_string(first + i * step));
    return values;
}

TableReadOutcome ParseTc(CFileOperations& reader, const std::string& text,
                         TableReaderSetup setup = TableReaderSetup::CustomTc()) {
    reader.SetUp(setup);
    return reader.ParseCustomTable(text);
}

}  // namespace

TEST(TableFileWriter, CustomTcLinesAndRoundTrip) {
    CustomTableImage image;
    image.size = 3;
    image.minimum = -100;
    image.step = 4.9999;  // held slightly low, meant as 5
    image.values[0] = -5.5;
    image.values[1] = 0.0;
    image.values[2] = 12.345678;

    const auto lines =
        CFileOperations::CustomTableLines(CglobalFile::CustomTcHeader(), "TC", image);
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0], "/*" + std::string(56, '*'));
    EXPECT_EQ(lines[4], "/*\t\t-100 <= X(i) <= 800 mV");
    EXPECT_EQ(lines[8], "Minimum TC Temperature = -100");
    EXPECT_EQ(lines[9], "Step = 5");
    EXPECT_EQ(lines[10], "{");
    EXPECT_EQ(lines[11], "-5.500000");
    EXPECT_EQ(lines[13], "12.345678");
    EXPECT_EQ(lines[14], "}");

    TempFolder folder;
    const auto path = folder / "tc.txt";
    ASSERT_TRUE(
        CFileOperations::WriteCustomTable(path, CglobalFile::CustomTcHeader(), "TC", image).ok());
    EXPECT_NE(TempFolder::Slurp(path).find("Step = 5\r\n{\r\n"), std::string::npos);

    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    reader.SetUp(TableReaderSetup::CustomTc());
    ASSERT_EQ(reader.ReadCustomTable(path), TableReadOutcome::Completed);
    const TableReadResult& read = reader.Result();
    EXPECT_TRUE(read.tableValid);
    EXPECT_EQ(read.count, 3);
    EXPECT_EQ(read.xTexts, (std::vector<std::string>{"-5.500000", "0.000000", "12.345678"}));
    EXPECT_EQ(read.minimumText, "-100");
    EXPECT_EQ(read.stepText, "5");
    EXPECT_TRUE(read.stepSeen);

    // LF only reads the same.
    std::string lf;
    for (const auto& line : SplitLines(TempFolder::Slurp(path))) lf += line + "\n";
    EXPECT_EQ(reader.ParseCustomTable(lf), TableReadOutcome::Completed);
    EXPECT_EQ(reader.Result().xTexts, read.xTexts);
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST(TableFileWriter, CustomRtdRoundTripAndTruncatedMinimum) {
    CustomTableImage image;
    image.size = 2;
    image.minimum = -99.5;
    image.step = 10;
    image.values[0] = 80.3;
    image.values[1] = 119.4;
    TempFolder folder;
    const auto path = folder / "rtd.txt";
    ASSERT_TRUE(
        CFileOperations::WriteCustomTable(path, CglobalFile::CustomRtdHeader(), "RTD", image).ok());
    const auto lines = SplitLines(TempFolder::Slurp(path));
    EXPECT_EQ(lines[8], "Minimum RTD Temperature = -99");
    EXPECT_EQ(lines[11], "80.300000");

    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    reader.SetUp(TableReaderSetup::CustomRtd());
    ASSERT_EQ(reader.ReadCustomTable(path), TableReadOutcome::Completed);
    EXPECT_TRUE(reader.Result().tableValid);
    EXPECT_EQ(reader.Result().xTexts, (std::vector<std::string>{"80.300000", "119.400000"}));
    EXPECT_EQ(reader.Result().minimumText, "-99");
}

TEST(TableFileWriter, SpecialCurveRoundTrip) {
    SpecialCurveImage image;
    image.size = 3;
    image.x = {-15.0, 50.0, 115.0};
    image.y = {0.0, 70.25, 100.0};
    TempFolder folder;
    const auto path = folder / "sc.txt";
    ASSERT_TRUE(
        CFileOperations::WriteSpecialCurve(path, CglobalFile::SpecialCurveHeader(), image).ok());
    const auto lines = SplitLines(TempFolder::Slurp(path));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[1], "/*\tLinearization Table( Special Curve ) Definition");
    EXPECT_EQ(lines[7], "{");
    EXPECT_EQ(lines[9], "50.000000,70.250000");

    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    reader.SetUp(TableReaderSetup::SpecialCurve());
    ASSERT_EQ(reader.ReadSpecialCurve(path), TableReadOutcome::Completed);
    EXPECT_TRUE(reader.Result().tableValid);
    EXPECT_EQ(reader.Result().count, 3);
    EXPECT_EQ(reader.Result().xTexts,
              (std::vector<std::string>{"-15.000000", "50.000000", "115.000000"}));
    EXPECT_EQ(reader.Result().yTexts,
              (std::vector<std::string>{"0.000000", "70.250000", "100.000000"}));
}

TEST(TableFileWriter, RefusesAnImageLargerThanTheRecordAndKeepsTheOldFile) {
    TempFolder folder;
    const auto path = folder / "tc.txt";
    TempFolder::Put(path, "previous");
    CustomTableImage image;
    image.size = kCustomTableCapacity + 1;
    EXPECT_FALSE(CFileOperations::WriteCustomTable(path, {}, "TC", image).ok());
    SpecialCurveImage curve;
    curve.size = -1;
    EXPECT_FALSE(CFileOperations::WriteSpecialCurve(path, {}, curve).ok());
    EXPECT_EQ(TempFolder::Slurp(path), "previous");
}

TEST(TableFileReader, KeywordForms) {
    const char* forms[] = {"min=-50\nStep=5\n", "MIN = -50\nSTEP = 5\n",
                           "Minimum TC Temperature = -50\nstep = 5\n"};
    for (const char* form : forms) {
        ScriptedPrompts prompts;
        CFileOperations reader(prompts);
        ASSERT_EQ(ParseTc(reader, TcFile(form, {"1", "2"})), TableReadOutcome::Completed) << form;
        EXPECT_EQ(reader.Result().minimumText, "-50") << form;
        EXPECT_EQ(reader.Result().stepText, "5") << form;
        EXPECT_TRUE(reader.Result().stepSeen);
    }
    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    ASSERT_EQ(ParseTc(reader, TcFile("Minimum = abc\n", {"1", "2"})), TableReadOutcome::Completed);
    EXPECT_EQ(reader.Result().minimumText, "0");  // not numeric: not taken
    EXPECT_FALSE(reader.Result().stepSeen);
    EXPECT_EQ(reader.Result().stepText, "0");
}

TEST(TableFileReader, StepOutOfRangeAsksOkKeepsCancelAborts) {
    for (Answer answer : {Answer::Ok, Answer::Cancel}) {
        ScriptedPrompts prompts;
        prompts.QueueAnswer(answer);
        CFileOperations reader(prompts);
        const auto outcome = ParseTc(reader, TcFile("Step = 60\n", {"1", "2"}));
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_EQ(prompts.Messages()[0].key, "Err_Temp_Step");
        EXPECT_EQ(prompts.Messages()[0].args, MessageArgs{S(" 60")});
        EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkCancelWarning);
        if (answer == Answer::Ok) {
            EXPECT_EQ(outcome, TableReadOutcome::Completed);
            EXPECT_EQ(reader.Result().stepText, "60");
        } else {
            EXPECT_EQ(outcome, TableReadOutcome::Aborted);
        }
    }
}

// A blank or tab left after a number by hand (the step included, which once
// failed its character check for it) is no part of the number.
TEST(TableFileReader, BlanksAroundTheStepAreTrimmedBeforeTheCharacterCheck) {
    ScriptedPrompts prompts;
    prompts.QueueAnswer(Answer::Ok);
    CFileOperations reader(prompts);
    EXPECT_EQ(ParseTc(reader, TcFile("Step = 5 \t\nMin = -5 \n", {"1 ", " 2"})),
              TableReadOutcome::Completed);
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_EQ(reader.Result().stepText, "5");
    EXPECT_TRUE(reader.Result().tableValid);

    // What is no number still fails, shown as the file holds it.
    EXPECT_EQ(ParseTc(reader, TcFile("Step = x5 \n", {"1", "2"})), TableReadOutcome::Aborted);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Temp_Step");
    EXPECT_EQ(prompts.Messages()[0].args, MessageArgs{S(" x5 ")});
    EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkWarning);

    // Tabs around values and X, Y pairs too.
    ScriptedPrompts none;
    CFileOperations tabs(none);
    ASSERT_EQ(ParseTc(tabs, TcFile("Min =\t-5\t\n", {"\t1\t", "2\t"})),
              TableReadOutcome::Completed);
    EXPECT_EQ(tabs.Result().minimumText, "-5");
    EXPECT_EQ(tabs.Result().xTexts, (std::vector<std::string>{"1", "2"}));
    tabs.SetUp(TableReaderSetup::SpecialCurve());
    ASSERT_EQ(tabs.ParseSpecialCurve("{\n0\t,\t0\n100 ,100\t\n}\n"), TableReadOutcome::Completed);
    EXPECT_EQ(tabs.Result().xTexts, (std::vector<std::string>{"0", "100"}));
    EXPECT_EQ(tabs.Result().yTexts, (std::vector<std::string>{"0", "100"}));
    EXPECT_TRUE(none.Messages().empty());

    // Blanks after the minimum or a value do no harm.
    ScriptedPrompts quiet;
    CFileOperations again(quiet);
    ASSERT_EQ(ParseTc(again, TcFile("Min = -5 \n", {"1 ", " 2"})), TableReadOutcome::Completed);
    EXPECT_EQ(again.Result().minimumText, "-5");
    EXPECT_EQ(again.Result().xTexts, (std::vector<std::string>{"1", "2"}));
}

TEST(TableFileReader, BracesMustStandAlone) {
    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    // " { " is no start: everything is header and the table is empty but valid.
    ASSERT_EQ(ParseTc(reader, "Step = 5\n { \n1\n2\n } \n"), TableReadOutcome::Completed);
    EXPECT_TRUE(reader.Result().tableValid);
    EXPECT_EQ(reader.Result().count, 0);

    // A "}" after a single value leaves the table invalid.
    ASSERT_EQ(ParseTc(reader, TcFile("", {"1"})), TableReadOutcome::Completed);
    EXPECT_FALSE(reader.Result().tableValid);
    EXPECT_EQ(reader.Result().count, 1);

    // After two values "}" does not end the data.
    ASSERT_EQ(ParseTc(reader, "{\n1\n2\n}\n3\n"), TableReadOutcome::Completed);
    EXPECT_EQ(reader.Result().count, 3);
}

TEST(TableFileReader, MoreValuesThanTheTableHolds) {
    const std::vector<std::string> values = Numbers(251, -100, 1);
    for (bool blankInstead : {false, true}) {
        std::vector<std::string> lines(values.begin(), values.begin() + 250);
        lines.push_back(blankInstead ? "" : values[250]);
        ScriptedPrompts prompts;
        prompts.QueueAnswer(Answer::Ok);
        CFileOperations reader(prompts);
        ASSERT_EQ(ParseTc(reader, TcFile("", lines)), TableReadOutcome::Completed);
        EXPECT_TRUE(reader.Result().tableValid);
        EXPECT_EQ(reader.Result().count, 250);
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_EQ(prompts.Messages()[0].key, "Err_TableSize");
        EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{251LL, S("Custom TC"), 250LL, 250LL}));
        EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkWarningSystemModal);
    }
    // A set-up asking for more than the record holds still stops at its capacity.
    ScriptedPrompts prompts;
    prompts.QueueAnswer(Answer::Ok);
    CFileOperations reader(prompts);
    TableReaderSetup oversized = TableReaderSetup::CustomTc();
    oversized.maxSize = 1000;
    ASSERT_EQ(ParseTc(reader, TcFile("", Numbers(300, -100, 1)), oversized),
              TableReadOutcome::Completed);
    EXPECT_EQ(reader.Result().count, kCustomTableCapacity);
}

TEST(TableFileReader, ValuesThatFailTheirChecks) {
    ScriptedPrompts prompts;
    // "x1": not numeric, OK only. 900: out of bounds, Cancel skips. 850: OK accepts.
    prompts.QueueAnswers({Answer::Ok, Answer::Cancel, Answer::Ok});
    CFileOperations reader(prompts);
    ASSERT_EQ(ParseTc(reader, TcFile("", {"1", "x1", "900", "850", "   "})),
              TableReadOutcome::Completed);
    EXPECT_EQ(reader.Result().xTexts, (std::vector<std::string>{"1", "850"}));
    ASSERT_EQ(prompts.Messages().size(), 3u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_CustomTable_Data_Bound");
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{2LL, S("x1"), 2LL, -100LL, 800LL, S("mV")}));
    EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkWarning);
    EXPECT_EQ(prompts.Messages()[1].args[1], MessageArg{S("900")});
    EXPECT_EQ(prompts.Messages()[1].type, BoxType::OkCancelWarning);
    EXPECT_EQ(prompts.Messages()[2].args[0], MessageArg{2LL});

    // The RTD rule excludes its lower bound and has its own key.
    ScriptedPrompts rtdPrompts;
    rtdPrompts.QueueAnswer(Answer::Cancel);
    CFileOperations rtd(rtdPrompts);
    ASSERT_EQ(ParseTc(rtd, TcFile("", {"0", "4000"}), TableReaderSetup::CustomRtd()),
              TableReadOutcome::Completed);
    EXPECT_EQ(rtd.Result().xTexts, (std::vector<std::string>{"4000"}));
    EXPECT_EQ(rtdPrompts.Messages().at(0).key, "Err_CustomTable_Data_Bound2");
    EXPECT_EQ(rtdPrompts.Messages().at(0).args,
              (MessageArgs{1LL, S("0"), 1LL, 0LL, 4000LL, S("ohms")}));
}

TEST(TableFileReader, FallingValueOkKeepsItCancelAbandonsTheFile) {
    const std::string file = TcFile("", {"5", "5", "4.5", "4.8", "6"});
    {
        ScriptedPrompts prompts;
        prompts.QueueAnswer(Answer::Cancel);
        CFileOperations reader(prompts);
        EXPECT_EQ(ParseTc(reader, file), TableReadOutcome::Aborted);
        EXPECT_FALSE(reader.Result().tableValid);
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_EQ(prompts.Messages()[0].key, "Err_Custom_Table_Data");
        EXPECT_EQ(prompts.Messages()[0].args,
                  (MessageArgs{3LL, S("4.5"), S("mV"), 2LL, S("5.000"), S("mV")}));
        EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkCancelWarningSystemModal);
    }
    {
        // OK keeps 4.5 but not as the value to compare with, so 4.8 asks as well.
        ScriptedPrompts prompts;
        prompts.QueueAnswers({Answer::Ok, Answer::Ok});
        CFileOperations reader(prompts);
        EXPECT_EQ(ParseTc(reader, file), TableReadOutcome::Completed);
        EXPECT_TRUE(reader.Result().tableValid);
        EXPECT_EQ(reader.Result().count, 5);
        ASSERT_EQ(prompts.Messages().size(), 2u);
        EXPECT_EQ(prompts.Messages()[1].args,
                  (MessageArgs{4LL, S("4.8"), S("mV"), 3LL, S("5.000"), S("mV")}));
    }
}

TEST(TableFileReader, TooLongTextsAreRefusedNotCut) {
    const std::string longValue = "1." + std::string(600, '0');
    ScriptedPrompts prompts;
    prompts.QueueAnswers({Answer::Ok, Answer::Ok});
    CFileOperations reader(prompts);
    ASSERT_EQ(
        // The long header line that is no number at all is ignored without a word.
        ParseTc(reader, "Minimum " + std::string(120, 'x') + "\nMin = -" + std::string(120, '1') +
                            "\n{\n1\n" + longValue + "\n2\n}\n"),
        TableReadOutcome::Completed);
    EXPECT_EQ(reader.Result().minimumText, "0");
    EXPECT_EQ(reader.Result().xTexts, (std::vector<std::string>{"1", "2"}));
    ASSERT_EQ(prompts.Messages().size(), 2u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Table_Text_Too_Long");
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{2LL, 99LL}));
    EXPECT_EQ(prompts.Messages()[1].args, (MessageArgs{5LL, 499LL}));
}

// A file that cannot be opened ends the read with a message naming it (the
// panel shows it), where it used to end without a word.
TEST(TableFileReader, UnreadableFileAbortsAndSaysWhichFile) {
    TempFolder folder;
    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    reader.SetUp(TableReaderSetup::CustomTc());
    EXPECT_EQ(reader.ReadCustomTable(folder / "absent.txt"), TableReadOutcome::Aborted);
    EXPECT_FALSE(reader.Result().tableValid);
    EXPECT_NE(reader.Result().fileError.find("absent.txt"), std::string::npos);
    reader.SetUp(TableReaderSetup::SpecialCurve());
    EXPECT_EQ(reader.ReadSpecialCurve(folder / "absent.txt"), TableReadOutcome::Aborted);
    EXPECT_NE(reader.Result().fileError.find("absent.txt"), std::string::npos);
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST(SpecialCurveReader, OrderSeparatorAndSize) {
    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    reader.SetUp(TableReaderSetup::SpecialCurve());

    // A semicolon instead of the comma abandons the read, naming the line;
    // blank lines before it are skipped.
    prompts.QueueAnswer(Answer::Ok);
    EXPECT_EQ(reader.ParseSpecialCurve("{\n0,0\n   \n10;5\n}\n"), TableReadOutcome::Aborted);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Special_Table_No_Comma");
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{4LL, S("10;5")}));
    EXPECT_EQ(prompts.Messages()[0].type, BoxType::OkWarning);
    // A hand-edited line of any length is shown cut.
    prompts.QueueAnswer(Answer::Ok);
    EXPECT_EQ(reader.ParseSpecialCurve("{\n" + std::string(200, '7') + "\n}\n"),
              TableReadOutcome::Aborted);
    EXPECT_EQ(prompts.Messages()[1].args, (MessageArgs{2LL, std::string(80, '7') + "..."}));
    // An empty member still ends the read silently.
    EXPECT_EQ(reader.ParseSpecialCurve("{\n0,0\n,5\n}\n"), TableReadOutcome::Aborted);
    EXPECT_FALSE(reader.Result().tableValid);
    EXPECT_EQ(prompts.Messages().size(), 2u);

    // Equal X values ask; Y may fall.
    prompts.QueueAnswer(Answer::Cancel);
    EXPECT_EQ(reader.ParseSpecialCurve("{\n0,50\n10,40\n10,30\n}\n"), TableReadOutcome::Aborted);
    ASSERT_EQ(prompts.Messages().size(), 3u);
    EXPECT_EQ(prompts.Messages()[2].key, "Err_Special_Table_Data");
    EXPECT_EQ(prompts.Messages()[2].args, (MessageArgs{2LL, S("10"), 1LL, S("10.000")}));
    EXPECT_EQ(prompts.Messages()[2].type, BoxType::OkCancelWarning);

    std::string full = "{\n";
    for (int i = 0; i < 126; ++i) full += std::to_string(-15.0 + i * 0.9) + ",1\n";
    prompts.QueueAnswer(Answer::Ok);
    EXPECT_EQ(reader.ParseSpecialCurve(full + "}\n"), TableReadOutcome::Completed);
    EXPECT_TRUE(reader.Result().tableValid);
    EXPECT_EQ(reader.Result().count, 125);
    EXPECT_EQ(prompts.Messages().back().args, (MessageArgs{126LL, S("Linearize"), 125LL, 125LL}));
    EXPECT_EQ(prompts.Messages().back().type, BoxType::OkWarning);
}

TEST(SpecialCurveReader, ARefusedYDropsItsXSoTheListsStayPaired) {
    ScriptedPrompts prompts;
    prompts.QueueAnswer(Answer::Cancel);  // Y of 200 out of bounds: skip
    CFileOperations reader(prompts);
    reader.SetUp(TableReaderSetup::SpecialCurve());
    ASSERT_EQ(reader.ParseSpecialCurve("{\n0,0\n 50 , 200\n60,10\n}\n"),
              TableReadOutcome::Completed);
    EXPECT_EQ(reader.Result().xTexts, (std::vector<std::string>{"0", "60"}));
    EXPECT_EQ(reader.Result().yTexts, (std::vector<std::string>{"0", "10"}));
    EXPECT_EQ(prompts.Messages().at(0).args,
              (MessageArgs{2LL, S("200"), 2LL, -15LL, 115LL, S("%")}));
}

TEST(TableTakeOver, CustomTableStepRules) {
    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    CustomTableImage image;
    image.step = 5;

    // With a step line: step and a "%g" maximum from the file.
    ASSERT_EQ(ParseTc(reader, TcFile("Min = -20.5\nStep = 2.5\n", {"1", "2", "3"})),
              TableReadOutcome::Completed);
    CustomTableEdit edit;
    edit.valueTexts[5] = "stale";
    CustomTableSummary summary;
    EXPECT_TRUE(TakeOverCustomTableRead(reader.Result(), image, edit, summary));
    EXPECT_EQ(edit.size, 3);
    EXPECT_EQ(edit.valueTexts[2], "3");
    EXPECT_EQ(edit.valueTexts[5], "");
    EXPECT_EQ(edit.minimumText, "-20.5");
    EXPECT_EQ(edit.stepText, "2.5");
    EXPECT_EQ(summary.tableSize, "3");
    EXPECT_EQ(summary.temperatureStep, "2.5");
    EXPECT_EQ(summary.maxTemperature, "-15.5");

    // No step line and a usable image step: step and maximum stay.
    ASSERT_EQ(ParseTc(reader, TcFile("Min = 10\n", {"1", "2"})), TableReadOutcome::Completed);
    EXPECT_TRUE(TakeOverCustomTableRead(reader.Result(), image, edit, summary));
    EXPECT_EQ(edit.stepText, "2.5");
    EXPECT_EQ(summary.maxTemperature, "-15.5");
    EXPECT_EQ(summary.minTemperature, "10");

    // No step line and no usable image step: step "0", maximum = minimum.
    image.step = 0;
    EXPECT_TRUE(TakeOverCustomTableRead(reader.Result(), image, edit, summary));
    EXPECT_EQ(edit.stepText, "0");
    EXPECT_EQ(summary.temperatureStep, "0");
    EXPECT_EQ(summary.maxTemperature, "10");
}

TEST(TableTakeOver, SpecialCurveShowsFirstAndLastXAsRead) {
    ScriptedPrompts prompts;
    CFileOperations reader(prompts);
    reader.SetUp(TableReaderSetup::SpecialCurve());
    ASSERT_EQ(reader.ParseSpecialCurve("{\n-5.0,1\n20,2\n99.5,3\n}\n"),
              TableReadOutcome::Completed);
    SpecialCurveEdit edit;
    SpecialCurveSummary summary;
    EXPECT_TRUE(TakeOverSpecialCurveRead(reader.Result(), edit, summary));
    EXPECT_EQ(edit.size, 3);
    EXPECT_EQ(edit.xTexts[2], "99.5");
    EXPECT_EQ(edit.yTexts[2], "3");
    EXPECT_EQ(summary.minimumValue, "-5.0");
    EXPECT_EQ(summary.maximumValue, "99.5");
    EXPECT_EQ(summary.tableSize, "3");
}
