#include "panels/CFileProperty2.h"

namespace qt40 {

CFileProperty2::CFileProperty2(PanelHost& host, std::shared_ptr<FilePages> shared, QWidget* parent)
    : CComparisonPage(host, kDialogId, 2, std::move(shared), parent) {
    setObjectName("CFileProperty2");
}

}  // namespace qt40
