// The targets file: what each line means, and every bad line refused by number.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fleet/TargetsFile.h"

namespace qt40::fleet {
namespace {

std::vector<int> Range(int from, int to) {
    std::vector<int> v;
    for (int a = from; a <= to; ++a) v.push_back(a);
    return v;
}

struct GoodLine {
    const char* name;
    const char* line;
    const char* endpoint;
    std::vector<int> addresses;
};

const GoodLine kGood[] = {
    {"serial port alone is address 0", "/dev/ttyUSB0", "/dev/ttyUSB0", {0}},
    {"one address", "/dev/ttyUSB0 7", "/dev/ttyUSB0", {7}},
    {"a range", "/dev/ttyS1 1-4", "/dev/ttyS1", Range(1, 4)},
    {"a range of one", "/dev/ttyS1 15-15", "/dev/ttyS1", {15}},
    {"all", "/dev/ttyUSB0 all", "/dev/ttyUSB0", Range(0, 15)},
    {"ALL in capitals", "/dev/ttyUSB0 ALL", "/dev/ttyUSB0", Range(0, 15)},
    {"blanks and tabs around", " \t/dev/pts/3\t 2 \t", "/dev/pts/3", {2}},
    {"comment after the addresses", "/dev/ttyUSB0 3 # boiler house", "/dev/ttyUSB0", {3}},
    {"comment right after the endpoint", "/dev/ttyUSB0 #2", "/dev/ttyUSB0", {0}},
    {"a # inside a path is part of it", "/dev/serial#2 1", "/dev/serial#2", {1}},
    {"Windows port names, colons and all", "\\\\.\\COM12 1", "\\\\.\\COM12", {1}},
    {"a colon in a path is no URL", "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0 0",
     "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0", {0}},
    {"hartip without port", "hartip://10.0.0.5 0", "hartip://10.0.0.5", {0}},
    {"hartip+udp with port and range", "hartip+udp://gw2:5094 1-4", "hartip+udp://gw2:5094",
     Range(1, 4)},
    {"host name with dots and dashes", "hartip://gw-3.plant.example 2",
     "hartip://gw-3.plant.example", {2}},
    {"IPv6 in brackets", "hartip://[::1] 0", "hartip://[::1]", {0}},
    {"IPv6 in brackets with port", "hartip+udp://[fe80::1:2]:20004 3",
     "hartip+udp://[fe80::1:2]:20004", {3}},
    {"scheme in capitals", "HARTIP://gw 1", "HARTIP://gw", {1}},
    {"the highest port", "hartip://gw:65535", "hartip://gw:65535", {0}},
};

TEST(TargetsFile, EachGoodLineGivesItsEndpointAndAddresses) {
    for (const GoodLine& row : kGood) {
        const TargetsResult r = TargetsFile::Parse(row.line);
        ASSERT_TRUE(r.ok()) << row.name << ": " << r.error;
        ASSERT_EQ(r.targets.size(), 1u) << row.name;
        EXPECT_EQ(r.targets[0].endpoint, row.endpoint) << row.name;
        EXPECT_EQ(r.targets[0].addresses, row.addresses) << row.name;
        EXPECT_EQ(r.targets[0].line, 1) << row.name;
    }
}

struct BadLine {
    const char* name;
    const char* line;
    const char* error;  // the message after "line 2: "
};

const BadLine kBad[] = {
    {"address above 15", "/dev/ttyUSB0 16", "polling address 16 is outside 0-15"},
    {"range above 15", "/dev/ttyUSB0 3-20", "polling address 20 is outside 0-15"},
    {"range backwards", "/dev/ttyUSB0 4-1", "the range 4-1 runs backwards"},
    {"negative address", "/dev/ttyUSB0 -1",
     "\"-1\" is not a polling address: give one (0-15), a range such as 1-4, or all"},
    {"a word for an address", "/dev/ttyUSB0 some",
     "\"some\" is not a polling address: give one (0-15), a range such as 1-4, or all"},
    {"a huge number", "/dev/ttyUSB0 99999999999999999999",
     "\"99999999999999999999\" is not a polling address: give one (0-15), a range such as 1-4, "
     "or all"},
    {"three words", "/dev/ttyUSB0 1 2",
     "\"2\" is one word too many: a line holds an endpoint and its addresses"},
    {"another scheme", "http://gw 1",
     "unknown endpoint kind \"http://\": use hartip:// or hartip+udp://, or a serial port path"},
    {"no host", "hartip:// 1", "no host after hartip://"},
    {"only a port", "hartip://:5094", "no host after hartip://"},
    {"port 0", "hartip://gw:0", "the port \"0\" must be a number from 1 to 65535"},
    {"port too high", "hartip://gw:65536", "the port \"65536\" must be a number from 1 to 65535"},
    {"empty port", "hartip://gw:", "the port \"\" must be a number from 1 to 65535"},
    {"port not a number", "hartip://gw:http", "the port \"http\" must be a number from 1 to 65535"},
    {"IPv6 without brackets", "hartip://::1 0",
     "an IPv6 address goes in brackets, as in hartip://[::1]:5094"},
    {"unclosed bracket", "hartip://[::1 0", "an IPv6 address needs its closing ]"},
    {"bracketed name", "hartip://[gw]:5094", "\"[gw]\" is not an IPv6 address"},
    {"text after the bracket", "hartip://[::1]x", "unexpected \"x\" after the address"},
    {"a path after the host", "hartip://gw/loop2",
     "a path or query (\"/loop2\") is not allowed in a HART-IP address"},
    {"the same port twice", "/dev/ttyUSB0 1-2\n/dev/ttyUSB0 3",
     "/dev/ttyUSB0 is already listed on line 2"},
    {"one gateway written two ways", "hartip://GW\nhartip://gw:5094 1",
     "hartip://gw:5094 is already listed on line 2"},
};

TEST(TargetsFile, ABadLineIsRefusedWithItsNumberAndNothingElseIsKept) {
    for (const BadLine& row : kBad) {
        // The bad line comes after a good one and a comment, counted as line 2
        // (or 3 for the rows that bring their own first line).
        const std::string text = std::string("# plant\r\n") + row.line + "\r\n/dev/ttyS0\r\n";
        const TargetsResult r = TargetsFile::Parse(text);
        const bool twoLines = std::string(row.line).find('\n') != std::string::npos;
        EXPECT_EQ(r.error, std::string(twoLines ? "line 3: " : "line 2: ") + row.error)
            << row.name;
        EXPECT_TRUE(r.targets.empty()) << row.name;
    }
}

TEST(TargetsFile, AWholeFileKeepsOrderLineNumbersAndAnyLineEnd) {
    const std::string text =
        "\xEF\xBB\xBF# loops of unit 2\n"
        "/dev/ttyUSB0 all\r\n"
        "\r"
        "   # spare\n"
        "hartip://10.0.0.5 0\r"
        "hartip+udp://gw2:5094 1-4";
    const TargetsResult r = TargetsFile::Parse(text);
    ASSERT_TRUE(r.ok()) << r.error;
    ASSERT_EQ(r.targets.size(), 3u);
    EXPECT_EQ(r.targets[0].line, 2);
    EXPECT_EQ(r.targets[1].endpoint, "hartip://10.0.0.5");
    EXPECT_EQ(r.targets[1].line, 5);
    EXPECT_EQ(r.targets[2].line, 6);
    EXPECT_EQ(r.targets[2].addresses, Range(1, 4));
}

TEST(TargetsFile, AFileWithoutEndpointsOrUnreadableIsRefused) {
    EXPECT_EQ(TargetsFile::Parse("# nothing yet\n\n").error, "no endpoint listed");
    const TargetsResult missing = TargetsFile::Read("/nonexistent/targets.txt");
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.find("/nonexistent/targets.txt"), std::string::npos) << missing.error;
}

}  // namespace
}  // namespace qt40::fleet

