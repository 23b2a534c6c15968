#include "CPendingPanel.h"

#include <QPushButton>

namespace qt40 {

CPendingPanel::CPendingPanel(PanelHost& host, int dialogId, int receiver,
                             const QString& objectName, const QString& title,
                             const QString& closeText, QWidget* parent)
    : CPanel(host, dialogId, receiver, parent) {
    setObjectName(objectName);
    AddTitle(1, title);
    AddCloseButton(2, closeText);
}

}  // namespace qt40
