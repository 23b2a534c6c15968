#include <gtest/gtest.h>

#include "model/CglobalFile.h"
#include "model/DeviceRecord.h"
#include "model/SensorDefaults.h"

using namespace qt40;

TEST(EnumTables, NamesOfCodesThatPanelsShow) {
    struct Row {
        EnumKind kind;
        int code;
        const char* name;
    };
    const Row rows[] = {
        {EnumKind::SensorType, 93, "Custom RTD"},   {EnumKind::SensorType, 1, "OHM"},
        {EnumKind::SensorType, 146, "Custom TC"},   {EnumKind::SensorType, 129, "Millivolt"},
        {EnumKind::TransferFunction, 4, "SPECIAL_CURVE"}, {EnumKind::Unit, 40, "V"},
        {EnumKind::Unit, 57, "%"},                  {EnumKind::Unit, 37, "ohm"},
        {EnumKind::CjcMode, 3, "Constant CJC"},     {EnumKind::AoAlarmMode, 2, "Hold"},
        {EnumKind::CalibSensor, 2, "Calibrating Sensor #2"}, {EnumKind::Wires, 4, "4 Wires"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CglobalFile::NameOf(row.kind, row.code), std::optional<std::string>(row.name))
            << row.code;
    }
}

TEST(EnumTables, UnknownCodesHaveNoName) {
    EXPECT_FALSE(CglobalFile::NameOf(EnumKind::TransferFunction, 2));
    EXPECT_FALSE(CglobalFile::NameOf(EnumKind::TransferFunction, 3));
    EXPECT_FALSE(CglobalFile::NameOf(EnumKind::Unit, 58));
    EXPECT_FALSE(CglobalFile::NameOf(EnumKind::SensorType, 70000));
    EXPECT_EQ(CglobalFile::FindByCode(CglobalFile::Pair(EnumKind::Unit).codes, 38), -1);
}

TEST(EnumTables, FindByNameIsExactAndCaseSensitive) {
    const auto& names = CglobalFile::Pair(EnumKind::SensorType).names;
    EXPECT_EQ(CglobalFile::FindByName(names, "OHM"), 14);
    EXPECT_EQ(CglobalFile::FindByName(names, "ohm"), -1);
    EXPECT_EQ(CglobalFile::FindByName(names, "Type K "), -1);
    EXPECT_EQ(CglobalFile::CodeOf(EnumKind::Unit, "ohm"), std::optional<std::int16_t>(37));
}

TEST(EnumTables, SensorClassAndUnitChoicesByPosition) {
    EXPECT_EQ(CglobalFile::PvUnitChoices(0), EnumKind::MillivoltUnit);
    EXPECT_EQ(CglobalFile::PvUnitChoices(14), EnumKind::ResistanceUnit);
    EXPECT_EQ(CglobalFile::PvUnitChoices(13), EnumKind::TemperatureUnit);
    EXPECT_EQ(CglobalFile::PvUnitChoices(21), EnumKind::TemperatureUnit);
    EXPECT_EQ(CglobalFile::ClassOfPosition(22), SensorClass::Unknown);
    // Every list pairs one code with each name.
    for (int k = 0; k <= static_cast<int>(EnumKind::CalibSensor); ++k) {
        const auto& pair = CglobalFile::Pair(static_cast<EnumKind>(k));
        EXPECT_EQ(pair.names.size(), pair.codes.size());
    }
}

TEST(SensorDefaults, FileSideStartValues) {
    const auto typeB = SensorDefaults::ForPosition(5);
    ASSERT_TRUE(typeB);
    EXPECT_EQ(typeB->unit, "degC");
    EXPECT_EQ(typeB->upperText, "1820.00");
    EXPECT_EQ(typeB->lowerText, "400.00");
    const auto customRtd = SensorDefaults::ForPosition(21);
    ASSERT_TRUE(customRtd);
    EXPECT_EQ(customRtd->upperText, "850.00");
    EXPECT_EQ(customRtd->lowerText, "300.00");
    EXPECT_FALSE(SensorDefaults::ForPosition(22));
    EXPECT_FALSE(SensorDefaults::ForPosition(-1));
}

TEST(DeviceRecord, StartValuesDescribeAMillivoltDevice) {
    DeviceRecord record;
    record.SetStartValues();
    EXPECT_EQ(CglobalFile::NameOf(EnumKind::SensorType, record.sensorType), "Millivolt");
    EXPECT_EQ(CglobalFile::NameOf(EnumKind::Unit, record.pvUnit), "mV");
    EXPECT_DOUBLE_EQ(record.upperRange, 1000.0);
    EXPECT_DOUBLE_EQ(record.upperSensorLimit, 1100.0);
    EXPECT_DOUBLE_EQ(record.lowerSensorLimit, -100.0);
    EXPECT_DOUBLE_EQ(record.minimumSpan, 10.0);
    EXPECT_DOUBLE_EQ(record.svValue, -40.0);
    EXPECT_EQ(record.sensorWires, 2);
}
