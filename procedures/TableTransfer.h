#pragma once
// Moving one custom table between the device and its panel, one point per
// request: the header and every point with the progress window; or the
// refusals, the confirmation and the validation, then header, points, the
// end marker, the device's storing time and the header read back. Driven by
// the worker's notifications; the panel and the command-line tool show what
// it reports through TableTransferView.

#include <functional>
#include <string>

#include "base/Clock.h"
#include "link/CommWorker.h"
#include "base/Prompts.h"
#include "model/TableRecords.h"
#include "tables/CFileOperations.h"
#include "tables/TableKind.h"

namespace qt40 {

// The request codes, texts and waits of one table kind.
struct TableKindInfo {
    TableKind kind;
    WorkerRequest readHeader;
    WorkerRequest readPoint;
    WorkerRequest writeHeader;
    WorkerRequest writePoint;
    const char* uploadKey;    // progress text while reading
    const char* downloadKey;  // progress text while writing
    const char* confirmKey;
    const char* refusalKey;  // the device uses this table: no write
    int storeWaitMs;         // the device stores the table after the end marker
    int capacity;
};

const TableKindInfo& InfoOf(TableKind kind);
// What an image says its values are when they are this kind's points.
TablePoints PointsOf(TableKind kind);
// The file reader's limits and texts for a table of this kind.
TableReaderSetup ReaderSetupFor(TableKind kind);

// Progress text while the device stores a table (and the coefficients).
inline constexpr const char* kStoringTableKey = "Storing_Table";
// A device header reporting more points than a table holds: (size, capacity).
inline constexpr const char* kDeviceTableTooLargeKey = "Err_Table_Device_Size";

inline constexpr std::int16_t kSensorTypeCustomTc = 146;
inline constexpr std::int16_t kSensorTypeCustomRtd = 93;
inline constexpr std::int16_t kTransferFunctionSpecialCurve = 4;

class TableTransferView {
public:
    virtual ~TableTransferView() = default;
    // Posts a worker request; anything but 200 ends the sequence at once.
    virtual CommResult Submit(WorkerRequest code, bool polling) = 0;
    // The progress window with the text of `key`, bar at 0; shown again with
    // another key, it only changes its text.
    virtual void ShowProgress(const std::string& key) = 0;
    virtual void HideProgress() = 0;
    virtual void EnableRead(bool on) = 0;
    virtual void EnableWrite(bool on) = 0;
    // The device's table is in the record: the whole table (`complete`), or
    // only its header (after a write); the view fills its copy from it, the
    // values only when the image holds this kind's points (PointsOf).
    virtual void TableArrived(bool complete) = 0;
    // The connection was given up while a request of the table ran.
    virtual void ConnectionLost() = 0;
    // A sequence ended: the window takes clicks again.
    virtual void SequenceEnded() = 0;
};

class TableTransfer {
public:
    TableTransfer(TableKind kind, CommWorker& worker, Prompts& prompts, TableTransferView& view,
                  Clock& clock);

    TableKind Kind() const { return info_.kind; }
    const TableKindInfo& Info() const { return info_; }

    // "Read table from Device".
    void StartRead();
    // "Write table to Device" of a custom TC or RTD table, or of the special
    // curve. False when nothing was sent (refused, declined, invalid).
    bool StartWrite(const CustomTableEdit& edit, bool tableValid);
    bool StartWrite(const SpecialCurveEdit& edit, bool tableValid);
    // Reads only the header back (after the calibrated-RTD write).
    void ReadHeaderBack();

    // A worker notification; false when it is not for this transfer.
    bool HandleNotification(const Notification& n);

    bool Busy() const { return phase_ != Phase::Idle; }
    bool ReadValues() const { return readValues_; }
    // The clock the device's storing time is waited on.
    void SetClock(Clock& clock) { clock_ = &clock; }

private:
    enum class Phase { Idle, ReadHeader, ReadPoints, WriteHeader, WritePoints };

    bool Refused();
    bool Confirm(bool tableValid, const std::function<bool()>& validate);
    void BeginWrite(int size, const std::function<void(DeviceState&)>& stage);
    bool Post(WorkerRequest code, bool polling);
    void SetPointIndex(int index);
    void ResetProgress();
    void Finish();
    void OnReadHeader(int result);
    void OnReadPoint(int result);
    void OnWriteHeader(int result);
    void OnWritePoint(int result);
    int DeviceSize();
    // Marks whose points the record's image holds.
    void SetImagePoints(TablePoints points);
    TablePoints ImagePoints();

    const TableKindInfo& info_;
    CommWorker& worker_;
    Prompts& prompts_;
    TableTransferView& view_;
    Clock* clock_;
    Phase phase_ = Phase::Idle;
    bool readValues_ = false;
    int index_ = 0;
    int size_ = 0;
};

}  // namespace qt40
