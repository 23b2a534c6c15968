#include <gtest/gtest.h>

#include "files/CFilePropertyReadWrite.h"
#include "files/FileConfigFromDevice.h"
#include "files/TextFile.h"
#include "tests/files/TempFolder.h"

using namespace qt40;
using qt40::test::TempFolder;

namespace {

// Every value distinct, so a value landing under the wrong key shows.
FileConfig FullConfig() {
    FileConfig c;
    c.tag = "TT-101";
    c.descriptor = "BOILER FEED";
    c.message = "CHECKED 2024 BY A. N. OTHER";
    c.date = "2024/03/15";
    c.deviceType = "QT40";
    c.deviceId = "123456";
    c.sensorType = "Pt100";
    c.measurementType = "Single";
    c.sensorWires = "3 Wires";
    c.pvUnit = "degC";
    c.pvUpperRange = "850.000";
    c.pvLowerRange = "-200.000";
    c.pvDamping = "2.500";
    c.pvDriftAlarm = "5.000";
    c.burnoutDetection = "ON";
    c.transferFunction = "LINEAR";
    c.sensorSerialNo = "4711";
    c.leadWireResistance = "0.2500";
    c.sensorUpperRange = "851.000";
    c.sensorLowerRange = "-201.000";
    c.termTempUnit = "degF";
    c.cjcMode = "Constant CJC";
    c.constantCjcValue = "25.00";
    c.aoAlarmMode = "Low";
    c.aoAlarmHigh = "22.000";
    c.aoAlarmLow = "3.780";
    c.aoSaturationHigh = "20.500";
    c.aoSaturationLow = "3.900";
    c.trim1ZeroPoint = "0.100000";
    c.trim1ZeroValue = "0.200000";
    c.trim1SpanGain = "1.000300";
    c.trim2ZeroPoint = "0.400000";
    c.trim2ZeroValue = "0.500000";
    c.trim2SpanGain = "0.999600";
    c.finalAssemblyNo = "16777215";
    c.preambles = "5";
    c.universalCmdRev = "5";
    c.transmitterSpecRev = "2";
    c.hardwareRev = "1.0";
    c.firmwareRev = "3";
    return c;
}

FileConfig ReadText(const std::string& text, const FileConfig& start = {}) {
    CFilePropertyReadWrite file;
    file.SetValues(start);
    file.ReadText(text);
    return file.Values();
}

}  // namespace

TEST(ConfigFile, KeyLinesArePaddedTo24ThenEquals) {
    const auto lines = CFilePropertyReadWrite::KeyLines();
    ASSERT_EQ(lines.size(), 48u);
    EXPECT_EQ(lines[0], "[Device Information]");
    EXPECT_EQ(lines[1], "Tag                     = ");
    EXPECT_EQ(lines[31], "AO Saturation High Value= ");
    EXPECT_EQ(lines[47], "Firmware Revision       = ");
    std::size_t keys = 0;
    for (const auto& line : lines) keys += line.find("= ") != std::string::npos;
    EXPECT_EQ(keys, CFilePropertyReadWrite::kKeyCount);
}

TEST(ConfigFile, NumbersCarryTheirUnitCaptionAfterATab) {
    const auto lines = CFilePropertyReadWrite::BuildLines(FullConfig());
    EXPECT_EQ(lines[4], "Date                    = 2024/03/15");
    EXPECT_EQ(lines[12], "PV Upper Range          = 850.000\tdegC");
    EXPECT_EQ(lines[14], "PV Damping              = 2.500\tSec");
    EXPECT_EQ(lines[20], "Lead wire resistance    = 0.2500\tOhms");
    EXPECT_EQ(lines[26], "Constant CJC Value      = 25.00\tdegF");
    EXPECT_EQ(lines[31], "AO Saturation High Value= 20.500\tmA");
    EXPECT_EQ(lines[34], "Snsr #1 Zero Point      = 0.100000\tdegC");
    EXPECT_EQ(lines[36], "Snsr #1 Span Gain       = 1.000300");
    EXPECT_EQ(lines[19], "Sensor Serial No        = 4711");
    FileUnitCaptions japanese{"s", "Ohm", "mA"};
    EXPECT_EQ(CFilePropertyReadWrite::BuildLines(FullConfig(), japanese)[14],
              "PV Damping              = 2.500\ts");
}

