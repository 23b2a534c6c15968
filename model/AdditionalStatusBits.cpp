#include "model/AdditionalStatusBits.h"

#include <algorithm>
#include <iterator>

namespace qt40 {
namespace {

constexpr AdditionalStatusGroup kGroups[] = {
    {1862, "Summary Error"},
    {1863, "Hardware Error 2"},
    {1864, "Sensor Error"},
    {1865, "ADC and CJC Sensor Error"},
};

// Bits without a label (byte 0 bits 5-7, byte 2 bits 4-5, byte 3 bits 2, 3
// and 6) and bytes 1 and 5 are not shown.
constexpr AdditionalStatusBit kBits[] = {
    {0, 0, 0, 1870, "ADC Module Failed"},
    {0, 0, 1, 1871, "Main Module Failed"},
    {0, 0, 2, 1872, "Operator Failed"},
    {0, 0, 3, 1873, "Input Sensor Failed"},
    {0, 0, 4, 1874, "CJC Sensor Failed"},
    {1, 2, 0, 1875, "EEPROM SUM Error (Basic Part)"},
    {1, 2, 1, 1876, "EEPROM SUM Error (Custom TC Part)"},
    {1, 2, 2, 1877, "EEPROM SUM Error (Custom RTD Part)"},
    {1, 2, 3, 1878, "EEPROM SUM Error (Special Curve Part)"},
    {1, 2, 6, 1879, "EEPROM SUM Error (Summary)"},
    {1, 2, 7, 1880, "EEPROM Hardware Error"},
    {2, 3, 0, 1881, "Sensor 1 Wire Broken"},
    {2, 3, 1, 1882, "Sensor 1 Out of Range"},
    {2, 3, 4, 1883, "Sensor 2 Wire Broken"},
    {2, 3, 5, 1884, "Sensor 2 Out of Range"},
    {2, 3, 7, 1885, "Sensor 1-2 Drift Alarm"},
    {3, 4, 0, 1886, "Internal CJC Sensor Failed"},
    {3, 4, 1, 1887, "Internal CJC Out of Range"},
    {3, 4, 2, 1888, "External CJC Sensor Failed"},
    {3, 4, 3, 1889, "External CJC Out of Range"},
    {3, 4, 4, 1890, "ADC Module Failed"},
    {3, 4, 5, 1891, "ADC Module Communication Error"},
    {3, 4, 6, 1892, "ADC SCAL Failed"},
    {3, 4, 7, 1893, "ADC SG Failed"},
};

}  // namespace

std::span<const AdditionalStatusGroup> AdditionalStatusGroups() {
    return kGroups;
}
std::span<const AdditionalStatusBit> AdditionalStatusBits() {
    return kBits;
}

std::vector<AdditionalStatusBit> SetAdditionalStatusBits(const std::array<std::int16_t, 6>& bytes) {
    std::vector<AdditionalStatusBit> set;
    for (const AdditionalStatusBit& b : kBits) {
        if (bytes[static_cast<std::size_t>(b.byte)] & (1 << b.bit)) set.push_back(b);
    }
    return set;
}

std::vector<UnlabelledStatusBit> SetUnlabelledStatusBits(const std::array<std::int16_t, 6>& bytes) {
    std::vector<UnlabelledStatusBit> set;
    for (int byte = 0; byte < 6; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            if (!(bytes[static_cast<std::size_t>(byte)] & (1 << bit))) continue;
            const bool labelled = std::any_of(std::begin(kBits), std::end(kBits),
                                              [&](const AdditionalStatusBit& b) {
                                                  return b.byte == byte && b.bit == bit;
                                              });
            if (!labelled) set.push_back({byte, bit});
        }
    }
    return set;
}

}  // namespace qt40
