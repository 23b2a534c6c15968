#pragma once
// Dialog 153: a text of limited length and printable ASCII characters, or a
// date "YYYY/MM/DD". Only OK accepts; Enter in the edit runs the length test
// alone, so a text that is too long is reported before OK is pressed.

#include "widgets/CEntryDialog.h"

namespace qt40 {

class CValidateText : public CEntryDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 153;

    CValidateText(const CResourceDatabase& database, Prompts& messages, QWidget* parent = nullptr);

    // Mode, length limit and starting text come from `entry`; the starting
    // text is shown without its leading and trailing blanks.
    void Setup(const QString& caption, const QString& prompt, const TextEntry& entry);

    // Valid after exec() returned Accepted: trimmed, an empty text as one blank.
    const std::string& Result() const { return result_; }

protected:
    void Check() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TextEntry entry_;
    std::string result_;
};

}  // namespace qt40
