#include "monitor/CTemperature.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/NumberText.h"

namespace qt40 {
namespace {

constexpr int kLimitTick = 12;
// Labels keep this gap to the longest tick.
constexpr int kLabelGap = 2;
// Labels are written this far above their tick row.
constexpr int kLabelRaise = 10;
// Label character cells: the usual height, and the least a long label shrinks to.
constexpr int kLabelCell = 17;
constexpr int kSmallestLabelCell = 11;

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CTemperature::CTemperature(Style style, QWidget* parent) : QWidget(parent), style_(style) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QFont CTemperature::CellFont(int cellHeight, int weight) {
    QFont font(QStringLiteral("Arial"));
    font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    // The height asked for is that of the whole character cell, not the em;
    // shrink the em size until the cell fits.
    for (int pixels = cellHeight; pixels > 1; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= cellHeight) break;
    }
    return font;
}

void CTemperature::Initialise() {
    image_ = QImage(size(), QImage::Format_RGB32);
    image_.fill(Background());
}

void CTemperature::SetScale(double upper, double lower) {
    upper_ = upper;
    lower_ = lower;
}

BarGeometry CTemperature::Geometry() const {
    return style_ == Style::Thermometer ? ThermometerBarGeometry(image_.width(), image_.height())
                                        : PlainBarGeometry(image_.width(), image_.height());
}

int CTemperature::LabelRoom() const {
    return Geometry().labelColumn - kLimitTick - kLabelGap;
}

void CTemperature::DrawLabel(QPainter& painter, int row, const QString& text) const {
    const QFontMetrics metrics(painter.font());
    const int width = metrics.horizontalAdvance(text);
    // A pixel off the control's edge: with some faces a label that fills the
    // room exactly would put its first glyph's ink on the edge itself.
    const int left = std::max(1, LabelLeft(width, LabelRoom()));
    const QRect box(left, row - kLabelRaise, width, metrics.height());
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

void CTemperature::DrawThermometer(QPainter& painter) const {
    const int w = image_.width();
    const int h = image_.height();
    const BarGeometry bar = Geometry();

    // Bulb, and the strip that joins it to the bar.
    const QRect bulb(QPoint(w - 39, h - 53), QPoint(w - 7, h - 30));
    painter.setBrush(Red());
    painter.setPen(Red());
    painter.drawEllipse(bulb);
    painter.fillRect(QRect(QPoint(bar.left, h - 60), QPoint(bar.right - 1, h - 53)), Red());

    // Glass: an arc around the bulb continued by the tube walls.
    const QRectF glass = QRectF(bulb).adjusted(-3, -3, 3, 3);
    const double cx = glass.center().x();
    const double cy = glass.center().y();
    const double rx = glass.width() / 2;
    const double ry = glass.height() / 2;
    const int leftWall = w - 36;
    const int rightWall = w - 14;
    const double leftAngle = std::acos(std::clamp((leftWall - cx) / rx, -1.0, 1.0));
    const double rightAngle = std::acos(std::clamp((rightWall - cx) / rx, -1.0, 1.0));
    const double toDegrees16 = 180.0 / std::numbers::pi * 16.0;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::white);
    const int start = static_cast<int>(std::lround(leftAngle * toDegrees16));
    const int span = static_cast<int>(
        std::lround((2 * std::numbers::pi - leftAngle + rightAngle) * toDegrees16));
    painter.drawArc(glass, start, span);
    const int leftEnd = static_cast<int>(std::lround(cy - ry * std::sin(leftAngle)));
    const int rightEnd = static_cast<int>(std::lround(cy - ry * std::sin(rightAngle)));
    const int tubeTop = bar.top - 3;
    painter.drawLine(leftWall, leftEnd, leftWall, tubeTop);
    painter.drawLine(rightWall, rightEnd, rightWall, tubeTop);
    painter.drawLine(leftWall, tubeTop, rightWall, tubeTop);
}

void CTemperature::DrawScale() {
    if (image_.isNull()) return;
    QPainter painter(&image_);
    image_.fill(Background());
    const BarGeometry bar = Geometry();
    const auto limitText = [this](double value) {
        return ToQString(style_ == Style::Thermometer ? FormatFixed(value, 2)
                                                      : ScaleLabelText(value));
    };
    const ScaleMarks marks = ScaleMarksFor(upper_, lower_, bar.Span());
    // One size for every label of the bar: the largest at which the longest fits.
    QStringList texts{limitText(upper_), limitText(lower_)};
    for (const ScaleLabel& label : marks.labels) texts << ToQString(label.text);
    const int size = FittingSize(kLabelCell, kSmallestLabelCell, LabelRoom(), [&](int cell) {
        const QFontMetrics metrics(CellFont(cell));
        int widest = 0;
        for (const QString& text : texts)
            widest = std::max(widest, metrics.horizontalAdvance(text));
        return widest;
    });
    labelCell_ = size;
    painter.setFont(CellFont(size));

    if (style_ == Style::Thermometer) {
        DrawThermometer(painter);
    } else {
        painter.setPen(Qt::white);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(QPoint(bar.left, bar.top), QPoint(bar.right - 1, bar.bottom - 1)));
    }

    painter.setPen(Qt::white);
    const int tickLeft = bar.labelColumn - kLimitTick;
    painter.drawLine(tickLeft, bar.top, bar.labelColumn, bar.top);
    painter.drawLine(tickLeft, bar.bottom, bar.labelColumn, bar.bottom);
    DrawLabel(painter, bar.top, texts[0]);
    DrawLabel(painter, bar.bottom, texts[1]);

    for (const ScaleTick& tick : marks.ticks) {
        painter.drawLine(bar.labelColumn - tick.length, tick.row, bar.labelColumn, tick.row);
    }
    for (const ScaleLabel& label : marks.labels)
        DrawLabel(painter, label.row, ToQString(label.text));
}

void CTemperature::DrawValue(double value, const QColor& color, const QString& text) {
    valueLabel_ = text;
    if (image_.isNull()) return;
    QPainter painter(&image_);
    const BarGeometry bar = Geometry();
    if (const auto top = FillTop(value, upper_, lower_, bar.Span())) {
        // Inside the plain bar's outline, so the bar keeps its frame.
        const int inset = style_ == Style::Plain ? 1 : 0;
        painter.fillRect(
            QRect(QPoint(bar.left + inset, *top), QPoint(bar.right - 1 - inset, bar.bottom - 1)),
            color);
    }
    const int w = image_.width();
    const int h = image_.height();
    painter.setPen(Qt::white);
    painter.drawLine(0, h - 20, w - 1, h - 20);
    painter.setFont(CellFont(17));
    painter.drawText(QRect(0, h - 17, w, 17), Qt::AlignHCenter | Qt::AlignTop, text);
    update();
}

void CTemperature::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (image_.isNull()) {
        painter.fillRect(event->rect(), Background());
        return;
    }
    painter.drawImage(event->rect().topLeft(), image_, event->rect());
}

}  // namespace qt40