TEST(ConfigFile, WrittenFileReadsBackEveryValueIncludingFileSideOnes) {
    TempFolder folder;
    const auto path = folder / "config.txt";
    ASSERT_TRUE(SaveConfigFile(path, FullConfig()).ok());

    const std::string bytes = TempFolder::Slurp(path);
    EXPECT_EQ(bytes.substr(0, 22), "[Device Information]\r\n");
    EXPECT_EQ(SplitLines(bytes).size(), 48u);

    CFilePropertyReadWrite reader;
    ASSERT_TRUE(reader.Read(path).ok());
    EXPECT_EQ(reader.Values(), FullConfig());

    // The same file with LF only, or with a byte-order mark and lone CRs, reads the same.
    std::string lf;
    std::string cr = "\xEF\xBB\xBF";
    for (const auto& line : SplitLines(bytes)) {
        lf += line + "\n";
        cr += line + "\r";
    }
    for (const std::string& variant : {lf, cr}) {
        TempFolder::Put(path, variant);
        CFilePropertyReadWrite again;
        ASSERT_TRUE(again.Read(path).ok());
        EXPECT_EQ(again.Values(), FullConfig());
    }
}

TEST(ConfigFile, EmptyFileSideValuesStayEmpty) {
    TempFolder folder;
    const auto path = folder / "empty.txt";
    ASSERT_TRUE(SaveConfigFile(path, FileConfig{}).ok());
    const auto lines = SplitLines(TempFolder::Slurp(path));
    EXPECT_EQ(lines[5], "Device Type             = ");
    EXPECT_EQ(lines[12], "PV Upper Range          = \t");
    CFilePropertyReadWrite reader;
    reader.SetValues(FullConfig());
    ASSERT_TRUE(reader.Read(path).ok());
    EXPECT_EQ(reader.Values(), FileConfig{});
}

TEST(ConfigFile, NumbersWithoutTheirUnitReadAsEmpty) {
    struct Row {
        const char* line;
        const char* upper;
    };
    const Row rows[] = {
        {"PV Upper Range          = 100.000", ""},
        {"PV Upper Range          = 100.000 degC", "100.000"},
        {"PV Upper Range=100.000 degC", "100.000"},
        {"PV Upper Range = 100.000\t\tdegC extra", "100.000"},
        {"PV Upper Range          = ", ""},
        {"PV Upper Range          =    \t  ", ""},
    };
    for (const Row& row : rows) {
        FileConfig start;
        start.pvUpperRange = "old";
        EXPECT_EQ(ReadText(row.line, start).pvUpperRange, row.upper) << row.line;
    }
    // Keys without a unit keep the whole value, blanks inside included.
    EXPECT_EQ(ReadText("Snsr #2 Span Gain = 1.5 x").trim2SpanGain, "1.5 x");
}

// A number whose unit caption is empty (no PV unit chosen yet, a partial
// file without "Sensor Unit", a language file without a caption) still
// comes back: a dash stands in for the unit. With units, nothing changes.
TEST(ConfigFile, NumbersWithAnEmptyUnitSurviveSaveAndRead) {
    FileConfig config = FullConfig();
    config.pvUnit.clear();
    config.termTempUnit = " ";
    const FileUnitCaptions none{"", "  ", ""};
    const auto lines = CFilePropertyReadWrite::BuildLines(config, none);
    EXPECT_EQ(lines[12], "PV Upper Range          = 850.000\t-");
    EXPECT_EQ(lines[14], "PV Damping              = 2.500\t-");
    EXPECT_EQ(lines[26], "Constant CJC Value      = 25.00\t-");
    EXPECT_EQ(lines[31], "AO Saturation High Value= 20.500\t-");
    TempFolder folder;
    const auto path = folder / "units.txt";
    ASSERT_TRUE(CFilePropertyReadWrite::Write(path, lines).ok());
    CFilePropertyReadWrite reader;
    ASSERT_TRUE(reader.Read(path).ok());
    FileConfig expected = config;
    expected.termTempUnit.clear();  // a name keeps no blanks around it
    EXPECT_EQ(reader.Values(), expected);
    // An empty value still ends with its tab, as before.
    config.pvUpperRange.clear();
    EXPECT_EQ(CFilePropertyReadWrite::BuildLines(config, none)[12], "PV Upper Range          = \t");
}

