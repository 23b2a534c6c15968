// The simulated transmitter inside the process, reached by its name through
// the window program's port, as Windows runs the demo and the window tests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/SimInProcessServer.h"
#include "sim/SimPortSwitch.h"

namespace qt40::sim {
namespace {

// The system's port: only notes what it was asked to open.
class NotedPort final : public SerialPort {
public:
    std::vector<std::string>* opened;
    LineSetting line;
    explicit NotedPort(std::vector<std::string>* o) : opened(o) {}
    bool Open(const std::string& path, int) override {
        opened->push_back(path + " " + line.Name());
        return false;
    }
    void SetLine(const LineSetting& l) override { line = l; }
    void Close() override {}
    bool IsOpen() const override { return false; }
    CarrierState Carrier() override { return CarrierState::Off; }
    void PurgeInput() override {}
    void PurgeOutput() override {}
    bool Write(const std::uint8_t*, std::size_t) override { return false; }
    ReadOutcome ReadByte(std::uint8_t&) override { return ReadOutcome::Nothing; }
    bool ClearError() override { return false; }
    std::string LastError() const override { return "no such port"; }
};

// Command 0 to polling address 0 as a short frame, and the answer's delimiter.
std::uint8_t Identify(SerialPort& port) {
    const std::vector<std::uint8_t> request{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x80, 0x00, 0x00, 0x82};
    port.PurgeInput();  // what is left of an earlier answer
    if (!port.Write(request.data(), request.size())) return 0;
    std::uint8_t byte = 0;
    for (int i = 0; i < 50; ++i) {
        const ReadOutcome got = port.ReadByte(byte);
        if (got == ReadOutcome::Gone) return 0;
        if (got == ReadOutcome::Byte && byte != 0xFF) return byte;
    }
    return 0;
}

TEST(InProcessServerTest, ItsNameOpensItInEveryFormTheLinkUsesAndOtherNamesGoToTheSystem) {
    SimInProcessServer first;
    SimInProcessServer second;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    ASSERT_NE(first.SlavePath(), second.SlavePath());
    std::vector<std::string> system;
    SimPortSwitch port(std::make_unique<NotedPort>(&system));

    for (const std::string& name :
         {first.SlavePath(), "\\\\.\\" + first.SlavePath(), "/dev/" + first.SlavePath()}) {
        ASSERT_TRUE(port.Open(name, 20)) << name;
        EXPECT_TRUE(port.OnSimulator());
        EXPECT_EQ(Identify(port), 0x06) << name;  // the short-frame answer
    }
    EXPECT_EQ(first.RequestCount(), 3u);
    EXPECT_EQ(second.RequestCount(), 0u);
    EXPECT_TRUE(system.empty());

    // The line chosen while the simulator was in use reaches the system's port.
    port.SetLine(*LineSetting::FromName("1200-8O1"));
    EXPECT_FALSE(port.Open("\\\\.\\COM3", 20));
    EXPECT_FALSE(port.OnSimulator());
    EXPECT_EQ(port.LastError(), "no such port");
    EXPECT_EQ(system, std::vector<std::string>{"\\\\.\\COM3 1200-8O1"});
}

TEST(InProcessServerTest, AStoppedServerHangsUpAndItsNameIsGone) {
    std::vector<std::string> system;
    SimPortSwitch port(std::make_unique<NotedPort>(&system));
    std::string name;
    {
        SimInProcessServer server;
        ASSERT_TRUE(server.Start());
        name = server.SlavePath();
        ASSERT_TRUE(port.Open(name, 20));
        server.WithDevice([](SimDevice& d) { d.State().additionalStatus[0] = 1; });
    }
    // The client still holds the port: it reads the line gone, never freed memory.
    std::uint8_t byte = 0;
    EXPECT_EQ(port.ReadByte(byte), ReadOutcome::Gone);
    EXPECT_TRUE(port.Vanished());
    EXPECT_FALSE(port.Open(name, 20));
    EXPECT_EQ(system, std::vector<std::string>{name + " 9600-8N1"});
}

}  // namespace
}  // namespace qt40::sim
