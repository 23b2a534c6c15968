#pragma once
// What the three custom table panels share: the buttons that read and write
// the table (device and file), the graph button, the summary of the table
// and the handling of the transfer's notifications. The transfer itself is
// TableTransfer; this panel shows it.

#include <QString>

#include "panels/CPanel.h"
#include "panels/PaintingClock.h"
#include "tables/TableRules.h"
#include "procedures/TableTransfer.h"

namespace qt40 {

class CTablePanel : public CPanel, public TableTransferView {
    Q_OBJECT
public:
    // Control identifiers, the same in the three panels.
    enum Control : int {
        kTitle = 1801,
        kRead = 1802,
        kWriteDevice = 1803,
        kWriteFile = 1804,
        kReadFile = 1805,
        kGraph = 1806,
        kCalibratedRtd = 1807,
        kStatusCaption = 1808,
        kMinimumCaption = 1809,
        kMaximumCaption = 1810,
        kStepCaption = 1811,
        kSizeCaption = 1812,
        kUnitCaption = 1813,
        kMaxSizeCaption = 1814,
        kMaxSizeValue = 1815,
        kClose = 1816,
    };

    struct Captions {
        const char* objectName;
        const char* title;
        const char* graph;
        const char* close;
    };

    CTablePanel(PanelHost& host, int dialogId, int receiver, TableKind kind,
                const Captions& captions, QWidget* parent);

    void Show(bool show) override;
    bool HandleNotification(const Notification& n) override;
    void TableGraphClosed() override;

    bool TableValid() const { return tableValid_; }
    const CustomTableEdit& CustomEdit() const { return customEdit_; }
    const SpecialCurveEdit& CurveEdit() const { return curveEdit_; }
    // Tests wait for the device's storing time on a clock of their own.
    virtual void SetWaitClock(Clock& clock) { transfer_.SetClock(clock); }

    // TableTransferView
    CommResult Submit(WorkerRequest code, bool polling) override;
    void ShowProgress(const std::string& key) override;
    void HideProgress() override;
    void EnableRead(bool on) override;
    void EnableWrite(bool on) override;
    void TableArrived(bool complete) override;
    void ConnectionLost() override;
    void SequenceEnded() override;

protected:
    // Clears the table's validity and summary and enables reading and writing.
    void RefreshFields() override;
    // The RTD panel's extra button, placed after the graph button.
    QPushButton* calibrated_ = nullptr;
    Clock& WaitClock() { return paintingClock_; }
    TableTransfer& Transfer() { return transfer_; }

private:
    bool Custom() const { return transfer_.Kind() != TableKind::SpecialCurve; }
    QLabel* SummaryRow(int id, const QString& caption, const QString& name);
    void ShowSummary();
    void AllowGraph();
    void ShowFileError(const std::string& text);

    void OnRead();
    void OnWriteDevice();
    void OnWriteFile();
    void OnReadFile();
    void OnGraph();

    PaintingClock paintingClock_;
    TableTransfer transfer_;
    CustomTableEdit customEdit_;
    SpecialCurveEdit curveEdit_;
    CustomTableSummary customSummary_;
    SpecialCurveSummary curveSummary_;
    bool tableValid_ = false;
    bool graphAllowed_ = false;  // a table was read since the panel was shown
    bool graphShown_ = false;

    QPushButton* read_;
    QPushButton* write_;
    QPushButton* writeFile_;
    QPushButton* readFile_;
    QPushButton* graph_;
    QLabel* status_;
    QLabel* minimum_;
    QLabel* maximum_;
    QLabel* step_ = nullptr;
    QLabel* size_;
};

}  // namespace qt40
