#include "ports/PortRules.h"

#include <gtest/gtest.h>

#include "ports/CCOMPortEnumerator.h"

namespace qt40 {
namespace {

struct IdRow {
    const char* name;
    std::string id;
    std::string description;
    std::optional<PortEntry> expected;
};

void PrintTo(const IdRow& row, std::ostream* os) {
    *os << row.name;
}

class SerialPortIdTest : public ::testing::TestWithParam<IdRow> {};

TEST_P(SerialPortIdTest, BecomesEntry) {
    EXPECT_EQ(EntryFromSerialPortId(GetParam().id, GetParam().description), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SerialPortIdTest,
    ::testing::Values(
        IdRow{"NameGetsPortAppended", "COM7", "USB Serial Port",
              PortEntry{"COM7", "COM7", "USB Serial Port (COM7)"}},
        IdRow{"NameAlreadyNamingPortStays", "COM7", "USB Serial Port (COM7)",
              PortEntry{"COM7", "COM7", "USB Serial Port (COM7)"}},
        IdRow{"TrailingColonAccepted", "COM3:", "Modem", PortEntry{"COM3", "COM3", "Modem (COM3)"}},
        IdRow{"CaseOfPrefixIgnored", "com4", "", PortEntry{"COM4", "COM4", " (COM4)"}},
        IdRow{"TwoDigitsOpenThroughDevicePath", "COM12", "HART Modem",
              PortEntry{"\\\\.\\COM12", "COM12", "HART Modem (COM12)"}},
        IdRow{"NineOpensPlain", "COM9", "x (COM9)", PortEntry{"COM9", "COM9", "x (COM9)"}},
        IdRow{"NoNumber", "COM", "x", std::nullopt}, IdRow{"OnlyColon", "COM:", "x", std::nullopt},
        IdRow{"OtherPrefix", "LPT1", "x", std::nullopt},
        IdRow{"LetterInNumber", "COM1A", "x", std::nullopt},
        IdRow{"AbsurdNumber", "COM99999999999", "x", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortRulesTest, RegistryPortNamesAllowDigitsOnly) {
    EXPECT_EQ(EntryFromRegistryPortName("COM3", "Communications Port"),
              (PortEntry{"COM3", "COM3", "Communications Port"}));
    EXPECT_EQ(EntryFromRegistryPortName("COM3:", "x"), std::nullopt);
    EXPECT_EQ(EntryFromRegistryPortName("COM10", "x"), (PortEntry{"\\\\.\\COM10", "COM10", "x"}));
}

TEST(PortRulesTest, DeviceNodesOpenByPathAndShowTheirName) {
    EXPECT_EQ(EntryFromDeviceNode("ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART"),
              (PortEntry{"/dev/ttyUSB0", "ttyUSB0", "FT232R USB UART (ttyUSB0)"}));
    EXPECT_EQ(EntryFromDeviceNode("ttyS0", "/dev/ttyS0", ""),
              (PortEntry{"/dev/ttyS0", "ttyS0", "ttyS0"}));
    EXPECT_EQ(EntryFromDeviceNode("", "/dev/x", "x"), std::nullopt);
}

TEST(PortRulesTest, SortedByPlainCharacterOrderAndListedOnce) {
    std::vector<PortEntry> entries = {
        {"COM2", "COM2", "from the class listing"},
        {"\\\\.\\COM10", "COM10", "a"},
        {"COM1", "COM1", "b"},
        {"COM2", "COM2", "from the registry"},
    };
    SortAndDeduplicate(entries);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].portName, "COM1");
    EXPECT_EQ(entries[1].portName, "COM10");
    EXPECT_EQ(entries[2].portName, "COM2");
}

TEST(PortRulesTest, EnumeratorSortsWhatItsSourceReportsAndSurvivesItsFailure) {
    CCOMPortEnumerator enumerator([] {
        return std::vector<PortEntry>{{"/dev/ttyUSB0", "ttyUSB0", "u"},
                                      {"/dev/ttyACM0", "ttyACM0", "a"},
                                      {"/dev/ttyUSB0", "ttyUSB0", "u again"}};
    });
    enumerator.Enumerate();
    ASSERT_EQ(enumerator.Ports().size(), 2u);
    EXPECT_EQ(enumerator.Ports()[0].portName, "ttyACM0");

    CCOMPortEnumerator failing([]() -> std::vector<PortEntry> { throw std::runtime_error("x"); });
    failing.Enumerate();
    EXPECT_TRUE(failing.Ports().empty());
}

}  // namespace
}  // namespace qt40

#ifdef _WIN32
#include <algorithm>
#include <cstdlib>

#include "ports/DeviceMapPorts.h"

namespace qt40 {
namespace {

// The window program lists what the registry's device map holds; under Wine
// the test run maps a COM port there and names it in QT40_TEST_COM_PORT.
TEST(SystemPortsTest, WindowsListsTheSerialDeviceMap) {
    const char* port = std::getenv("QT40_TEST_COM_PORT");
    if (port == nullptr) GTEST_SKIP() << "no COM port mapped for this run";
    const std::vector<PortEntry> listed = CCOMPortEnumerator::SystemPorts();
    EXPECT_EQ(listed, DeviceMapPorts::Entries(DeviceMapPorts::Read()));
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                            [&](const PortEntry& e) { return e.portName == port; }))
        << port << " is not in the list";
}

}  // namespace
}  // namespace qt40
#endif
