#pragma once
// Who made the device and what it is, from the identity answer. The codes the
// family uses are kept here and nowhere else.

#include <cstdint>
#include <string>

namespace qt40 {

inline constexpr std::uint8_t kMakerManufacturerId = 0x3F;
inline constexpr std::uint8_t kDeviceTypeQT10 = 0x0A;
inline constexpr std::uint8_t kDeviceTypeQT30 = 0x1E;
inline constexpr std::uint8_t kDeviceTypeQT40 = 0x28;
inline constexpr std::uint8_t kDeviceTypeQT302 = 0x2E;
inline constexpr std::uint8_t kSecondManufacturerId = 0x3E;
inline constexpr std::uint8_t kDeviceTypeKX3 = 0x03;

// The model name the write panels compare with.
inline constexpr const char* kQT40ModelName = "QT40";

struct DeviceNames {
    std::string manufacturer;  // empty when unknown
    std::string device;        // empty when unknown
};

class DeviceNameTable {
public:
    static DeviceNames Lookup(std::uint8_t manufacturerId, std::uint8_t deviceType);
};

}  // namespace qt40
