#pragma once
// The plotting control of both graph panels: a framed black plot with
// scaled, labelled axes and a yellow curve, drawn into an off-screen image
// that is copied to the screen on paint. A right-click offers to save the
// curve as CSV or the picture as PNG.

#include <QImage>
#include <QString>
#include <QWidget>
#include <string>

#include "files/FileResult.h"
#include "base/Prompts.h"
#include "monitor/GraphMath.h"

class QMenu;

namespace qt40 {

class CResourceDatabase;

class CCustomLineGraph : public QWidget {
    Q_OBJECT
public:
    // Where the plot lies inside the control: left 60, right W − 15, top 0,
    // bottom H − 40.
    static constexpr int kPlotLeft = 60;
    static constexpr int kRightMargin = 15;
    static constexpr int kBottomMargin = 40;

    CCustomLineGraph(const CResourceDatabase& texts, Prompts& prompts, QWidget* parent = nullptr);

    // Takes the control's size, makes the image and draws the empty frame.
    void Initialise();
    // Clears the control to button face and the plot to black, writes the
    // trend captions and draws the axes for the current ranges.
    void DrawFrame();
    // Widens the ranges to take in every sample, redraws the frame and the
    // curve, and repaints. The series is kept (by reference) for repaints and
    // saving until the next call or Forget().
    void PlotTrend(const SampleSeries& series);
    // Drops the reference to the last plotted series.
    void Forget();

    void SetRanges(AxisRange x, AxisRange y);
    AxisRange XRange() const { return x_; }
    AxisRange YRange() const { return y_; }
    // Grid steps the axes were last drawn with (0 for an empty axis).
    double XStep() const { return xStep_; }
    double YStep() const { return yStep_; }

    // The trend graph's captions below the plot: unit text and title.
    void SetCaptions(const QString& title, const QString& unit);
    QString CaptionTitle() const { return title_; }
    QString CaptionUnit() const { return unit_; }
    // Column names of a saved CSV file.
    void SetCsvHeaders(const std::string& x, const std::string& y);

    const QImage& Image() const { return image_; }
    QRect PlotRect() const;

    // Saving; the target is replaced only when everything was written.
    FileResult SaveCsv(const std::string& path) const;
    FileResult SavePng(const std::string& path) const;
    // What the right-click menu does: ask for a file name, save, and report a
    // failure.
    void AskAndSaveCsv();
    void AskAndSavePng();
    // The right-click menu (its owner is the caller).
    QMenu* BuildMenu(QWidget* parent);

    static QColor CurveColor() { return QColor(255, 255, 0); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void DrawAxes(class QPainter& painter);
    void AskAndSave(const char* titleKey, const char* filterKey, const char* suffix, bool png);

    const CResourceDatabase& texts_;
    Prompts& prompts_;
    QImage image_;
    QFont font_;
    AxisRange x_{0.0, 1.0};
    AxisRange y_{0.0, 0.1};
    double xStep_ = 0.0;
    double yStep_ = 0.0;
    double xScale_ = 0.0;
    double yScale_ = 0.0;
    QString title_;
    QString unit_;
    std::string csvX_;
    std::string csvY_;
    const SampleSeries* plotted_ = nullptr;
};

}  // namespace qt40
