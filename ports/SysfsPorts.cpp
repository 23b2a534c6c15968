#include "ports/SysfsPorts.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "ports/PortRules.h"

namespace qt40 {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute; empty when there is none.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// The product text of the USB device the port belongs to: the nearest
// device above the tty's that has one (the interface, then the device).
std::string Product(const fs::path& device) {
    std::error_code ec;
    fs::path dir = fs::canonical(device, ec);
    if (ec) return {};
    for (int level = 0; level < 4 && dir.has_relative_path(); ++level, dir = dir.parent_path()) {
        if (fs::exists(dir / "product", ec)) return Attribute(dir / "product");
    }
    return {};
}

}  // namespace

std::vector<PortEntry> SysfsPorts::Entries(const std::vector<Node>& nodes, const fs::path& devDir) {
    std::vector<PortEntry> entries;
    for (const Node& node : nodes) {
        if (!node.hasDriver || node.name.empty()) continue;
        if (node.uartType && *node.uartType == 0) continue;
        std::string relative = node.name;
        std::replace(relative.begin(), relative.end(), '!', '/');
        const std::string portName = fs::path(relative).filename().string();
        if (auto entry = EntryFromDeviceNode(portName, (devDir / relative).string(), node.product)) {
            entries.push_back(std::move(*entry));
        }
    }
    SortAndDeduplicate(entries);
    return entries;
}

std::vector<SysfsPorts::Node> SysfsPorts::Read(const fs::path& classDir) {
    std::vector<Node> nodes;
    std::error_code ec;
    for (const auto& tty : fs::directory_iterator(classDir, ec)) {
        Node node;
        node.name = tty.path().filename().string();
        const fs::path device = tty.path() / "device";
        node.hasDriver = fs::exists(device / "driver", ec);
        if (!node.hasDriver) continue;
        const std::string type = Attribute(tty.path() / "type");
        int value = 0;
        if (!type.empty() &&
            std::from_chars(type.data(), type.data() + type.size(), value).ec == std::errc()) {
            node.uartType = value;
        }
        node.product = Product(device);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

}  // namespace qt40
