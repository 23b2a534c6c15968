#include "ports/DeviceMapPorts.h"

#include <gtest/gtest.h>

namespace qt40 {
namespace {

using Value = DeviceMapPorts::Value;

struct MapRow {
    const char* name;
    std::vector<Value> values;
    std::vector<PortEntry> expected;
};

void PrintTo(const MapRow& row, std::ostream* os) {
    *os << row.name;
}

class DeviceMapTest : public ::testing::TestWithParam<MapRow> {};

TEST_P(DeviceMapTest, BecomesPortList) {
    EXPECT_EQ(DeviceMapPorts::Entries(GetParam().values), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DeviceMapTest,
    ::testing::Values(
        MapRow{"Empty", {}, {}},
        MapRow{"DeviceNameDescribesThePort",
               {{"\\Device\\Serial0", "COM1"}},
               {{"COM1", "COM1", "\\Device\\Serial0"}}},
        MapRow{"SortedByPortNameInCharacterOrder",
               {{"\\Device\\Serial1", "COM2"},
                {"\\Device\\VCP0", "COM10"},
                {"\\Device\\Serial0", "COM1"}},
               {{"COM1", "COM1", "\\Device\\Serial0"},
                {"\\\\.\\COM10", "COM10", "\\Device\\VCP0"},
                {"COM2", "COM2", "\\Device\\Serial1"}}},
        MapRow{"PortListedOnce",
               {{"\\Device\\Serial2", "COM3"}, {"\\Device\\Serial9", "COM3"}},
               {{"COM3", "COM3", "\\Device\\Serial2"}}},
        MapRow{"StoredTerminatorIsNoPartOfTheName",
               {{"\\Device\\VCP1", std::string("COM12\0\0", 7)}},
               {{"\\\\.\\COM12", "COM12", "\\Device\\VCP1"}}},
        MapRow{"NonTextValueSkipped",
               {{"\\Device\\Odd", "COM4", false}, {"\\Device\\Serial4", "COM5"}},
               {{"COM5", "COM5", "\\Device\\Serial4"}}},
        // The registry rule: "COM" and digits only, no colon, any case.
        MapRow{
            "OtherNamesSkipped",
            {{"a", "COM3:"}, {"b", "LPT1"}, {"c", "COM"}, {"d", ""}, {"e", "COM 7"}, {"f", "com6"}},
            {{"COM6", "COM6", "f"}}}));

TEST(DeviceMapReadTest, ReadsOnlyWhatTheRuleAccepts) {
    // On Windows (or Wine) the machine's own map; elsewhere nothing. Either
    // way every listed port is a COM port opened by its rule.
    for (const PortEntry& entry : DeviceMapPorts::Entries(DeviceMapPorts::Read())) {
        EXPECT_EQ(entry.portName.rfind("COM", 0), 0u) << entry.portName;
        EXPECT_NE(entry.openName.find(entry.portName), std::string::npos) << entry.openName;
    }
}

}  // namespace
}  // namespace qt40
