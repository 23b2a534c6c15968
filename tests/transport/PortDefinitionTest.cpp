// Port definitions as the connection logic, the command line and old
// settings write them: the name stays whole, the line is read from the rest.

#include "transport/PortDefinition.h"

#include <gtest/gtest.h>

namespace qt40 {
namespace {

constexpr const char* kByPath = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0";

TEST(PortDefinitionTest, NamesStayWholeWithTheirColons) {
    struct Row {
        std::string definition;
        std::string name;
        std::string line;
    };
    const Row rows[] = {
        {"COM3: baud=9600 parity=N data=8 stop=1", "COM3", "9600-8N1"},
        {"COM3:", "COM3", "9600-8N1"},
        {"COM250", "COM250", "9600-8N1"},
        {"\\\\.\\COM12: baud=1200 parity=O data=8 stop=1", "\\\\.\\COM12", "1200-8O1"},
        {"/dev/pts/7: baud=9600", "/dev/pts/7", "9600-8N1"},
        {kByPath, kByPath, "9600-8N1"},
        {std::string(kByPath) + ": baud=1200 parity=O data=8 stop=1", kByPath, "1200-8O1"},
        {std::string(kByPath) + ":", kByPath, "9600-8N1"},
        {"/dev/serial/by-id/usb-FTDI_FT232R_A9X:1-if00-port0",
         "/dev/serial/by-id/usb-FTDI_FT232R_A9X:1-if00-port0", "9600-8N1"},
        // A settings-like tail with a value no port takes is part of the name.
        {"/tmp/odd:baud=31", "/tmp/odd:baud=31", "9600-8N1"},
        {"hartip://192.0.2.7:5094", "hartip://192.0.2.7:5094", "9600-8N1"},
        {"hartip+udp://[2001:db8::7]:5094: baud=9600 parity=N data=8 stop=1",
         "hartip+udp://[2001:db8::7]:5094", "9600-8N1"},
        {"", "", "9600-8N1"},
        {":::", "", "9600-8N1"},
        {" : baud=9600", "", "9600-8N1"},
    };
    for (const Row& row : rows) {
        const PortDefinition parsed = PortDefinition::Parse(row.definition);
        EXPECT_EQ(parsed.name, row.name) << row.definition;
        EXPECT_EQ(parsed.line.Name(), row.line) << row.definition;
    }
}

TEST(PortDefinitionTest, TextReadsBackAsItWasMade) {
    for (const std::string& lineName : LineSetting::Names()) {
        const LineSetting line = *LineSetting::FromName(lineName);
        for (const std::string name : {"COM3", "ttyUSB0", kByPath, "hartip://host:5094"}) {
            const PortDefinition parsed = PortDefinition::Parse(PortDefinition::Text(name, line));
            EXPECT_EQ(parsed.name, name);
            EXPECT_EQ(parsed.line, line) << name;
        }
    }
    EXPECT_EQ(PortDefinition::Text("COM3", LineSetting{}), "COM3: baud=9600 parity=N data=8 stop=1");
}

TEST(PortDefinitionTest, OnlyTheHartIpSchemesAreUrls) {
    EXPECT_TRUE(PortDefinition::IsUrl("hartip://host"));
    EXPECT_TRUE(PortDefinition::IsUrl("HARTIP+UDP://host:5094"));
    EXPECT_FALSE(PortDefinition::IsUrl("http://host"));
    EXPECT_FALSE(PortDefinition::IsUrl(kByPath));
    EXPECT_FALSE(PortDefinition::IsUrl("hartip:/x"));
}

TEST(LineSettingTest, TheTwoChoicesAndTheirTiming) {
    const auto fast = LineSetting::FromName("9600-8N1");
    const auto bell = LineSetting::FromName("1200-8o1");
    ASSERT_TRUE(fast && bell);
    EXPECT_EQ(*fast, LineSetting{});
    EXPECT_EQ(bell->Name(), "1200-8O1");
    EXPECT_EQ(bell->Definition(), "baud=1200 parity=O data=8 stop=1");
    EXPECT_EQ(fast->BitsPerChar(), 10);
    EXPECT_EQ(bell->BitsPerChar(), 11);
    // 12 characters: 12.5 ms at 9600 8N1 (rounded up), 110 ms at 1200 8O1.
    EXPECT_EQ(fast->WireMs(12), 13);
    EXPECT_EQ(bell->WireMs(12), 110);
    for (const char* wrong : {"", "9600", "1200-8N1", "300-7E2", "9600-8N1 "}) {
        EXPECT_FALSE(LineSetting::FromName(wrong)) << wrong;
    }
    for (const char* wrong : {"baud=9601", "parity=X", "data=9", "stop=3", "speed=9600", "baud"}) {
        EXPECT_FALSE(LineSetting::FromDefinition(wrong)) << wrong;
    }
}

}  // namespace
}  // namespace qt40
