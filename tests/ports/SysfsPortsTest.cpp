// The Linux port list from a sysfs tree as the kernel lays it out, built in
// a temporary folder.

#include "ports/SysfsPorts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

namespace qt40 {
namespace {

namespace fs = std::filesystem;

class SysfsTree {
public:
    SysfsTree() {
        char pattern[] = "/tmp/qt40-sysfs-XXXXXX";
        root_ = ::mkdtemp(pattern);
        fs::create_directories(root_ / "class/tty");
    }
    ~SysfsTree() { fs::remove_all(root_); }

    fs::path Class() const { return root_ / "class/tty"; }

    // A device folder with a driver, and the tty's class entry pointing at it.
    void Tty(const std::string& name, const std::string& device, const char* type = nullptr) {
        const fs::path dir = root_ / "devices" / device;
        fs::create_directories(dir);
        fs::create_directories(root_ / "bus/drivers/x");
        fs::create_symlink(root_ / "bus/drivers/x", dir / "driver");
        const fs::path entry = Class() / name;
        fs::create_directories(entry);
        fs::create_symlink(dir, entry / "device");
        if (type) std::ofstream(entry / "type") << type << "\n";
    }
    // A tty without a device (a virtual console, ptmx).
    void Virtual(const std::string& name) { fs::create_directories(Class() / name); }
    void Product(const std::string& device, const std::string& text) {
        std::ofstream(root_ / "devices" / device / "product") << text << "\n";
    }

private:
    fs::path root_;
};

TEST(SysfsPortsTest, ListsPortsWithADriverAndLeavesAbsentUartsOut) {
    SysfsTree tree;
    tree.Tty("ttyS0", "pnp0/00:01", "4");                   // a 16550A
    tree.Tty("ttyS1", "platform/serial8250/port.1", "0");   // no UART there
    tree.Tty("ttyUSB0", "pci0/usb1/1-2/1-2:1.0/ttyUSB0");   // a USB adapter
    tree.Product("pci0/usb1/1-2", "CP2102 USB to UART Bridge Controller");
    tree.Tty("ttyACM0", "pci0/usb1/1-3/1-3:1.0");           // a modem on CDC ACM
    tree.Product("pci0/usb1/1-3", "HART Modem");
    tree.Virtual("tty0");
    tree.Virtual("console");
    tree.Virtual("ptmx");

    const auto nodes = SysfsPorts::Read(tree.Class());
    EXPECT_EQ(nodes.size(), 4u);
    const std::vector<PortEntry> expected{
        {"/dev/ttyACM0", "ttyACM0", "HART Modem (ttyACM0)"},
        {"/dev/ttyS0", "ttyS0", "ttyS0"},
        {"/dev/ttyUSB0", "ttyUSB0", "CP2102 USB to UART Bridge Controller (ttyUSB0)"},
    };
    EXPECT_EQ(SysfsPorts::Entries(nodes), expected);
}

TEST(SysfsPortsTest, NothingToReadIsAnEmptyList) {
    EXPECT_TRUE(SysfsPorts::Read("/tmp/qt40-no-such-sysfs").empty());
    EXPECT_TRUE(SysfsPorts::Entries({}).empty());
}

}  // namespace
}  // namespace qt40
