#pragma once
// Dialog 145: pick one entry of a list of names, each standing for a code.
// OK, a double click, and Enter or Space in the list take the highlighted
// entry; Cancel (also by Enter or Space on it) and Escape leave nothing chosen.

#include <QDialog>
#include <QString>

#include "base/Prompts.h"
#include "resources/CResourceManager.h"
#include "widgets/CFontManager.h"

class QListWidget;
class QPushButton;

namespace qt40 {

class CResourceDatabase;

class CSelectListBox : public QDialog, public CResourceManager, public CFontManager {
    Q_OBJECT
public:
    static constexpr int kDialogId = 145;
    static constexpr int kListId = 1198;
    static constexpr int kOkId = 1199;
    static constexpr int kCancelId = 1078;

    explicit CSelectListBox(const CResourceDatabase& database, QWidget* parent = nullptr);

    // Fills the list and highlights the preselected entry (by code or by
    // exact name, the last match winning), else the first.
    void Setup(const QString& title, const Selection& selection);

    // Valid after exec() returned Accepted.
    const SelectionResult& Result() const { return result_; }

    QListWidget* List() const { return list_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TakeHighlighted();

    const CResourceDatabase& database_;
    QString title_;
    Selection selection_;
    SelectionResult result_;
    QListWidget* list_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace qt40