#include "../files/TempFolder.h"

namespace qt40::fleet {
namespace {

#ifndef _WIN32  // symbolic links
TEST(TargetsFileTest, OneLoopWrittenTwoWaysIsNamedAsListedTwice) {
    test::TempFolder dir;
    test::TempFolder::Put(dir / "ttyUSB0", "");
    std::filesystem::create_symlink(dir / "ttyUSB0", dir / "usb-modem-if00");
    const std::string port = (dir / "ttyUSB0").string();
    const std::string link = (dir / "usb-modem-if00").string();
    const struct {
        const char* name;
        std::string first;
        std::string second;
        bool same;
    } rows[] = {
        {"a name and its address", "hartip://127.0.0.1", "hartip://localhost:5094", true},
        {"two spellings of one IPv6 address", "hartip://[::1]", "hartip://[0:0::1]", true},
        {"the same address over UDP is another session", "hartip://127.0.0.1",
         "hartip+udp://127.0.0.1", false},
        {"another port", "hartip://127.0.0.1:5094", "hartip://127.0.0.1:5095", false},
        {"a port and a link to it", port, link, true},
        {"two ports", port, (dir / "ttyUSB1").string(), false},
    };
    for (const auto& row : rows) {
        const TargetsResult parsed = TargetsFile::Parse(row.first + "\n" + row.second + " 1\n");
        ASSERT_TRUE(parsed.ok()) << row.name << ": " << parsed.error;
        const auto same = TargetsFile::SameEndpoints(parsed.targets);
        EXPECT_EQ(same.has_value(), row.same) << row.name << ": " << same.value_or("");
        if (same) {
            EXPECT_EQ(same->rfind("line 2: " + row.second + " reaches ", 0), 0u) << *same;
            EXPECT_NE(same->find("on line 1"), std::string::npos) << *same;
        }
    }
    // Read refuses the file by the same rule.
    test::TempFolder::Put(dir / "targets.txt", port + "\n" + link + " 2\n");
    const TargetsResult read = TargetsFile::Read(dir / "targets.txt");
    EXPECT_FALSE(read.ok());
    EXPECT_TRUE(read.targets.empty());
    EXPECT_NE(read.error.find("line 2: " + link + " reaches"), std::string::npos) << read.error;
}
#endif

}  // namespace
}  // namespace qt40::fleet
