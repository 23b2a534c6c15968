#include "procedures/TableTransfer.h"

#include "tables/TableRules.h"

namespace qt40 {
namespace {

// Request codes of the header read, point read, header write and point write.
constexpr TableKindInfo kCustomTc{.kind = TableKind::CustomTc,
                                  .readHeader = WorkerRequest::ReadCustomTcHeader,
                                  .readPoint = WorkerRequest::ReadCustomTcPoint,
                                  .writeHeader = WorkerRequest::WriteCustomTcHeader,
                                  .writePoint = WorkerRequest::WriteCustomTcPoint,
                                  .uploadKey = "Custom_TC_Upload",
                                  .downloadKey = "Custom_TC_Download",
                                  .confirmKey = "Confr_Download_CustomTC",
                                  .refusalKey = "Sensor_Type_Error_TC",
                                  .storeWaitMs = 8000,
                                  .capacity = kCustomTableCapacity};
constexpr TableKindInfo kCustomRtd{.kind = TableKind::CustomRtd,
                                   .readHeader = WorkerRequest::ReadCustomRtdHeader,
                                   .readPoint = WorkerRequest::ReadCustomRtdPoint,
                                   .writeHeader = WorkerRequest::WriteCustomRtdHeader,
                                   .writePoint = WorkerRequest::WriteCustomRtdPoint,
                                   .uploadKey = "Custom_RTD_Upload",
                                   .downloadKey = "Custom_RTD_Download",
                                   .confirmKey = "Confr_Download_CustomRTD",
                                   .refusalKey = "Sensor_Type_Error_RTD",
                                   .storeWaitMs = 8000,
                                   .capacity = kCustomTableCapacity};
constexpr TableKindInfo kSpecialCurve{.kind = TableKind::SpecialCurve,
                                      .readHeader = WorkerRequest::ReadSpecialCurveHeader,
                                      .readPoint = WorkerRequest::ReadSpecialCurvePoint,
                                      .writeHeader = WorkerRequest::WriteSpecialCurveHeader,
                                      .writePoint = WorkerRequest::WriteSpecialCurvePoint,
                                      .uploadKey = "Custom_SC_Upload",
                                      .downloadKey = "Custom_SC_Download",
                                      .confirmKey = "Confr_Download_Linearization",
                                      .refusalKey = "XFER_Error_SC",
                                      .storeWaitMs = 5000,
                                      .capacity = kSpecialCurveCapacity};

}  // namespace

TableReaderSetup ReaderSetupFor(TableKind kind) {
    switch (kind) {
        case TableKind::CustomTc:
            return TableReaderSetup::CustomTc();
        case TableKind::CustomRtd:
            return TableReaderSetup::CustomRtd();
        case TableKind::SpecialCurve:
            break;
    }
    return TableReaderSetup::SpecialCurve();
}

TablePoints PointsOf(TableKind kind) {
    switch (kind) {
        case TableKind::CustomTc:
            return TablePoints::CustomTc;
        case TableKind::CustomRtd:
            return TablePoints::CustomRtd;
        case TableKind::SpecialCurve:
            break;
    }
    return TablePoints::SpecialCurve;
}

const TableKindInfo& InfoOf(TableKind kind) {
    switch (kind) {
        case TableKind::CustomTc:
            return kCustomTc;
        case TableKind::CustomRtd:
            return kCustomRtd;
        case TableKind::SpecialCurve:
            break;
    }
    return kSpecialCurve;
}

TableTransfer::TableTransfer(TableKind kind, CommWorker& worker, Prompts& prompts,
                             TableTransferView& view, Clock& clock)
    : info_(InfoOf(kind)), worker_(worker), prompts_(prompts), view_(view), clock_(&clock) {}

void TableTransfer::StartRead() {
    if (Busy()) return;
    view_.EnableRead(false);
    view_.ShowProgress(info_.uploadKey);
    readValues_ = true;
    phase_ = Phase::ReadHeader;
    Post(info_.readHeader, false);
}

void TableTransfer::ReadHeaderBack() {
    readValues_ = false;
    phase_ = Phase::ReadHeader;
    Post(info_.readHeader, false);
}

bool TableTransfer::Refused() {
    const DeviceRecord r = worker_.RecordSnapshot();
    bool inUse = false;
    switch (info_.kind) {
        case TableKind::CustomTc:
            inUse = r.sensorType == kSensorTypeCustomTc;
            break;
        case TableKind::CustomRtd:
            inUse = r.sensorType == kSensorTypeCustomRtd;
            break;
        case TableKind::SpecialCurve:
            inUse = r.transferFunction == kTransferFunctionSpecialCurve;
            break;
    }
    if (inUse) prompts_.Message(info_.refusalKey, {}, BoxType::OkWarning);
    return inUse;
}

bool TableTransfer::Confirm(bool tableValid, const std::function<bool()>& validate) {
    view_.EnableWrite(false);
    const Answer answer = prompts_.Message(info_.confirmKey, {}, BoxType::YesNoQuestion);
    // The validation also refuses a table without points before anything is sent.
    if (tableValid && answer == Answer::Yes && validate()) return true;
    view_.EnableWrite(true);
    return false;
}

bool TableTransfer::StartWrite(const CustomTableEdit& edit, bool tableValid) {
    if (Busy() || info_.kind == TableKind::SpecialCurve || Refused()) return false;
    const CustomTableKind kind =
        info_.kind == TableKind::CustomTc ? CustomTableKind::Tc : CustomTableKind::Rtd;
    if (!Confirm(tableValid, [&] { return ValidateCustomTable(edit, kind, prompts_); })) {
        return false;
    }
    BeginWrite(edit.size, [&](DeviceState& s) { s.writes.customTable = edit; });
    return true;
}

bool TableTransfer::StartWrite(const SpecialCurveEdit& edit, bool tableValid) {
    if (Busy() || info_.kind != TableKind::SpecialCurve || Refused()) return false;
    if (!Confirm(tableValid, [&] { return ValidateSpecialCurve(edit, prompts_); })) return false;
    BeginWrite(edit.size, [&](DeviceState& s) { s.writes.specialCurve = edit; });
    return true;
}

void TableTransfer::BeginWrite(int size, const std::function<void(DeviceState&)>& stage) {
    readValues_ = false;
    // The device is about to hold other points than the ones last read.
    if (ImagePoints() == PointsOf(info_.kind)) SetImagePoints(TablePoints::None);
    size_ = size;
    worker_.WithSession(stage);
    view_.ShowProgress(info_.downloadKey);
    phase_ = Phase::WriteHeader;
    Post(info_.writeHeader, false);
}

bool TableTransfer::Post(WorkerRequest code, bool polling) {
    if (view_.Submit(code, polling) == kCommSuccess) return true;
    // No worker to take it: nothing was sent.
    view_.HideProgress();
    view_.EnableRead(true);
    view_.EnableWrite(true);
    ResetProgress();
    Finish();
    return false;
}

void TableTransfer::SetPointIndex(int index) {
    index_ = index;
    worker_.WithSession([index](DeviceState& s) { s.pointIndex = index; });
}

void TableTransfer::ResetProgress() {
    SetPointIndex(0);
    worker_.SetStepTotal(0);
    worker_.SetStepCounter(0);
}

void TableTransfer::Finish() {
    phase_ = Phase::Idle;
    view_.SequenceEnded();
}

void TableTransfer::SetImagePoints(TablePoints points) {
    worker_.WithSession([&](DeviceState& s) {
        (info_.kind == TableKind::SpecialCurve ? s.record.specialCurve.points
                                               : s.record.customTable.points) = points;
    });
}

TablePoints TableTransfer::ImagePoints() {
    return worker_.WithSession([&](DeviceState& s) {
        return info_.kind == TableKind::SpecialCurve ? s.record.specialCurve.points
                                                     : s.record.customTable.points;
    });
}

int TableTransfer::DeviceSize() {
    return worker_.WithSession([this](DeviceState& s) {
        return info_.kind == TableKind::SpecialCurve ? int{s.record.specialCurve.size}
                                                     : int{s.record.customTable.size};
    });
}

bool TableTransfer::HandleNotification(const Notification& n) {
    if (n.kind != NotificationKind::Completion) return false;
    const WorkerRequest code = n.request;
    if (code != info_.readHeader && code != info_.readPoint && code != info_.writeHeader &&
        code != info_.writePoint) {
        return false;
    }
    if (phase_ == Phase::Idle) {
        view_.SequenceEnded();  // nothing of ours is running
        return true;
    }
    if (n.result == kCommExchangeFailed) {
        phase_ = Phase::Idle;
        ResetProgress();
        view_.HideProgress();
        view_.ConnectionLost();
        return true;
    }
    if (code == info_.readHeader) {
        OnReadHeader(n.result);
    } else if (code == info_.readPoint) {
        OnReadPoint(n.result);
    } else if (code == info_.writeHeader) {
        OnWriteHeader(n.result);
    } else {
        OnWritePoint(n.result);
    }
    return true;
}

void TableTransfer::OnReadHeader(int result) {
    if (result != kCommSuccess) {
        // Refused by the device: the buttons and the live values come back.
        view_.HideProgress();
        view_.EnableRead(true);
        worker_.SetPolling(true);
        Finish();
        return;
    }
    if (!readValues_) {
        worker_.SetPolling(true);
        view_.TableArrived(false);
        Finish();
        return;
    }
    size_ = DeviceSize();
    if (size_ < 0 || size_ > info_.capacity) {
        // Never read past the end of the table.
        view_.HideProgress();
        prompts_.Message(kDeviceTableTooLargeKey,
                         {static_cast<long long>(size_), static_cast<long long>(info_.capacity)},
                         BoxType::OkWarning);
        view_.EnableRead(true);
        worker_.SetPolling(true);
        Finish();
        return;
    }
    if (size_ == 0) {
        // No point to ask for: the table is complete as it stands.
        SetImagePoints(PointsOf(info_.kind));
        view_.HideProgress();
        view_.TableArrived(true);
        view_.EnableRead(true);
        worker_.SetPolling(true);
        Finish();
        return;
    }
    phase_ = Phase::ReadPoints;
    // Overwritten point by point: nobody's until the last one is in.
    SetImagePoints(TablePoints::None);
    worker_.SetStepCounter(0);
    worker_.SetStepTotal(size_);
    SetPointIndex(0);
    Post(info_.readPoint, true);
}

void TableTransfer::OnReadPoint(int result) {
    if (result != kCommSuccess || index_ + 1 >= size_) {
        view_.HideProgress();
        // A refused point leaves the table partly read: nothing is shown.
        if (result == kCommSuccess) {
            SetImagePoints(PointsOf(info_.kind));
            view_.TableArrived(true);
        }
        view_.EnableRead(true);
        ResetProgress();
        Finish();
        return;
    }
    SetPointIndex(index_ + 1);
    Post(info_.readPoint, true);
}

void TableTransfer::OnWriteHeader(int result) {
    if (result != kCommSuccess) {
        // Show what the device holds now.
        view_.HideProgress();
        view_.EnableWrite(true);
        phase_ = Phase::ReadHeader;
        Post(info_.readHeader, false);
        return;
    }
    phase_ = Phase::WritePoints;
    worker_.SetStepCounter(0);
    worker_.SetStepTotal(size_);
    SetPointIndex(0);
    Post(info_.writePoint, false);
}

void TableTransfer::OnWritePoint(int result) {
    if (result != kCommSuccess) {
        view_.HideProgress();
        view_.EnableWrite(true);
        worker_.SetPolling(true);
        ResetProgress();
        Finish();
        return;
    }
    if (index_ == kEndOfTableIndex) {
        // The device accepted the end marker and now stores the table; it
        // takes no request until it is done.
        view_.ShowProgress(kStoringTableKey);
        clock_->SleepMs(info_.storeWaitMs);
        view_.HideProgress();
        view_.EnableWrite(true);
        ResetProgress();
        phase_ = Phase::ReadHeader;
        Post(info_.readHeader, false);
        return;
    }
    SetPointIndex(index_ + 1 >= size_ ? kEndOfTableIndex : index_ + 1);
    Post(info_.writePoint, false);
}

}  // namespace qt40
