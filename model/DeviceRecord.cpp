#include "model/DeviceRecord.h"

namespace qt40 {

void DeviceRecord::SetStartValues() {
    lowerRange = 0.0;
    sensorType = 129;  // Millivolt
    upperRange = 1000.0;
    sensorWires = 2;
    pvUnit = 36;  // mV
    upperSensorLimit = 1100.0;
    lowerSensorLimit = -100.0;
    minimumSpan = 10.0;
    svValue = -40.0;
}

}  // namespace qt40
