#include "widgets/CSelectListBox.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/EntryRules.h"
#include "resources/CResourceDatabase.h"
#include "widgets/DialogUnits.h"

namespace qt40 {

CSelectListBox::CSelectListBox(const CResourceDatabase& database, QWidget* parent)
    : QDialog(parent),
      database_(database),
      list_(new QListWidget(this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    list_->setObjectName(QStringLiteral("list"));
    list_->setProperty("controlId", kListId);
    list_->setFont(DerivedFont(130, 700));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->installEventFilter(this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setProperty("controlId", kOkId);
    ok_->setDefault(true);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setProperty("controlId", kCancelId);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(DluX(153), DluY(150));

    connect(ok_, &QPushButton::clicked, this, &CSelectListBox::TakeHighlighted);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &CSelectListBox::TakeHighlighted);
}

void CSelectListBox::Setup(const QString& title, const Selection& selection) {
    title_ = title;
    selection_ = selection;
    list_->clear();
    for (const std::string& name : selection.names) {
        list_->addItem(QString::fromStdString(name));
    }
    const int position = PreselectedPosition(selection);
    if (position >= 0) {
        list_->setCurrentRow(position);
        list_->scrollToItem(list_->item(position));
    }
}

void CSelectListBox::showEvent(QShowEvent* event) {
    database_.Relabel(kDialogId, this);
    if (!title_.isEmpty()) setWindowTitle(title_);
    QDialog::showEvent(event);
    list_->setFocus();
}

bool CSelectListBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            TakeHighlighted();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CSelectListBox::TakeHighlighted() {
    // An empty list (or codes missing for a name) gives nothing to take.
    const std::optional<SelectionResult> chosen = SelectionAt(selection_, list_->currentRow());
    if (!chosen) return;
    result_ = *chosen;
    accept();
}

}  // namespace qt40
