#pragma once
// Page 2 of the file comparison: CJC, sensor range, serial numbers and the
// analog output settings. Made by page 1, with which it shares both columns.

#include "panels/CComparisonPage.h"

namespace qt40 {

class CFileProperty2 : public CComparisonPage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 165;

    CFileProperty2(PanelHost& host, std::shared_ptr<FilePages> shared, QWidget* parent);
};

}  // namespace qt40
