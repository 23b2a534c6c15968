#include "widgets/CValidateText.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "model/EntryRules.h"

namespace qt40 {

CValidateText::CValidateText(const CResourceDatabase& database, Prompts& messages, QWidget* parent)
    : CEntryDialog(kDialogId, database, messages, parent) {}

void CValidateText::Setup(const QString& caption, const QString& prompt, const TextEntry& entry) {
    entry_ = entry;
    SetTexts(caption, prompt, QString::fromStdString(entry.initialText).trimmed());
}

void CValidateText::Check() {
    TextVerdict verdict = CheckTextEntry(entry_, EditText());
    if (!verdict.result) {
        Refuse(verdict.errorKey, verdict.errorArgs);
        return;
    }
    result_ = std::move(*verdict.result);
    accept();
}

void CValidateText::keyPressEvent(QKeyEvent* event) {
    // A focused button takes Enter itself (so Enter on Cancel cancels); what
    // reaches the dialog comes from the edit.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (entry_.mode == TextMode::Text &&
            ExceedsLengthLimit(TextEntryResult(EditText()), entry_.lengthLimit)) {
            Refuse("Err_Tag_Number_overflow", {std::to_string(entry_.lengthLimit)});
        }
        return;
    }
    CEntryDialog::keyPressEvent(event);
}

}  // namespace qt40
