#pragma once
// A record on screen as it will print: the pages painted by the PDF writer,
// with "Save…" (PDF or CSV, by the name chosen), "Print…" and "Close". The
// worker pauses while it is open, as around every modal box.

#include <QDialog>

#include "panels/PanelHost.h"
#include "records/RecordDocument.h"
#include "records/RecordTexts.h"

class QPrintPreviewWidget;
class QPrinter;
class QPushButton;

namespace qt40 {

class CRecordPreview : public QDialog {
    Q_OBJECT
public:
    // `saveTitleKey`: the title of its save dialog ("Save_Report", ...).
    CRecordPreview(PanelHost& host, RecordDocument doc, std::string saveTitleKey,
                   QWidget* parent);
    ~CRecordPreview() override;

    // Asks for a file name and saves; false when cancelled or failed (the
    // failure told with "Err_Record_Save").
    bool Save();
    // The file name its save dialog offers first.
    void SetSuggestedName(std::string name) { suggestedName_ = std::move(name); }
    QPrintPreviewWidget* Preview() const { return preview_; }
    const RecordDocument& Document() const { return doc_; }

    int exec() override;

private:
    void Print();

    PanelHost& host_;
    RecordDocument doc_;
    std::string saveTitleKey_;
    std::string suggestedName_;
    std::unique_ptr<QPrinter> printer_;
    QPrintPreviewWidget* preview_ = nullptr;
};

// The records' words in the language the window shows.
RecordTexts WindowRecordTexts(const CResourceDatabase& texts);
// "QT40CFG" and the version.
std::string ProgramForRecords();
// The port and polling address the device answered on.
std::string PortForRecords(PanelHost& host, const RecordTexts& texts);

}  // namespace qt40
