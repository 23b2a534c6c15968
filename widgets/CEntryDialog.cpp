#include "widgets/CEntryDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "resources/CResourceDatabase.h"
#include "widgets/DialogUnits.h"

namespace qt40 {

CEntryDialog::CEntryDialog(int dialogId, const CResourceDatabase& database, Prompts& messages,
                           QWidget* parent)
    : QDialog(parent),
      dialogId_(dialogId),
      database_(database),
      messages_(messages),
      prompt_(new QLabel(this)),
      edit_(new QLineEdit(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    prompt_->setObjectName(QStringLiteral("prompt"));
    prompt_->setWordWrap(true);
    prompt_->setTextFormat(Qt::PlainText);  // language texts are shown, never interpreted
    prompt_->setFont(DerivedFont(130, 700));
    edit_->setObjectName(QStringLiteral("edit"));
    edit_->setFont(DerivedFont(130, 700));
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setProperty("controlId", kOkId);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setProperty("controlId", kCancelId);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
    setMinimumWidth(DluX(200));

    connect(ok_, &QPushButton::clicked, this, [this] { Check(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void CEntryDialog::SetTexts(const QString& caption, const QString& prompt, const QString& text) {
    caption_ = caption;
    prompt_->setText(prompt);
    edit_->setText(text);
    edit_->selectAll();
}

void CEntryDialog::Refuse(const std::string& key, const MessageArgs& args) {
    messages_.Message(key, args, BoxType::OkWarning);
    edit_->selectAll();
    edit_->setFocus();
}

std::string CEntryDialog::EditText() const {
    return edit_->text().toStdString();
}

void CEntryDialog::showEvent(QShowEvent* event) {
    database_.Relabel(dialogId_, this);
    if (!caption_.isEmpty()) setWindowTitle(caption_);
    QDialog::showEvent(event);
    edit_->selectAll();
    edit_->setFocus();
}

}  // namespace qt40
