#pragma once
// Page 1 of the file comparison: identification texts and the PV input
// settings. It owns what both pages share and creates page 2 beside itself.

#include "panels/CComparisonPage.h"

namespace qt40 {

class CFileProperty2;

class CFileProperty : public CComparisonPage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 144;

    CFileProperty(PanelHost& host, QWidget* parent);

    CFileProperty2* SecondPage() const { return second_; }

private:
    CFileProperty2* second_ = nullptr;
};

}  // namespace qt40
