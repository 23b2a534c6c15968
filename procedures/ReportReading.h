#pragma once
// What the configuration report reads beyond the upload: the additional
// status (command 48) and the sensor trim data (command 152) of sensor 1, and
// of sensor 2 where the measurement type has two sensors. The record keeps
// the trim data of one sensor only, so each answer is kept here as it comes.
// A read the device refuses is noted with its reason and the next one is
// still sent; only a lost connection ends the reading early.

#include <vector>

#include "link/CommWorker.h"
#include "procedures/ProcedureHost.h"
#include "records/ConfigurationReport.h"

namespace qt40 {

class ReportReading {
public:
    ReportReading(CommWorker& worker, ProcedureHost& host);

    // Starts the reads; nothing is kept from an earlier run.
    CommResult Start();
    ProcedureStep HandleNotification(const Notification& n);
    bool Running() const { return step_ != Step::Idle; }
    const std::vector<SensorTrimReading>& Trims() const { return trims_; }
    // Why the additional status was not read; empty when it was (or was not tried).
    const std::string& StatusMissing() const { return statusMissing_; }

private:
    enum class Step { Idle, Status, Trim };
    CommResult ReadTrim(int sensor);
    std::string RefusalText(int command);

    CommWorker& worker_;
    ProcedureHost& host_;
    Step step_ = Step::Idle;
    int sensor_ = 1;
    std::vector<SensorTrimReading> trims_;
    std::string statusMissing_;
};

// Everything the report shows, as the worker holds it now.
ReportInput ReportInputFrom(CommWorker& worker, const std::vector<SensorTrimReading>& trims);
// The same with what the reading could not read.
ReportInput ReportInputFrom(CommWorker& worker, const ReportReading& reading);

}  // namespace qt40
