#include "panels/CFileProperty.h"

#include "panels/CFileProperty2.h"

namespace qt40 {

CFileProperty::CFileProperty(PanelHost& host, QWidget* parent)
    : CComparisonPage(host, kDialogId, 1, std::make_shared<FilePages>(host), parent) {
    setObjectName("CFileProperty");
    second_ = new CFileProperty2(host, SharedPages(), parent);
}

}  // namespace qt40
