#include "panels/CPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "model/ConfigurationRules.h"
#include "model/NumberText.h"
#include "widgets/CLblColor.h"
#include "widgets/DialogUnits.h"

namespace qt40 {

CPanel::CPanel(PanelHost& host, int dialogId, int receiver, QWidget* parent)
    : QWidget(parent), host_(host), dialogId_(dialogId), receiver_(receiver) {
    setFixedSize(DluX(kWidthUnits), DluY(kHeightUnits));
    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(8, 6, 8, 8);
    grid_->setVerticalSpacing(6);
    hide();
}

void CPanel::Show(bool show) {
    if (show) {
        host_.Texts().Relabel(dialogId_, this);
        RefreshFields();
        if (receiver_ != kReceiverNone) host_.Worker().SetReceiver(receiver_);
    }
    host_.ShowSensorInfo(!show);
    setVisible(show);
    if (show && close_) close_->setFocus();
}

bool CPanel::HandleNotification(const Notification&) {
    return false;
}

CLblColor* CPanel::AddTitle(int id, const QString& text) {
    auto* title = new CLblColor(text, this);
    title->setProperty("controlId", id);
    title->setObjectName("title");
    title->SetTitleStyle();
    title->setMinimumHeight(28);
    grid_->addWidget(title, row_++, 0, 1, 2);
    return title;
}

QPushButton* CPanel::AddButton(int id, const QString& text) {
    auto* button = new QPushButton(text, this);
    button->setProperty("controlId", id);
    button->setAutoDefault(false);
    return button;
}

QLabel* CPanel::AddLabel(int id, const QString& text) {
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);  // language texts are shown, never interpreted
    label->setText(text);
    label->setProperty("controlId", id);
    return label;
}

QLabel* CPanel::AddValue(const QString& objectName) {
    auto* value = new QLabel(this);
    value->setTextFormat(Qt::PlainText);  // device texts too
    value->setObjectName(objectName);
    value->setFrameShape(QFrame::StyledPanel);
    value->setFrameShadow(QFrame::Sunken);
    value->setMinimumWidth(DluX(60));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return value;
}

QPushButton* CPanel::AddCloseButton(int id, const QString& text) {
    close_ = AddButton(id, text);
    close_->setObjectName("close");
    close_->setFont(TitleFont());
    AddStretch();
    grid_->addWidget(close_, row_++, 0, 1, 2);
    connect(close_, &QPushButton::clicked, this, [this] { Show(false); });
    return close_;
}

void CPanel::AddRow(QWidget* left, QWidget* right) {
    if (right) {
        grid_->addWidget(left, row_, 0);
        grid_->addWidget(right, row_, 1);
    } else {
        grid_->addWidget(left, row_, 0, 1, 2);
    }
    ++row_;
}

void CPanel::AddStretch() {
    grid_->setRowStretch(row_++, 1);
}

std::optional<CPanel::EnteredRange> CPanel::EnterRange(const RangeEntryLimits& limits,
                                                       const std::string& unit, double minimumSpan,
                                                       const RangeKeys& keys,
                                                       const QString& upperInitial,
                                                       const QString& lowerInitial) {
    NumberEntry entry;
    entry.promptArgs = {limits.lowerText, limits.upperText, unit};
    entry.minimum = limits.minimum;
    entry.maximum = limits.maximum;
    entry.rangeMessage = true;
    entry.zeroAllowed = false;
    entry.staging = NumberEntry::Staging::EnteredText;

    entry.titleKey = keys.upperTitle;
    entry.promptKey = keys.upperPrompt;
    entry.initialText = upperInitial.trimmed().toStdString();
    const auto upper = host_.Questions().EnterNumber(entry);
    if (!upper) return std::nullopt;
    entry.titleKey = keys.lowerTitle;
    entry.promptKey = keys.lowerPrompt;
    entry.initialText = lowerInitial.trimmed().toStdString();
    const auto lower = host_.Questions().EnterNumber(entry);
    if (!lower) return std::nullopt;

    if (SpanTooSmall(upper->value, lower->value, minimumSpan)) {
        host_.Questions().Message("Err_Span", {FormatFixed(minimumSpan, 2), unit},
                                  BoxType::OkWarning);
        return std::nullopt;
    }
    return EnteredRange{upper->enteredText, lower->enteredText};
}

std::optional<std::uint32_t> CPanel::EnterU24(DeviceValue value, const char* titleKey,
                                              const char* promptKey, const QString& initialText) {
    const ValueRule& rule = RuleOf(value);
    const auto largest = static_cast<long long>(rule.maximum);
    NumberEntry entry;
    entry.titleKey = titleKey;
    entry.promptKey = promptKey;
    entry.initialText = initialText.toStdString();
    entry.minimum = rule.minimum;
    entry.maximum = rule.maximum;
    entry.rangeMessage = true;
    entry.zeroAllowed = rule.zeroAllowed;
    const auto result = host_.Questions().EnterNumber(entry);
    if (!result) return std::nullopt;
    // The entry already refused anything outside; the clamp only guards the cast.
    return static_cast<std::uint32_t>(
        std::clamp<long long>(IntegerPart(result->formattedText), 0, largest));
}

}  // namespace qt40
