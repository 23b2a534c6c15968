#pragma once
// The language panel: shows the language in use and switches to another
// language file found beside the program, relabelling the open window.

#include "panels/CPanel.h"

namespace qt40 {

class CSetting : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 164;

    CSetting(PanelHost& host, QWidget* parent);

protected:
    void RefreshFields() override;

private:
    void OnChange();

    QLabel* current_;
};

}  // namespace qt40
