#pragma once
// The file side filled from the device's values as "All Copy <<" does, so the
// command-line upload writes the same file a technician saves from the pages.

#include "files/FileConfig.h"
#include "model/DeviceRecord.h"

namespace qt40 {

// Device-column formats: names of codes ("%d" of a code no table knows),
// "%4.3f" for ranges, damping, drift alarm and AO values, "%4.4f" for the
// lead wire resistance, "%d" for the serial numbers; the hidden values as
// stored, the constant CJC value with "%4.2f" and the one trim set the device
// holds with "%.6f" in both trim sections.
FileConfig FileConfigFromDevice(const DeviceRecord& device);

}  // namespace qt40
