#pragma once
// The "Additional Status" panel: every failure bit of the additional status
// as a red or green indicator beside its label. It takes the place of the
// monitor and the function panel while shown, and follows the device live.

#include <vector>

#include "panels/CPanel.h"

namespace qt40 {

class CAddStatus : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 167;
    static constexpr int kWidthUnits = 352;

    CAddStatus(PanelHost& host, QWidget* parent);

    void Show(bool show) override;
    bool HandleNotification(const Notification& n) override;
    // Colours every indicator from the additional status bytes now held.
    void Recolour();
    // The indicator of the labelled bit, by its control number.
    CLblColor* Indicator(int controlId) const;

    static QColor SetColour() { return QColor(255, 0, 0); }
    static QColor ClearColour() { return QColor(64, 191, 0); }

signals:
    // The connection was given up while the panel was shown.
    void connectionLost();

private:
    struct Row {
        int controlId;
        int byte;
        int bit;
        CLblColor* indicator;
    };
    std::vector<Row> rows_;
};

}  // namespace qt40