// Names and numbers of a hand-edited file lose the blanks and tabs around
// them; the texts the device stores keep theirs.
TEST(ConfigFile, NamesAndNumbersLoseTheBlanksAroundThem) {
    const FileConfig c = ReadText(
        "Sensor Type = Type K \nSensor Unit = degC\t\nSensor Wires = 2 Wires  \n"
        "Sensor Serial No = 42 \nDate = 2024/03/15 \nSnsr #1 Span Gain = 1.5 \n"
        "PV Upper Range = 100 degC \nTag = AB \nMessage = HOT  \n");
    EXPECT_EQ(c.sensorType, "Type K");
    EXPECT_EQ(c.pvUnit, "degC");
    EXPECT_EQ(c.sensorWires, "2 Wires");
    EXPECT_EQ(c.sensorSerialNo, "42");
    EXPECT_EQ(c.date, "2024/03/15");
    EXPECT_EQ(c.trim1SpanGain, "1.5");
    EXPECT_EQ(c.pvUpperRange, "100");
    EXPECT_EQ(c.tag, "AB ");
    EXPECT_EQ(c.message, "HOT  ");
}

TEST(ConfigFile, KeysAreExactAndValuesLoseOnlyLeadingBlanks) {
    FileConfig start = FullConfig();
    EXPECT_EQ(ReadText("tag = lower", start).tag, "TT-101");
    EXPECT_EQ(ReadText("   Tag   =    ABC ", start).tag, "ABC ");
    EXPECT_EQ(ReadText("Tag = a=b=c", start).tag, "a=b=c");
    EXPECT_EQ(ReadText("Tag = FIRST\nTag = SECOND", start).tag, "SECOND");
    EXPECT_EQ(ReadText("Tag", start).tag, "TT-101");
    EXPECT_EQ(ReadText("Unknown Key = 5\n= 7", start), start);
}

TEST(ConfigFile, APartialFileChangesOnlyWhatItNames) {
    FileConfig expected = FullConfig();
    expected.tag = "NEW";
    EXPECT_EQ(ReadText("[Device Information]\r\nTag                     = NEW\r\n", FullConfig()),
              expected);
}

TEST(ConfigFile, AFileThatCannotBeOpenedChangesNothing) {
    TempFolder folder;
    CFilePropertyReadWrite reader;
    reader.SetValues(FullConfig());
    const FileResult result = reader.Read(folder / "absent.txt");
    EXPECT_EQ(result.status, FileResult::Status::NotOpened);
    EXPECT_EQ(reader.Values(), FullConfig());
}

TEST(ConfigFile, AFailedSaveKeepsThePreviousFile) {
    TempFolder folder;
    const auto path = folder / "config.txt";
    ASSERT_TRUE(SaveConfigFile(path, FullConfig()).ok());
    const std::string before = TempFolder::Slurp(path);

    FileConfig broken = FullConfig();
    broken.message = "LINE\nBREAK";
    const FileResult result = SaveConfigFile(path, broken);
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(TempFolder::Slurp(path), before);

    const auto blocked = folder / "file-not-folder";
    TempFolder::Put(blocked, "x");
    EXPECT_FALSE(SaveConfigFile(blocked / "config.txt", FullConfig()).ok());
}

