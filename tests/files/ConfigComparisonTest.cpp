// The rules of the comparison pages without a widget: copying, comparing,
// the "CHG" entries and their limits, and the way the file side keeps what
// no page shows.

#include <gtest/gtest.h>

#include "tests/files/TempFolder.h"
#include "files/CFilePropertyReadWrite.h"
#include "files/ConfigComparison.h"
#include "files/FileConfigFromDevice.h"
#include "model/EntryRules.h"
#include "model/ScriptedPrompts.h"

namespace qt40 {
namespace {

DeviceRecord Device() {
    DeviceRecord r;
    r.SetStartValues();
    r.tag = "TT-101  ";
    r.sensorType = 12;  // Pt100
    r.measurementType = 0;
    r.sensorWires = 3;
    r.pvUnit = 32;  // degC
    r.upperRange = 100.0;
    r.lowerRange = 0.0;
    r.damping = 2.0;
    r.aoAlarmHigh = 21.75;
    r.deviceTypeName = "QT40";
    r.preamblesText = "5";
    r.firmwareRevText = "3";
    r.constantCjcValue = 25.0;
    r.trimZeroPoint = 0.5;
    return r;
}

// A model whose two columns hold the same device values.
ConfigComparison Equal() {
    ConfigComparison m;
    m.LoadDevice(Device());
    m.LoadFile(FileConfigFromDevice(Device()));
    return m;
}

SelectionResult Pick(EnumKind kind, const std::string& name) {
    const int position = CglobalFile::FindByName(CglobalFile::Pair(kind).names, name);
    EXPECT_GE(position, 0) << name;
    return {position, *CglobalFile::CodeAt(kind, position)};
}

TEST(ConfigComparisonTest, CopyColoursOnlyWhatChangedAndCarriesTheWholeGroup) {
    struct Case {
        const char* name;
        ConfigRow row;
        Side to;
        Field changed;  // set to another text on the source side first
        std::vector<Field> yellow;
    };
    const Case cases[] = {
        {"tag to the device", ConfigRow::Tag, Side::Device, Field::Tag, {Field::Tag}},
        {"range takes its unit captions",
         ConfigRow::PvRange,
         Side::File,
         Field::UpperRangeUnit,
         {Field::UpperRangeUnit}},
        {"sensor group takes the PV unit",
         ConfigRow::SensorType,
         Side::File,
         Field::PvUnit,
         {Field::PvUnit}},
        {"drift alarm takes its caption",
         ConfigRow::PvDriftAlarm,
         Side::Device,
         Field::DriftAlarmUnit,
         {Field::DriftAlarmUnit}},
        {"device identification to the file",
         ConfigRow::DeviceId,
         Side::File,
         Field::DeviceId,
         {Field::DeviceId}},
        {"device identification never to the device",
         ConfigRow::DeviceId,
         Side::Device,
         Field::DeviceId,
         {}},
    };
    for (const Case& c : cases) {
        ConfigComparison m = Equal();
        const Side from = c.to == Side::File ? Side::Device : Side::File;
        m.SetText(from, c.changed, "other");
        m.Mark(from, {c.changed}, Highlight::Normal);
        m.CopyRow(c.row, c.to);
        for (int i = 0; i < kFieldCount; ++i) {
            const auto f = static_cast<Field>(i);
            const bool expected = std::find(c.yellow.begin(), c.yellow.end(), f) != c.yellow.end();
            EXPECT_EQ(m.Colour(c.to, f) == Highlight::Changed, expected)
                << c.name << ": " << FieldCaption(f);
            if (expected) {
                EXPECT_EQ(m.Text(c.to, f), "other") << c.name;
            }
        }
    }
}

TEST(ConfigComparisonTest, CopyOnEqualTextsLeavesAPinkMarkAsItIs) {
    ConfigComparison m = Equal();
    m.SetText(Side::File, Field::PvDamping, "3.000");
    m.Compare(Side::Device);
    ASSERT_EQ(m.Colour(Side::Device, Field::PvDamping), Highlight::Differs);
    m.SetText(Side::File, Field::PvDamping, "2.000");  // equal again
    m.CopyRow(ConfigRow::PvDamping, Side::Device);
    EXPECT_EQ(m.Colour(Side::Device, Field::PvDamping), Highlight::Differs);
}

TEST(ConfigComparisonTest, CompareMarksOnlyTheComparedSideAndCountsBothPages) {
    ConfigComparison m = Equal();
    m.SetText(Side::File, Field::Tag, "TT-102");
    m.SetText(Side::File, Field::AoAlarmHigh, "22.000");
    m.SetText(Side::Device, Field::Descriptor, m.Text(Side::Device, Field::Descriptor));
    EXPECT_EQ(m.Compare(Side::File), 2);
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        const bool pink = f == Field::Tag || f == Field::AoAlarmHigh;
        EXPECT_EQ(m.Colour(Side::File, f), pink ? Highlight::Differs : Highlight::Normal)
            << FieldCaption(f);
    }
    // The device side keeps its own colours: the descriptor edit stays yellow.
    EXPECT_EQ(m.Colour(Side::Device, Field::Tag), Highlight::Normal);
    EXPECT_EQ(m.Colour(Side::Device, Field::Descriptor), Highlight::Changed);
    // Texts compare exactly: case counts.
    m.SetText(Side::File, Field::Tag, "tt-101  ");
    m.SetText(Side::File, Field::AoAlarmHigh, m.Text(Side::Device, Field::AoAlarmHigh));
    EXPECT_EQ(m.Compare(Side::Device), 1);
    EXPECT_EQ(m.Colour(Side::Device, Field::Tag), Highlight::Differs);
}

// The device pads a tag, descriptor or message with blanks to its length: a
// file's "TT-101" is its "TT-101  ". What is shown and saved stays as it was.
TEST(ConfigComparisonTest, PackedTextsCompareWithoutTheBlanksTheDevicePadsThemWith) {
    ConfigComparison m = Equal();
    m.SetText(Side::File, Field::Tag, "TT-101");
    m.SetText(Side::File, Field::Message, "");
    EXPECT_EQ(m.Text(Side::Device, Field::Tag), "TT-101  ");
    EXPECT_EQ(m.Compare(Side::File), 0);
    EXPECT_EQ(m.Colour(Side::File, Field::Tag), Highlight::Normal);
    EXPECT_EQ(m.Text(Side::File, Field::Tag), "TT-101");
    EXPECT_EQ(m.FileValues().tag, "TT-101");

    const struct {
        Field field;
        const char* a;
        const char* b;
        bool same;
    } rows[] = {
        {Field::Tag, "ABC", "ABC     ", true},
        {Field::Descriptor, "ABC\t", "ABC", true},
        {Field::Tag, " ABC", "ABC", false},  // a leading blank is part of the text
        {Field::Tag, "abc", "ABC", false},
        {Field::Date, "2024/01/01 ", "2024/01/01", false},  // only the padded texts
        {Field::PvDamping, "2.000 ", "2.000", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SameFieldText(row.field, row.a, row.b), row.same) << row.a << '|' << row.b;
    }
}

// "CHG" takes, on either side, only what the device can hold.
TEST(ConfigComparisonTest, ChgRefusesCharactersAndDatesTheDeviceCannotHold) {
    ConfigComparison m = Equal();
    ScriptedPrompts prompts;
    prompts.QueueText("AB~1");
    prompts.QueueAnswer(Answer::Ok);
    prompts.QueueText("2205/01/01");
    prompts.QueueAnswer(Answer::Ok);
    EXPECT_FALSE(m.Edit(ConfigRow::Tag, Side::File, prompts));
    EXPECT_FALSE(m.Edit(ConfigRow::Date, Side::Device, prompts));
    EXPECT_EQ(m.Text(Side::File, Field::Tag), "TT-101  ");
    EXPECT_EQ(m.Colour(Side::File, Field::Tag), Highlight::Normal);
    EXPECT_EQ(m.Colour(Side::Device, Field::Date), Highlight::Normal);
    ASSERT_EQ(prompts.Messages().size(), 2u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Packed_Char");
    EXPECT_EQ(prompts.Messages()[0].args, MessageArgs{std::string("~")});
    EXPECT_EQ(prompts.Messages()[1].key, "Err_Date_Invalid");
    // The entry dialog itself is told: a tag, descriptor or message is packed.
    ASSERT_EQ(prompts.TextEntries().size(), 2u);
    EXPECT_TRUE(prompts.TextEntries()[0].packed);
    EXPECT_FALSE(prompts.TextEntries()[1].packed);
}

TEST(ConfigComparisonTest, AllCopyToTheFileFillsTheHiddenValuesAndSurvivesAFile) {
    ConfigComparison m;
    m.LoadDevice(Device());
    m.CopyAllToFile(Device());
    const FileConfig file = m.FileValues();
    EXPECT_EQ(file, FileConfigFromDevice(Device()));
    EXPECT_EQ(file.constantCjcValue, "25.00");
    EXPECT_EQ(file.trim2ZeroPoint, "0.500000");
    EXPECT_EQ(m.Colour(Side::File, Field::Tag), Highlight::Changed);

    test::TempFolder folder;
    ASSERT_TRUE(SaveConfigFile(folder / "plant.txt", file).ok());
    CFilePropertyReadWrite reader;
    ASSERT_TRUE(reader.Read(folder / "plant.txt").ok());
    ConfigComparison again;
    again.LoadFile(reader.Values());
    EXPECT_EQ(again.FileValues(), file);
    EXPECT_EQ(again.Text(Side::File, Field::UpperRangeUnit), "degC");
    EXPECT_EQ(again.Colour(Side::File, Field::Tag), Highlight::Normal);

    // ">> All Copy" writes every value but the device identification.
    again.SetText(Side::File, Field::DeviceId, "1");
    again.CopyAllToDevice();
    EXPECT_EQ(again.Text(Side::Device, Field::Tag), "TT-101  ");
    EXPECT_EQ(again.Text(Side::Device, Field::DeviceId), "");
}

TEST(ConfigComparisonTest, NumberEntriesUseTheRowsLimitsAndMessages) {
    struct Case {
        ConfigRow row;
        bool lower;
        const char* title;
        const char* typed;
        const char* errorKey;  // "" when accepted
    };
    const Case cases[] = {
        {ConfigRow::PvRange, false, "Set_PV_Upper_Range_File", "100000",
         "Err_Calibration_Value_Invalid"},
        {ConfigRow::PvRange, false, "Set_PV_Upper_Range_File", "99999", ""},
        {ConfigRow::PvRange, true, "Set_PV_Lower_Range_File", "0", ""},
        {ConfigRow::PvDamping, false, "Set_Damping_Value_Title", "0", ""},
        {ConfigRow::PvDamping, false, "Set_Damping_Value_Title", "0.4", "Err_Range_Input"},
        {ConfigRow::PvDriftAlarm, false, "Set_DriftAlarm_Title", "1000.01", "Err_Range_Input"},
        {ConfigRow::WireResistance, false, "Set_LeadWire_Title", "20", ""},
        {ConfigRow::SensorRange, true, "Set_Sensor_Lower_Range_File", "-100000",
         "Err_Calibration_Value_Invalid"},
        {ConfigRow::SensorSerialNo, false, "Set_SerialNo_Value_Title", "16777216",
         "Err_Range_Input"},
        {ConfigRow::AoAlarmHigh, false, "Set_AO_Alarm_High_Title", "21.4", "Err_Range_Input"},
        {ConfigRow::AoAlarmLow, false, "Set_AO_Alarm_Low_Title", "3.8", ""},
        {ConfigRow::AoSaturationLow, false, "Set_Saturation_Low_Title", "4.01", "Err_Range_Input"},
    };
    for (const Case& c : cases) {
        const NumberEntry entry = ConfigComparison::EntryOf(c.row, c.lower);
        EXPECT_EQ(entry.titleKey, c.title);
        EXPECT_EQ(CheckNumberEntry(entry, c.typed).errorKey, c.errorKey)
            << c.title << " " << c.typed;
    }
    const NumberEntry ao = ConfigComparison::EntryOf(ConfigRow::AoSaturationHigh);
    EXPECT_EQ(ao.promptArgs,
              (MessageArgs{std::string("20.00"), std::string("21.50"), std::string("mA")}));
}

TEST(ConfigComparisonTest, EditsStoreTheShownFormsInYellow) {
    ConfigComparison m = Equal();
    ScriptedPrompts prompts;
    NumberResult resistance;
    resistance.formattedText = "1.500";
    resistance.value = 1.5;
    prompts.QueueNumber(resistance);
    NumberResult serial;
    serial.formattedText = "77.000";
    serial.value = 77;
    prompts.QueueNumber(serial);
    prompts.QueueText("NEW");
    prompts.QueueSelection(Pick(EnumKind::AoAlarmMode, "Low"));
    EXPECT_TRUE(m.Edit(ConfigRow::WireResistance, Side::Device, prompts));
    EXPECT_TRUE(m.Edit(ConfigRow::SensorSerialNo, Side::File, prompts));
    EXPECT_TRUE(m.Edit(ConfigRow::Tag, Side::File, prompts));
    EXPECT_TRUE(m.Edit(ConfigRow::AoAlarmMode, Side::File, prompts));
    EXPECT_FALSE(m.Edit(ConfigRow::DeviceId, Side::File, prompts));

    EXPECT_EQ(m.Text(Side::Device, Field::WireResistance), "1.5000");
    EXPECT_EQ(m.Text(Side::File, Field::SensorSerialNo), "77");
    EXPECT_EQ(m.Text(Side::File, Field::Tag), "NEW");
    EXPECT_EQ(m.Text(Side::File, Field::AoAlarmMode), "Low");
    for (auto [side, field] :
         {std::pair{Side::Device, Field::WireResistance}, std::pair{Side::File, Field::Tag}}) {
        EXPECT_EQ(m.Colour(side, field), Highlight::Changed);
    }
    ASSERT_EQ(prompts.TextEntries().size(), 1u);
    EXPECT_EQ(prompts.TextEntries()[0].lengthLimit, 8);
    EXPECT_EQ(prompts.TextEntries()[0].initialText, "TT-101");
    ASSERT_EQ(prompts.Selections().size(), 1u);
    EXPECT_EQ(prompts.Selections()[0].titleKey, "Set_AlarmMode");
    EXPECT_EQ(prompts.Selections()[0].preselectName, "High");
}

TEST(ConfigComparisonTest, ASensorTypeBringsItsDefaultsAndTheOtherGroupsFirstEntry) {
    struct Case {
        const char* type;
        const char* secondTitle;
        const char* chosen;
        const char* unit;
        const char* upper;
        const char* lower;
        const char* measurement;
        const char* wires;
    };
    const Case cases[] = {
        {"Type S", "Select_Measurement_Type", "Single", "degC", "1760.00", "-50.00", "Single",
         "2 Wires"},
        {"Pt100", "Select_Wire_Type", "4 Wires", nullptr, nullptr, nullptr, "Single", "4 Wires"},
    };
    for (const Case& c : cases) {
        ConfigComparison m = Equal();
        m.SetText(Side::File, Field::MeasurementType, "Different");
        ScriptedPrompts prompts;
        prompts.QueueSelection(Pick(EnumKind::SensorType, c.type));
        const bool byWires = std::string(c.secondTitle) == "Select_Wire_Type";
        prompts.QueueSelection(
            Pick(byWires ? EnumKind::Wires : EnumKind::MeasurementType, c.chosen));
        ASSERT_TRUE(m.Edit(ConfigRow::SensorType, Side::File, prompts)) << c.type;
        EXPECT_EQ(prompts.Selections()[1].titleKey, c.secondTitle);
        EXPECT_EQ(m.Text(Side::File, Field::SensorType), c.type);
        EXPECT_EQ(m.Text(Side::File, Field::MeasurementType), c.measurement);
        EXPECT_EQ(m.Text(Side::File, Field::SensorWires), c.wires);
        if (c.unit) {
            for (Field f : {Field::PvUnit, Field::UpperRangeUnit, Field::LowerRangeUnit,
                            Field::DriftAlarmUnit}) {
                EXPECT_EQ(m.Text(Side::File, f), c.unit);
            }
            EXPECT_EQ(m.Text(Side::File, Field::PvUpperRange), c.upper);
            EXPECT_EQ(m.Text(Side::File, Field::PvLowerRange), c.lower);
        }
        // The device side is a column of its own.
        EXPECT_EQ(m.Text(Side::Device, Field::SensorType), "Pt100");
    }
}

TEST(ConfigComparisonTest, ACancelledLowerEndKeepsTheUpperEndAsItWas) {
    ConfigComparison m = Equal();
    ScriptedPrompts prompts;
    NumberResult upper;
    upper.formattedText = "150.000";
    upper.value = 150;
    prompts.QueueNumber(upper);
    prompts.QueueNumber(std::nullopt);
    EXPECT_FALSE(m.Edit(ConfigRow::PvRange, Side::File, prompts));
    EXPECT_EQ(m.Text(Side::File, Field::PvUpperRange), "100.000");
    EXPECT_EQ(m.Colour(Side::File, Field::PvUpperRange), Highlight::Normal);
}

}  // namespace
}  // namespace qt40

