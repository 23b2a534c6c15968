#pragma once
// The "Traffic" window: every exchange on the line as a table that follows
// the traffic live (time, Δt, address, command, name, response, status,
// duration), the selected exchange decoded field by field with its bytes,
// filters by command and by result, pause, clear and "Save as…" pcapng or CSV.
// It reads the recorder in batches on a timer, so the worker never waits for it.

#include <QWidget>
#include <functional>
#include <string>

#include "base/Prompts.h"
#include "traffic/DecoderTexts.h"
#include "traffic/ExchangeRecorder.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace qt40 {

class CResourceDatabase;
class TrafficTableModel;

class CTrafficWindow : public QWidget {
    Q_OBJECT
public:
    // `line` names the port (or endpoint) for a capture's comment.
    CTrafficWindow(traffic::ExchangeRecorder& recorder, const CResourceDatabase& texts,
                   Prompts& prompts, std::function<std::string()> line,
                   QWidget* parent = nullptr);

    // Shows it (relabelled from the language file), raised, following the line.
    void Open();
    // Takes what the recorder finished since the last look (the timer does it).
    void Follow();

    TrafficTableModel* Model() const { return model_; }
    QTableView* Table() const { return table_; }
    QPlainTextEdit* Detail() const { return detail_; }
    void SelectRow(int row);

    // Saving, as the menu does it (a name asked through the prompts).
    void AskAndSaveCapture();
    void AskAndSaveCsv();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void Relabel();
    void FilterChanged();
    void ShowDetail();
    void UpdateCount();
    void AskAndSave(bool capture);

    traffic::ExchangeRecorder& recorder_;
    const CResourceDatabase& texts_;
    traffic::DecoderTexts decoderTexts_;
    Prompts& prompts_;
    std::function<std::string()> line_;
    TrafficTableModel* model_ = nullptr;
    QComboBox* commands_ = nullptr;
    QComboBox* results_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* save_ = nullptr;
    QTableView* table_ = nullptr;
    QPlainTextEdit* detail_ = nullptr;
    QLabel* count_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace qt40
