#pragma once
// The one-pixel yellow line under the table graph's y unit: an off-screen
// image filled once and copied onto the control when painted.

#include <QImage>
#include <QWidget>

namespace qt40 {

class CUnderLine : public QWidget {
    Q_OBJECT
public:
    explicit CUnderLine(QWidget* parent = nullptr);

    static QColor LineColor() { return QColor(255, 255, 0); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage image_;
};

}  // namespace qt40
