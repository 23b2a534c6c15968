#include "panels/CAddStatus.h"

#include <QGridLayout>
#include <QLabel>
#include <algorithm>

#include "model/AdditionalStatusBits.h"
#include "widgets/CLblColor.h"
#include "widgets/DialogUnits.h"

namespace qt40 {

CAddStatus::CAddStatus(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverAddStatus, parent) {
    setObjectName("CAddStatus");
    setFixedSize(DluX(kWidthUnits), DluY(kHeightUnits));
    auto* title = new CLblColor("Additional Status", this);
    title->setProperty("controlId", 1861);
    title->setObjectName("title");
    title->SetTitleStyle();
    title->setMinimumHeight(28);
    QGridLayout* grid = Grid();
    grid->addWidget(title, 0, 0, 1, 4);
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(6);

    // Two columns of groups, each row an indicator and its label; labels and
    // headings stay direct children so that the language file finds them.
    const auto headings = AdditionalStatusGroups();
    int line[2] = {1, 1};
    for (std::size_t g = 0; g < headings.size(); ++g) {
        const int column = g < 2 ? 0 : 1;
        QLabel* heading = AddLabel(headings[g].controlId, headings[g].heading);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        grid->addWidget(heading, line[column]++, column * 2, 1, 2);
        for (const AdditionalStatusBit& b : AdditionalStatusBits()) {
            if (b.group != static_cast<int>(g)) continue;
            auto* indicator = new CLblColor({}, this);
            indicator->setObjectName(QString("bit%1_%2").arg(b.byte).arg(b.bit));
            indicator->setFixedSize(DluX(10), DluY(8));
            QLabel* label = AddLabel(b.controlId, b.label);
            grid->addWidget(indicator, line[column], column * 2);
            grid->addWidget(label, line[column]++, column * 2 + 1);
            rows_.push_back({b.controlId, b.byte, b.bit, indicator});
        }
        grid->setRowMinimumHeight(line[column]++, 6);  // a gap between groups
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(std::max(line[0], line[1]), 1);
}

CLblColor* CAddStatus::Indicator(int controlId) const {
    for (const Row& row : rows_) {
        if (row.controlId == controlId) return row.indicator;
    }
    return nullptr;
}

void CAddStatus::Show(bool show) {
    if (show) {
        host_.Texts().Relabel(DialogId(), this);
        for (const Row& row : rows_) row.indicator->SetBackColor(CLblColor::ButtonFace());
        Recolour();
        host_.Worker().SetReceiver(Receiver());
        // The monitor and the function panel wait behind this panel.
        host_.ShowMonitor(false);
        setVisible(true);
        raise();
    } else {
        setVisible(false);
        host_.ShowMonitor(true);
        host_.DisableFunctionKeys();
    }
}

void CAddStatus::Recolour() {
    const auto bytes =
        host_.Worker().WithSession([](DeviceState& s) { return s.record.additionalStatus; });
    for (const Row& row : rows_) {
        const bool set = bytes[static_cast<std::size_t>(row.byte)] & (1 << row.bit);
        row.indicator->SetBackColor(set ? SetColour() : ClearColour());
    }
}

bool CAddStatus::HandleNotification(const Notification& n) {
    if (n.kind != NotificationKind::Completion || n.result != kCommExchangeFailed) return false;
    // A poll given up: the connection is gone.
    if (host_.Connection().Connected()) host_.Connection().StopConnection();
    if (isVisible()) {
        setVisible(false);
        host_.ShowMonitor(true);
    }
    emit connectionLost();
    host_.RequestDone();
    return true;
}

}  // namespace qt40