TEST(ConfigFromDevice, UsesTheDeviceColumnFormats) {
    DeviceRecord device;
    device.tag = "TAG1    ";
    device.descriptor = "DESC";
    device.message = "MSG";
    device.date = "2024/01/02";
    device.deviceTypeName = "QT40";
    device.deviceIdText = "65537";
    device.sensorType = 137;
    device.measurementType = 2;
    device.sensorWires = 4;
    device.pvUnit = 33;
    device.upperRange = 1372.0;
    device.lowerRange = -180.0;
    device.damping = 0.5;
    device.driftAlarm = 12.3456;
    device.burnoutDetection = 1;
    device.transferFunction = 4;
    device.sensorSerialNo = 16777215;
    device.leadWireResistance = 1.23456;
    device.sensorUpperRange = 1.0;
    device.sensorLowerRange = -1.0;
    device.termTempUnit = 35;
    device.cjcMode = 3;
    device.constantCjcValue = 23.456;
    device.aoAlarmMode = 2;
    device.aoAlarmHigh = 22.5;
    device.aoAlarmLow = 3.75;
    device.aoSaturationHigh = 20.8;
    device.aoSaturationLow = 3.9;
    device.trimZeroPoint = 0.5;
    device.trimZeroValue = -0.25;
    device.trimSpanGain = 1.0000004;
    device.finalAssemblyNo = 42;
    device.preamblesText = "5";
    device.universalRevText = "5";
    device.transmitterRevText = "1";
    device.hardwareRevText = "2.1";
    device.firmwareRevText = "7";

    const FileConfig c = FileConfigFromDevice(device);
    EXPECT_EQ(c.tag, "TAG1    ");
    EXPECT_EQ(c.deviceType, "QT40");
    EXPECT_EQ(c.deviceId, "65537");
    EXPECT_EQ(c.sensorType, "Type K");
    EXPECT_EQ(c.measurementType, "Average");
    EXPECT_EQ(c.sensorWires, "4 Wires");
    EXPECT_EQ(c.pvUnit, "degF");
    EXPECT_EQ(c.pvUpperRange, "1372.000");
    EXPECT_EQ(c.pvLowerRange, "-180.000");
    EXPECT_EQ(c.pvDamping, "0.500");
    EXPECT_EQ(c.pvDriftAlarm, "12.346");
    EXPECT_EQ(c.burnoutDetection, "ON");
    EXPECT_EQ(c.transferFunction, "SPECIAL_CURVE");
    EXPECT_EQ(c.sensorSerialNo, "16777215");
    EXPECT_EQ(c.leadWireResistance, "1.2346");
    EXPECT_EQ(c.termTempUnit, "Kelvin");
    EXPECT_EQ(c.cjcMode, "Constant CJC");
    EXPECT_EQ(c.constantCjcValue, "23.46");
    EXPECT_EQ(c.aoAlarmMode, "Hold");
    EXPECT_EQ(c.aoSaturationHigh, "20.800");
    EXPECT_EQ(c.aoAlarmLow, "3.750");
    EXPECT_EQ(c.trim1ZeroPoint, "0.500000");
    EXPECT_EQ(c.trim2ZeroPoint, "0.500000");
    EXPECT_EQ(c.trim1ZeroValue, "-0.250000");
    EXPECT_EQ(c.trim2SpanGain, "1.000000");
    EXPECT_EQ(c.finalAssemblyNo, "42");
    EXPECT_EQ(c.hardwareRev, "2.1");

    // A code no table knows is shown as its number.
    device.transferFunction = 2;
    EXPECT_EQ(FileConfigFromDevice(device).transferFunction, "2");

    // What the command line saves reads back as what the pages would hold.
    TempFolder folder;
    ASSERT_TRUE(SaveConfigFile(folder / "upload.txt", c).ok());
    CFilePropertyReadWrite reader;
    ASSERT_TRUE(reader.Read(folder / "upload.txt").ok());
    EXPECT_EQ(reader.Values(), c);
    const auto lines = SplitLines(TempFolder::Slurp(folder / "upload.txt"));
    EXPECT_EQ(lines[26], "Constant CJC Value      = 23.46\tKelvin");
    EXPECT_EQ(lines[13], "PV Lower Range          = -180.000\tdegF");
}
