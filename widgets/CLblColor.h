#pragma once
// A static text with its own text colour, background colour and font: the
// coloured indicators of the status bar and the panel titles.

#include <QColor>
#include <QLabel>

namespace qt40 {

class CLblColor : public QLabel {
    Q_OBJECT
public:
    explicit CLblColor(const QString& text = {}, QWidget* parent = nullptr);

    void SetTextColor(const QColor& color);
    void SetBackColor(const QColor& color);
    QColor TextColor() const { return text_; }
    QColor BackColor() const { return back_; }
    // Bold title font, black on the title colour.
    void SetTitleStyle();

    static QColor ButtonFace();
    static QColor TitleBack() { return QColor(252, 209, 193); }

private:
    void ApplyColors();

    QColor text_ = Qt::black;
    QColor back_;
};

}  // namespace qt40
