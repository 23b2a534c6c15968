#include "panels/CProgressWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

#include "model/NumberText.h"
#include "widgets/CFontManager.h"
#include "widgets/DialogUnits.h"

namespace qt40 {

CProgressBar::CProgressBar(bool withScale, QWidget* parent)
    : QWidget(parent), withScale_(withScale) {
    setMinimumHeight(withScale ? 44 : 22);
}

void CProgressBar::SetPercent(float percent) {
    percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    update();
}

void CProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int left = 10, right = width() - 10;
    const QRect bar(left, 2, right - left, 18);
    p.fillRect(bar, QColor(96, 64, 64));
    const int filled = static_cast<int>(bar.width() * percent_ / 100.0f);
    p.fillRect(QRect(bar.left(), bar.top(), filled, bar.height()), QColor(64, 191, 0));
    p.setPen(Qt::black);
    p.drawRect(bar.adjusted(0, 0, -1, -1));
    if (!withScale_) return;
    // Marks every 20 with three minor ticks between them.
    const int y = bar.bottom() + 2;
    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);
    for (int i = 0; i <= 20; ++i) {
        const int x = left + (right - left) * i / 20;
        const bool major = i % 4 == 0;
        p.drawLine(x, y, x, y + (major ? 7 : 4));
        if (major) {
            const QString label = QString::number(i * 5);
            const int w = p.fontMetrics().horizontalAdvance(label);
            p.drawText(x - w / 2, y + 18, label);
        }
    }
}

CProgressWindow::CProgressWindow(Kind kind, QWidget* owner)
    // Not a child of the main window: that one is disabled while we show, and
    // a child would be greyed out with it.
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      kind_(kind),
      owner_(owner) {
    setObjectName(kind == Kind::Upload ? "CUploadDeviceInfo" : "CLookingForDeviceInfo");
    setFixedSize(DluX(220), DluY(117));
    setModal(false);
    auto* grid = new QGridLayout(this);
    message_ = new QLabel(this);
    message_->setObjectName("message");
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->setFont(CFontManager::DerivedFont(100, 700));
    grid->addWidget(message_, 0, 0, 1, 2);
    bar_ = new CProgressBar(kind == Kind::Upload, this);
    bar_->setObjectName("bar");
    grid->addWidget(bar_, 1, 0, 1, 2);
    if (kind == Kind::Upload) {
        percent_ = new QLabel(this);
        percent_->setTextFormat(Qt::PlainText);
        percent_->setObjectName("percent");
        percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(percent_, 2, 1);
    } else {
        auto* caption = new QLabel("Address", this);
        caption->setTextFormat(Qt::PlainText);
        grid->addWidget(caption, 2, 0);
        address_ = new QLabel(this);
        address_->setTextFormat(Qt::PlainText);
        address_->setObjectName("address");
        grid->addWidget(address_, 2, 1);
    }
    hide();
}

void CProgressWindow::Start(const QString& message, int address) {
    message_->setText(message);
    SetProgress(0.0f, address);
    if (QWidget* main = owner_) {
        const QRect r = main->frameGeometry();
        move(r.left() + r.width() / 2 - width() / 2, r.top() + r.height() / 2 - height() / 2);
    }
    show();
    raise();
    // Painted now: the window is up for seconds while the rest waits for the device.
    repaint();
}

void CProgressWindow::SetProgress(float percent, int address) {
    bar_->SetPercent(percent);
    if (percent_) percent_->setText(QString::fromStdString(FormatFixed(percent, 2, 2)) + " %");
    if (address_ && address >= 0) address_->setText(QString::number(address));
    repaint();
}

QString CProgressWindow::PercentText() const { return percent_ ? percent_->text() : QString(); }
QString CProgressWindow::AddressText() const { return address_ ? address_->text() : QString(); }

}  // namespace qt40
