#pragma once
// The column of function buttons at the right of the main window; each opens
// one panel of the left column.

#include <QWidget>
#include <map>

#include "resources/CResourceManager.h"
#include "widgets/CFontManager.h"

class QPushButton;

namespace qt40 {

class CResourceDatabase;

class CFunctionKeys : public QWidget, public CResourceManager, public CFontManager {
    Q_OBJECT
public:
    static constexpr int kDialogId = 143;
    enum Button : int {
        kConnect = 1037,
        kDiagnostics = 1045,
        kDeviceInfo = 1039,
        kSensorInfo = 1424,
        kAnalogOutput = 1040,
        kAoAlarm = 1041,
        kTrimDac = 1042,
        kSensorCal = 1044,
        kWireResistance = 1043,
        kCustomTc = 1047,
        kCustomRtd = 1046,
        kSpecialCurve = 1048,
        kPollingAddress = 1055,
        kFile = 1049,
        kLanguage = 1050,
        kExit = 1196,
    };

    CFunctionKeys(CResourceDatabase& texts, QWidget* parent);

    // Relabels, enables by the rules and shows (or hides).
    void Show(bool show, bool connected, bool qt40);
    void EnableByRules(bool connected, bool qt40);
    // Every button but "Exit" off.
    void DisableAll();
    QPushButton* ButtonFor(int id) const { return buttons_.at(id); }

signals:
    void opened(int button);

private:
    CResourceDatabase& texts_;
    std::map<int, QPushButton*> buttons_;
};

}  // namespace qt40