namespace qt40 {
namespace {

// Every value line of a saved file, changed one at a time: the comparison of
// the stored values names exactly that one, those no page shows included.
TEST(StoredValuesTest, EveryRowOfASavedFileIsCompared) {
    const FileConfig saved = FileConfigFromDevice(Device());
    const std::vector<std::string> lines = CFilePropertyReadWrite::BuildLines(saved);
    int values = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t mark = lines[i].find("= ");
        if (mark == std::string::npos) continue;
        ++values;
        std::vector<std::string> changed = lines;
        changed[i].insert(mark + 2, "9");
        std::string text;
        for (const std::string& line : changed) text += line + "\r\n";
        CFilePropertyReadWrite file;
        file.ReadText(text);
        const std::vector<StoredValue> differing = StoredDifferences(file.Values(), saved);
        ASSERT_EQ(differing.size(), 1u) << lines[i];
        ASSERT_NE(differing[0].caption, nullptr) << lines[i];
    }
    EXPECT_EQ(values, static_cast<int>(CFilePropertyReadWrite::kKeyCount));
    EXPECT_EQ(StoredValues().size(), CFilePropertyReadWrite::kKeyCount);

    // The constant CJC value, which no page shows, by its own name.
    FileConfig cjc = saved;
    cjc.constantCjcValue = "30.00";
    const auto differing = StoredDifferences(cjc, saved);
    ASSERT_EQ(differing.size(), 1u);
    EXPECT_STREQ(differing[0].caption, "Constant CJC Value");
    // A tag padded by the device is the same tag.
    FileConfig padded = saved;
    padded.tag = "TT-101";
    EXPECT_TRUE(StoredDifferences(padded, saved).empty());
}

}  // namespace
}  // namespace qt40
