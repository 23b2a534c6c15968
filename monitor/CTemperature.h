#pragma once
// One bar of the monitor: a scale with labelled ticks and a filled bar with
// the value as text below it. Everything is drawn into an off-screen image
// that paint only copies, so a redraw never flickers.

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include "monitor/ScaleMath.h"

class QPainter;

namespace qt40 {

class CTemperature : public QWidget {
    Q_OBJECT
public:
    enum class Style { Plain, Thermometer };

    explicit CTemperature(Style style, QWidget* parent = nullptr);

    // Takes the control's current size and makes the image to draw into.
    void Initialise();

    void SetScale(double upper, double lower);
    double ScaleUpper() const { return upper_; }
    double ScaleLower() const { return lower_; }

    // Background, bar outline, limit labels and intermediate ticks.
    void DrawScale();
    // The fill up to `value` in `color`, the separator line and `text`.
    void DrawValue(double value, const QColor& color, const QString& text);

    Style BarStyle() const { return style_; }
    BarGeometry Geometry() const;
    const QImage& Image() const { return image_; }
    // The text written under the bar by the last DrawValue.
    const QString& ValueLabel() const { return valueLabel_; }
    // The character cell height the last DrawScale wrote its labels in.
    int LabelCell() const { return labelCell_; }
    // Pixels from the control's left edge to where the scale labels end.
    int LabelRoom() const;

    static QColor Background() { return QColor(96, 64, 64); }
    static QColor Green() { return QColor(64, 191, 0); }
    static QColor LightGreen() { return QColor(163, 242, 95); }
    static QColor Red() { return QColor(255, 0, 0); }
    // "Arial" whose character cell is at most `cellHeight` pixels high.
    static QFont CellFont(int cellHeight, int weight = 400);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawThermometer(QPainter& painter) const;
    void DrawLabel(QPainter& painter, int row, const QString& text) const;

    Style style_;
    double upper_ = 0.0;
    double lower_ = 0.0;
    QImage image_;
    QString valueLabel_;
    int labelCell_ = 0;
};

}  // namespace qt40
