#include "panels/CCustomTC.h"

namespace qt40 {

CCustomTC::CCustomTC(PanelHost& host, QWidget* parent)
    : CTablePanel(host, kDialogId, kReceiverCustomTC, TableKind::CustomTc,
                  {"CCustomTC", "Custom TC", "Display graph of Custom TC", "Close Custom TC"},
                  parent) {}

}  // namespace qt40
