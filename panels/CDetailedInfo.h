#pragma once
// The "Detailed Information" panel: who the connected device is, and its
// final assembly number, tag with descriptor and date, and message.

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "panels/CPanel.h"

namespace qt40 {

class CDetailedInfo : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 130;

    CDetailedInfo(PanelHost& host, QWidget* parent);

    bool HandleNotification(const Notification& n) override;

    // Today by the computer's clock, local time, as the tag write stamps it.
    static std::string TodayText();
    // Tests set the day the tag write stamps.
    void SetToday(std::function<std::string()> today) { today_ = std::move(today); }

protected:
    // Final assembly number and tag only for a connected QT40; the message
    // for any connected device.
    void RefreshFields() override;

private:
    QLabel* Row(int id, const QString& caption, const QString& name);
    QLabel* ButtonRow(QPushButton* button, const QString& name);
    void Send(WorkerRequest code);
    // A tag, descriptor or message entry; what comes back passes its rule
    // (packed ASCII holds no "~") or is refused with the rule's message.
    std::optional<std::string> EnterDeviceText(const char* titleKey, const char* promptKey,
                                               const QString& initialText, std::size_t length);

    void OnFinalAssemblyNo();
    void OnTag();
    void OnMessage();

    QLabel* manufacturer_;
    QLabel* deviceType_;
    QLabel* deviceId_;
    QLabel* preambles_;
    QLabel* universalRev_;
    QLabel* transmitterRev_;
    QLabel* hardwareRev_;
    QLabel* softwareRev_;
    QLabel* finalAssemblyNo_;
    QLabel* tag_;
    QLabel* descriptor_;
    QLabel* date_;
    QLabel* message_;

    QPushButton* finalAssemblyNoButton_;
    QPushButton* tagButton_;
    QPushButton* messageButton_;
    std::function<std::string()> today_ = TodayText;
};

}  // namespace qt40
