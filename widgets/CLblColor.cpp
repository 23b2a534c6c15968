#include "widgets/CLblColor.h"

#include <QApplication>
#include <QPalette>

#include "widgets/CFontManager.h"

namespace qt40 {

CLblColor::CLblColor(const QString& text, QWidget* parent) : QLabel(parent) {
    // Titles and indicators show language texts as written, never as markup.
    setTextFormat(Qt::PlainText);
    setText(text);
    back_ = ButtonFace();
    setAutoFillBackground(true);
    setAlignment(Qt::AlignCenter);
    ApplyColors();
}

QColor CLblColor::ButtonFace() { return QApplication::palette().color(QPalette::Button); }

void CLblColor::SetTextColor(const QColor& color) {
    text_ = color;
    ApplyColors();
}

void CLblColor::SetBackColor(const QColor& color) {
    back_ = color;
    ApplyColors();
}

void CLblColor::SetTitleStyle() {
    setFont(CFontManager::TitleFont());
    text_ = Qt::black;
    back_ = TitleBack();
    ApplyColors();
}

void CLblColor::ApplyColors() {
    QPalette p = palette();
    p.setColor(QPalette::Window, back_);
    p.setColor(QPalette::WindowText, text_);
    setPalette(p);
}

}  // namespace qt40
