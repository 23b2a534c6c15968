#pragma once
// The "Custom TC" panel: the custom thermocouple table (mV over temperature)
// between the device, a table file and the table graph.

#include "panels/CTablePanel.h"

namespace qt40 {

class CCustomTC : public CTablePanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 137;
    CCustomTC(PanelHost& host, QWidget* parent);
};

}  // namespace qt40
