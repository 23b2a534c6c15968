#include "app/CFunctionKeys.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "resources/CResourceDatabase.h"
#include "widgets/CLblColor.h"
#include "widgets/DialogUnits.h"

namespace qt40 {
namespace {

enum class Rule { Always, Connected, ConnectedQt40 };

struct Key {
    int id;
    const char* text;
    Rule rule;
};

constexpr Key kKeys[] = {
    {CFunctionKeys::kConnect, "Connect", Rule::Always},
    {CFunctionKeys::kDiagnostics, "Diagnostics", Rule::Connected},
    {CFunctionKeys::kDeviceInfo, "Device Info", Rule::Connected},
    {CFunctionKeys::kSensorInfo, "Sensor Info", Rule::Connected},
    {CFunctionKeys::kAnalogOutput, "Analog Output", Rule::Connected},
    {CFunctionKeys::kAoAlarm, "AO Alarm", Rule::Connected},
    {CFunctionKeys::kTrimDac, "Trim DAC", Rule::Connected},
    {CFunctionKeys::kSensorCal, "Sensor Cal", Rule::ConnectedQt40},
    {CFunctionKeys::kWireResistance, "Wire Resistance", Rule::Connected},
    {CFunctionKeys::kCustomTc, "Custom TC", Rule::ConnectedQt40},
    {CFunctionKeys::kCustomRtd, "Custom RTD", Rule::ConnectedQt40},
    {CFunctionKeys::kSpecialCurve, "Special Curve", Rule::ConnectedQt40},
    {CFunctionKeys::kPollingAddress, "Polling Address", Rule::ConnectedQt40},
    {CFunctionKeys::kFile, "File", Rule::Always},
    {CFunctionKeys::kLanguage, "Language", Rule::Always},
    {CFunctionKeys::kExit, "Exit", Rule::Always},
};

}  // namespace

CFunctionKeys::CFunctionKeys(CResourceDatabase& texts, QWidget* parent)
    : QWidget(parent), texts_(texts) {
    setObjectName("CFunctionKeys");
    setFixedSize(DluX(73), DluY(302));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 6, 4, 6);
    layout->setSpacing(4);
    auto* title = new CLblColor("Functions", this);
    title->setProperty("controlId", 1291);
    title->SetTitleStyle();
    title->setMinimumHeight(28);
    layout->addWidget(title);
    for (const Key& key : kKeys) {
        auto* button = new QPushButton(key.text, this);
        button->setProperty("controlId", key.id);
        button->setObjectName(QString("key%1").arg(key.id));
        button->setAutoDefault(false);
        if (key.id == kExit) layout->addStretch();
        layout->addWidget(button);
        buttons_[key.id] = button;
        connect(button, &QPushButton::clicked, this, [this, id = key.id] { emit opened(id); });
    }
    hide();
}

void CFunctionKeys::Show(bool show, bool connected, bool qt40) {
    if (show) {
        texts_.Relabel(kDialogId, this);
        EnableByRules(connected, qt40);
    }
    setVisible(show);
}

void CFunctionKeys::EnableByRules(bool connected, bool qt40) {
    for (const Key& key : kKeys) {
        const bool on = key.rule == Rule::Always ||
                        (key.rule == Rule::Connected && connected) ||
                        (key.rule == Rule::ConnectedQt40 && connected && qt40);
        buttons_.at(key.id)->setEnabled(on);
    }
}

void CFunctionKeys::DisableAll() {
    for (auto& [id, button] : buttons_) button->setEnabled(id == kExit);
}

}  // namespace qt40
