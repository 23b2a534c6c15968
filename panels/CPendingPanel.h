#pragma once
// A panel whose functions are not built yet: it holds its place in the
// layout and the function column, with its title and close button.

#include "CPanel.h"

namespace qt40 {

class CPendingPanel : public CPanel {
    Q_OBJECT
public:
    CPendingPanel(PanelHost& host, int dialogId, int receiver, const QString& objectName,
                  const QString& title, const QString& closeText, QWidget* parent);
};

}  // namespace qt40
