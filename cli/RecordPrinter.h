#pragma once
// Text and JSON forms of what the tool read from a device.

#include <cstdint>
#include <string>
#include <string_view>

#include "model/DeviceRecord.h"

namespace qt40::cli {

class RecordPrinter {
public:
    // "field: value" lines of the identity that command 0 reads.
    static std::string Identity(const DeviceRecord& record);
    // Every value the upload reads, one "field: value" line each; codes carry
    // their names ("pvUnit: 32 (degC)").
    static std::string Upload(const DeviceRecord& record);
    // The same as one JSON object; codes as {"code": 32, "name": "degC"}.
    static std::string UploadJson(const DeviceRecord& record, const std::string& port);
    // One line of live values: PV, percent of range, terminal temperature,
    // loop current, device status.
    static std::string MonitorLine(const DeviceRecord& record, std::uint8_t deviceStatus);
    // Names of the status bits that are set, as the status bar labels them.
    static std::string StatusFlags(std::uint8_t deviceStatus);
    // A JSON string literal, quotes included.
    static std::string JsonString(std::string_view text);
};

}  // namespace qt40::cli
