#include "monitor/CUnderLine.h"

#include <QPainter>

namespace qt40 {

CUnderLine::CUnderLine(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CUnderLine::resizeEvent(QResizeEvent*) {
    image_ = QImage(size(), QImage::Format_RGB32);
    image_.fill(LineColor());
}

void CUnderLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

}  // namespace qt40
