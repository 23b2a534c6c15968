#pragma once
// The user calibration of a sensor input: zero and span against a known
// input, or back to the factory calibration; on the sensor chosen where the
// measurement type has two. While it is open the idle poll also reads the
// calibration readings, so the PV row follows the input.

#include "link/CommWorker.h"
#include "procedures/ProcedureHost.h"
#include "base/Prompts.h"

namespace qt40 {

class SensorCalibration {
public:
    enum Kind : int { kZero = 1, kSpan = 2, kClear = 3 };

    SensorCalibration(CommWorker& worker, Prompts& prompts, ProcedureHost& host);

    // Sensor 1, and the readings added to the idle poll.
    void Open();
    // The readings leave the idle poll again.
    void Close();
    int SensorNumber() const { return sensor_; }
    // Only a measurement type with two sensors (any but "Single", code 0) lets
    // the user choose.
    static bool SensorSelectable(const DeviceRecord& record) { return record.measurementType != 0; }

    // "Set_SensorNum" selection; on OK the readings of that sensor are read.
    bool SelectSensor();
    CommResult ReadCalibrationData();
    // Asks "Confr_Reset_SensorCal_Data"; Yes clears with the PV reading.
    bool ClearCalibration();
    // The calibration value within the sensor limits, `initialText` offered;
    // nothing is sent on Cancel.
    bool Calibrate(Kind kind, const std::string& initialText);

    // Reading and calibrating change the calibration rows; reading the readings, the readings.
    ProcedureStep HandleNotification(const Notification& n);

private:
    CommResult SendCalibration(Kind kind, const std::string& valueText);

    CommWorker& worker_;
    Prompts& prompts_;
    ProcedureHost& host_;
    int sensor_ = 1;
};

}  // namespace qt40
