#pragma once
// The "Special Curve" panel: the linearization table of the output (X/Y in
// percent) between the device, a table file and the table graph.

#include "panels/CTablePanel.h"

namespace qt40 {

class CSpecialCurve : public CTablePanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 139;
    CSpecialCurve(PanelHost& host, QWidget* parent);
};

}  // namespace qt40
