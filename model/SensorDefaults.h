#pragma once
// Unit and PV range a freshly chosen sensor type starts with on the file side.

#include <optional>
#include <string>

namespace qt40 {

struct SensorDefault {
    std::string unit;
    std::string upperText;
    std::string lowerText;
};

class SensorDefaults {
public:
    // By position in the sensor type list (0 … 21); nothing outside it.
    static std::optional<SensorDefault> ForPosition(int position);
};

}  // namespace qt40
