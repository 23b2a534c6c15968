#pragma once
// The lead-wire resistance the device subtracts for a resistance sensor:
// read it, write a typed value, or calibrate it against a known resistor
// (clear sensor 1's calibration, let the input settle, read the sensor's
// resistance, ask for the resistor's value and write the difference).

#include <optional>
#include <string>

#include "link/CommWorker.h"
#include "procedures/ProcedureHost.h"
#include "base/Prompts.h"

namespace qt40 {

class WireResistanceCalibration {
public:
    static constexpr int kSettleMs = 1000;

    WireResistanceCalibration(CommWorker& worker, Prompts& prompts, ProcedureHost& host);

    // Only resistance sensors (codes below 100) have a lead wire to calibrate.
    static bool Calibratable(const DeviceRecord& record) { return record.sensorType < 100; }
    // What a calibration writes: reading − reference + present, "%.6lf"; none
    // when it lies outside 0 … 20 ohms.
    static std::optional<std::string> CalibratedText(double reading, double reference,
                                                     double present);

    // The entries of a typed resistance and of the calibration resistor; the
    // command line checks its values with them before anything is sent.
    static NumberEntry WriteEntry(const std::string& initialText);
    static NumberEntry ReferenceEntry(const std::string& initialText);

    CommResult Read();
    // "Set_WriteWireResist" within 0 … 20 ohms, `initialText` offered.
    bool Write(const std::string& initialText);
    // Starts the calibration chain; it asks for the reference once the
    // sensor's resistance has been read.
    CommResult Calibrate();
    bool Calibrating() const { return calibrating_; }
    // The value the last calibration computed (also when it was refused).
    std::optional<double> LastComputed() const { return computed_; }

    ProcedureStep HandleNotification(const Notification& n);

private:
    ProcedureStep AskReference();

    CommWorker& worker_;
    Prompts& prompts_;
    ProcedureHost& host_;
    bool calibrating_ = false;
    std::optional<double> computed_;
};

}  // namespace qt40
