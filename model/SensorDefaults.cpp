#include "model/SensorDefaults.h"

#include <array>

namespace qt40 {

std::optional<SensorDefault> SensorDefaults::ForPosition(int position) {
    static const std::array<SensorDefault, 22> kDefaults{{
        {"mV", "800.00", "-100.00"},     // Millivolt
        {"degC", "1372.00", "-180.00"},  // Type K
        {"degC", "1000.00", "-100.00"},  // Type E
        {"degC", "1200.00", "-100.00"},  // Type J
        {"degC", "400.00", "-200.00"},   // Type T
        {"degC", "1820.00", "400.00"},   // Type B
        {"degC", "1760.00", "-50.00"},   // Type R
        {"degC", "1760.00", "-50.00"},   // Type S
        {"degC", "2300.00", "0.00"},     // Type C
        {"degC", "2300.00", "0.00"},     // Type D
        {"degC", "1300.00", "-180.00"},  // Type N
        {"degC", "600.00", "-200.00"},   // Type U
        {"degC", "900.00", "-100.00"},   // Type L
        {"degC", "10.00", "0.00"},       // Custom TC
        {"ohm", "4000.00", "0.00"},      // OHM
        {"degC", "850.00", "-200.00"},   // Pt100
        {"degC", "850.00", "-200.00"},   // Pt200
        {"degC", "850.00", "-200.00"},   // Pt500
        {"degC", "850.00", "-200.00"},   // Pt1000
        {"degC", "510.00", "-200.00"},   // JPt100
        {"degC", "250.00", "-60.00"},    // Ni100
        {"degC", "850.00", "300.00"},    // Custom RTD
    }};
    if (position < 0 || position >= static_cast<int>(kDefaults.size())) return std::nullopt;
    return kDefaults[static_cast<std::size_t>(position)];
}

}  // namespace qt40
