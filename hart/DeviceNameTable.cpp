#include "hart/DeviceNameTable.h"

namespace qt40 {

DeviceNames DeviceNameTable::Lookup(std::uint8_t manufacturerId, std::uint8_t deviceType) {
    if (manufacturerId == kMakerManufacturerId) {
        DeviceNames names{"Orvale CO", ""};
        switch (deviceType) {
            case kDeviceTypeQT10: names.device = "QT10"; break;
            case kDeviceTypeQT30: names.device = "QT30"; break;
            case kDeviceTypeQT40: names.device = "QT40"; break;
            case kDeviceTypeQT302: names.device = "QT302"; break;
            default: break;
        }
        return names;
    }
    if (manufacturerId == kSecondManufacturerId) {
        return {"Kanbel Electric", deviceType == kDeviceTypeKX3 ? "KX3" : ""};
    }
    return {};
}

}  // namespace qt40
