#pragma once
// What the number and text entry dialogs share: a prompt above one edit
// field, "OK" and "Cancel", relabelling from the language file each time the
// dialog is shown, and the error boxes raised through the caller's Prompts
// (so they follow the message-box convention and keep the worker paused).

#include <QDialog>
#include <QString>

#include "base/Prompts.h"
#include "resources/CResourceManager.h"
#include "widgets/CFontManager.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qt40 {

class CResourceDatabase;

class CEntryDialog : public QDialog, public CResourceManager, public CFontManager {
    Q_OBJECT
public:
    // Identifiers of the buttons in the language file's gui entries.
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;

    QLineEdit* Edit() const { return edit_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* PromptLabel() const { return prompt_; }

protected:
    CEntryDialog(int dialogId, const CResourceDatabase& database, Prompts& messages,
                 QWidget* parent);

    // Caption and prompt; the edit starts with `text`, fully selected.
    void SetTexts(const QString& caption, const QString& prompt, const QString& text);
    // Shows `key` as a warning box, then hands the edit back for correction.
    void Refuse(const std::string& key, const MessageArgs& args);
    std::string EditText() const;

    void showEvent(QShowEvent* event) override;

    // Run by the OK button.
    virtual void Check() = 0;

private:
    int dialogId_;
    const CResourceDatabase& database_;
    Prompts& messages_;
    QString caption_;
    QLabel* prompt_;
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace qt40
