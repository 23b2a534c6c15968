#include "panels/CSpecialCurve.h"

namespace qt40 {

CSpecialCurve::CSpecialCurve(PanelHost& host, QWidget* parent)
    : CTablePanel(host, kDialogId, kReceiverSpecialCurve, TableKind::SpecialCurve,
                  {"CSpecialCurve", "Special Curve", "Display graph of Special Curve",
                   "Close Special Curve"},
                  parent) {}

}  // namespace qt40
