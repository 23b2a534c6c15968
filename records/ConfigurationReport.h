#pragma once
// The configuration report: every value the upload read, grouped as the
// window groups them, with units and the names of codes. A value none of
// whose commands the device answered stays an empty cell; where the reading
// for the report knows why a read failed, a note column says so. No row is
// ever left out: the trim rows of each sensor are there, read or not.

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
    std::string missing;  // why it could not be read; empty when it was
};

struct ReportInput {
    DeviceRecord record;
    std::bitset<256> answered;  // commands whose answers are in `record`
    std::vector<SensorTrimReading> trims;
    std::string statusMissing;  // why the additional status could not be read
    std::string program;        // name and version
    std::string created;        // local time
    std::string port;           // the port and polling address the device answered on
};

RecordDocument ConfigurationReport(const ReportInput& input, const RecordTexts& texts);

// The name a saved report is offered under: "report-<tag>-<date>.pdf", the
// date from `created` ("YYYY-MM-DD ..."), characters no file system takes
// in a name replaced by '_'; without a tag, "report-<date>.pdf".
std::string ReportFileName(const std::string& tag, const std::string& created);

}  // namespace qt40
