#pragma once
// The loop-check dialog of the analog output panel: the points, tolerance
// and who checked with what; the table filling in as the output goes from
// point to point; the reading typed at each. It keeps its sheet between
// openings (an as-left run after a DAC trim joins the as-found one) until
// another device is connected. A run holding readings is replaced only when
// the technician says so; one point can be taken again; each run's verdict
// stands under the table. However the check ends, or the dialog or the
// window closes, the loop is released. It follows the language panel.
//
// The dialog is modal to the main window but cannot pause the worker: the
// check itself is worker traffic. Its own questions (refused values, the
// save dialog, the preview) pause it as every modal box does.

#include <QDialog>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "panels/PanelHost.h"
#include "panels/PanelProcedureHost.h"
#include "procedures/LoopCheckProcedure.h"
#include "records/LoopCheckSheet.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace qt40 {

class CLoopCheckDialog : public QDialog {
    Q_OBJECT
public:
    CLoopCheckDialog(PanelHost& host, QWidget* parent);
    ~CLoopCheckDialog() override;

    // Shows the dialog over the main window (a sheet of another device is dropped).
    void Open();
    // A worker notification; false when it is not the check's.
    bool HandleNotification(const Notification& n);
    // Stops a running check and waits (painting, no input) until the loop
    // is released or the connection is gone.
    void EndCheck();

    // A DAC trim the device stored, between the runs of this sheet.
    void RecordTrim(bool upper, const std::string& measuredText);
    const LoopCheckSheet& Sheet() const { return sheet_; }
    const LoopCheckProcedure& Check() const { return check_; }
    QTableWidget* Table() const { return table_; }
    QLabel* Status() const { return status_; }
    QLabel* Verdicts() const { return verdicts_; }
    // Every caption again in the window's language.
    void Relabel();

    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void Start(LoopRunKind kind);
    void Enter();
    void Redo();
    // The run and point of the selected row, if it is one.
    std::optional<std::pair<LoopRunKind, std::size_t>> Selected() const;
    void ShowPreview();
    void TakeFields();
    void Refresh();
    QString Text(const char* key) const;

    PanelHost& host_;
    PanelProcedureHost procedureHost_;
    LoopCheckSheet sheet_;
    LoopCheckProcedure check_;
    QLineEdit* points_ = nullptr;
    QLineEdit* tolerance_ = nullptr;
    QLineEdit* technician_ = nullptr;
    QLineEdit* meter_ = nullptr;
    QLineEdit* note_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* verdicts_ = nullptr;
    QLabel* pointsLabel_ = nullptr;
    QLabel* toleranceLabel_ = nullptr;
    QLabel* technicianLabel_ = nullptr;
    QLabel* meterLabel_ = nullptr;
    QLabel* noteLabel_ = nullptr;
    QPushButton* redo_ = nullptr;
    // The run and point each table row shows.
    std::vector<std::pair<LoopRunKind, std::size_t>> rows_;
    QLineEdit* measured_ = nullptr;
    QPushButton* enter_ = nullptr;
    QPushButton* asFound_ = nullptr;
    QPushButton* asLeft_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* preview_ = nullptr;
    QPushButton* close_ = nullptr;
    QTimer* watch_ = nullptr;
};

}  // namespace qt40
