#include "widgets/CFontManager.h"

#include <QApplication>

namespace qt40 {
namespace {

// The template is read on the window thread only; it is set once at start.
QFont& Template() {
    static QFont font = QApplication::font();
    return font;
}

}  // namespace

void CFontManager::SetTemplateFont(const QFont& font) { Template() = font; }

QFont CFontManager::TemplateFont() { return Template(); }

QFont CFontManager::DerivedFont(int sizeTenths, int weight) {
    QFont font = Template();
    font.setPointSizeF(sizeTenths / 10.0);
    font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    return font;
}

}  // namespace qt40
