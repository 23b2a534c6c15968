#pragma once
// The status bar across the top of the main window: a heartbeat that changes
// colour at every poll, the communication failure flag and the seven device
// status bits as coloured indicators, beside the program's name.

#include <QColor>
#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <map>

#include "resources/CResourceManager.h"
#include "widgets/CFontManager.h"

class QLabel;
class QPushButton;

namespace qt40 {

class CLblColor;
class CResourceDatabase;

class CDisplaySignal : public QWidget, public CResourceManager, public CFontManager {
    Q_OBJECT
public:
    static constexpr int kDialogId = 147;
    // Indicators worth naming outside.
    static constexpr int kHeartbeat = 1023;  // "COM"
    static constexpr int kFailure = 1030;    // "TME"
    static constexpr int kName = 1326;
    static constexpr int kIcon = 1290;

    explicit CDisplaySignal(const CResourceDatabase& resources, QWidget* parent = nullptr);

    // Colours and fonts; every indicator starts neutral.
    void Initialise();
    // Showing relabels the panel from the language file.
    void Show(bool show);
    // After each poll: the heartbeat toggles, the device bits are shown from
    // `status` and the failure flag goes neutral again.
    void DeviceStatusRefresh(std::uint8_t status);
    // A request failed: "TME" red until the next refresh.
    void MarkFailure();
    // No device connected: every indicator neutral with grey text, so that
    // no colour reads as the state of a device; the next refresh ends it.
    void ShowOffline();
    bool Live() const { return live_; }
    QPushButton* TrafficButton() const { return traffic_; }
    static QColor OfflineText() { return QColor(160, 160, 160); }

    // The indicator or group label with this control id, or nullptr.
    CLblColor* Label(int controlId) const;
    // Background colour of an indicator; invalid for an unknown id.
    QColor IndicatorColor(int controlId) const;

    static QColor Neutral();
    static QPixmap ProgramIcon();
    static QColor GroupBack() { return QColor(105, 95, 80); }
    static QColor NameBack() { return QColor(253, 165, 181); }

signals:
    // A double-click on the "Comm Status" row: the traffic is wanted.
    void commRowDoubleClicked();
    // The "Traffic…" button was pressed.
    void trafficRequested();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void SetColor(int controlId, const QColor& color);
    void ShowLive();

    const CResourceDatabase& resources_;
    std::map<int, CLblColor*> labels_;
    CLblColor* name_ = nullptr;
    QLabel* icon_ = nullptr;
    QPushButton* traffic_ = nullptr;
    bool live_ = true;
};

}  // namespace qt40
