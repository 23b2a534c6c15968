#include "panels/CSetting.h"

#include <QLabel>
#include <QPushButton>

#include "resources/LanguageList.h"

namespace qt40 {

CSetting::CSetting(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverNone, parent) {
    setObjectName("CSetting");
    AddTitle(1340, "Language");
    current_ = AddValue("language");
    current_->setProperty("controlId", 1341);
    AddRow(current_);
    auto* change = AddButton(1050, "Change");
    change->setObjectName("change");
    AddRow(change);
    AddCloseButton(1275, "Close Language");
    connect(change, &QPushButton::clicked, this, &CSetting::OnChange);
}

void CSetting::RefreshFields() {
    current_->setText(QString::fromStdString(host_.Settings().displayLanguageName));
}

void CSetting::OnChange() {
    const std::vector<LanguageEntry> languages = ListLanguages(host_.Texts().LanguageDir());
    Selection selection;
    selection.titleKey = "Select_Display_Language";
    for (std::size_t i = 0; i < languages.size(); ++i) {
        selection.names.push_back(languages[i].displayName);
        selection.codes.push_back(std::to_string(i));
    }
    selection.preselectName = host_.Settings().displayLanguageName;
    const auto chosen = host_.Questions().Select(selection);
    if (!chosen || chosen->code < 0 || chosen->code >= static_cast<int>(languages.size())) return;
    const LanguageEntry& entry = languages[static_cast<std::size_t>(chosen->code)];
    host_.Settings().displayLanguage = entry.fileName;
    host_.Settings().displayLanguageName = entry.displayName;
    host_.Settings().Save();
    host_.ApplyLanguage(false);
    Show(true);
}

}  // namespace qt40
