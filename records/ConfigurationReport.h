#pragma once
// The configuration report: every value the upload read, grouped as the
// window groups them, with units and the names of codes. A value none of
// whose commands the device answered stays an empty cell.

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "model/DeviceRecord.h"
#include "records/RecordDocument.h"
#include "records/RecordTexts.h"

namespace qt40 {

// Sensor trim data as command 152 returned it for one sensor.
struct SensorTrimReading {
    int sensor = 1;
    std::int16_t unit = 0;
    double zeroPoint = 0.0;
    double zeroValue = 0.0;
    double gain = 0.0;
};

struct ReportInput {
    DeviceRecord record;
    std::bitset<256> answered;  // commands whose answers are in `record`
    std::vector<SensorTrimReading> trims;
    std::string program;  // name and version
    std::string created;  // local time
    std::string port;     // the port and polling address the device answered on
};

RecordDocument ConfigurationReport(const ReportInput& input, const RecordTexts& texts);

}  // namespace qt40
