#include "widgets/CValidateNumber.h"

#include <QPushButton>

#include "model/EntryRules.h"

namespace qt40 {

CValidateNumber::CValidateNumber(const CResourceDatabase& database, Prompts& messages,
                                 QWidget* parent)
    : CEntryDialog(kDialogId, database, messages, parent) {
    // Enter in the edit presses OK, which runs the check; on Cancel it cancels.
    OkButton()->setDefault(true);
}

void CValidateNumber::Setup(const QString& caption, const QString& prompt,
                            const NumberEntry& entry) {
    entry_ = entry;
    SetTexts(caption, prompt, QString::fromStdString(InitialNumberText(entry.initialText)));
}

void CValidateNumber::Check() {
    const std::string text = EditText();
    NumberVerdict verdict;
    switch (entry_.staging) {
        case NumberEntry::Staging::None:
            verdict = CheckNumberEntry(entry_, text);
            break;
        case NumberEntry::Staging::EnteredText:
            verdict =
                CheckNumberForStaging(entry_, text, StagedForm::Entered, entry_.stagingSuffix);
            break;
        case NumberEntry::Staging::FormattedText:
            verdict =
                CheckNumberForStaging(entry_, text, StagedForm::Formatted, entry_.stagingSuffix);
            break;
    }
    if (!verdict.result) {
        Refuse(verdict.errorKey, {});
        return;
    }
    result_ = *verdict.result;
    accept();
}

}  // namespace qt40
