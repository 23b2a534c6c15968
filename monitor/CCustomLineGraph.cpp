#include "monitor/CCustomLineGraph.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <string_view>

#include "files/SafeTextWriter.h"
#include "files/Utf8Path.h"
#include "monitor/ScaleMath.h"
#include "resources/CResourceDatabase.h"
#include "widgets/CFontManager.h"
#include "widgets/CLblColor.h"

namespace qt40 {
namespace {

// Trend captions below the plot, in pixels of the control.
constexpr QPoint kUnitCaption(0, 365);
constexpr QPoint kTitleCaption(230, 370);
constexpr QPoint kSecondsCaption(480, 365);
// Axis labels: a y label is one box ending where a last character at x = 47
// ends, 10 pixels above its grid line; x labels sit below the plot.
constexpr int kYLabelEnd = 47 + 7;
constexpr int kLabelRise = 10;
constexpr int kXLabelGap = 3;
constexpr int kMinorTickLength = 4;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The steps and pixels per unit of one axis; both 0 for an empty axis, which
// then draws no grid and puts every sample on its lower edge.
struct AxisScale {
    std::optional<GraphSteps> steps;
    double pixelsPerUnit = 0.0;
};

AxisScale ScaleOf(AxisRange range, int pixels) {
    AxisScale scale;
    scale.steps = GraphStepsFor(range.upper - range.lower);
    if (scale.steps) scale.pixelsPerUnit = pixels / (range.upper - range.lower);
    return scale;
}

}  // namespace

CCustomLineGraph::CCustomLineGraph(const CResourceDatabase& texts, Prompts& prompts,
                                   QWidget* parent)
    : QWidget(parent), texts_(texts), prompts_(prompts) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CCustomLineGraph::Initialise() {
    image_ = QImage(size(), QImage::Format_RGB32);
    font_ = CFontManager::DerivedFont(80, 400);
    SetRanges(x_, y_);
    DrawFrame();
    update();
}

QRect CCustomLineGraph::PlotRect() const {
    return QRect(QPoint(kPlotLeft, 0),
                 QPoint(image_.width() - kRightMargin, image_.height() - kBottomMargin));
}

void CCustomLineGraph::SetRanges(AxisRange x, AxisRange y) {
    x_ = x;
    y_ = y;
    const QRect plot = PlotRect();
    const AxisScale xs = ScaleOf(x_, plot.right() - plot.left());
    const AxisScale ys = ScaleOf(y_, plot.bottom() - plot.top());
    xStep_ = xs.steps ? xs.steps->step : 0.0;
    yStep_ = ys.steps ? ys.steps->step : 0.0;
    xScale_ = xs.pixelsPerUnit;
    yScale_ = ys.pixelsPerUnit;
}

void CCustomLineGraph::SetCaptions(const QString& title, const QString& unit) {
    title_ = title;
    unit_ = unit;
}

void CCustomLineGraph::SetCsvHeaders(const std::string& x, const std::string& y) {
    csvX_ = x;
    csvY_ = y;
}

void CCustomLineGraph::DrawFrame() {
    if (image_.isNull()) return;
    SetRanges(x_, y_);
    QPainter painter(&image_);
    painter.fillRect(image_.rect(), CLblColor::ButtonFace());
    painter.fillRect(PlotRect(), Qt::black);
    painter.setFont(font_);
    // The table graph has labels of its own; only a trend has captions, and
    // only a trend's x axis is in seconds.
    if (!title_.isEmpty() || !unit_.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setBackgroundMode(Qt::TransparentMode);
        const auto caption = [&](QPoint at, const QString& text) {
            painter.drawText(QRect(at, QSize(image_.width() - at.x(), 20)),
                             Qt::AlignLeft | Qt::AlignTop, text);
        };
        caption(kUnitCaption, unit_);
        caption(kTitleCaption, title_);
        caption(kSecondsCaption, QStringLiteral("(Sec)"));
    }
    DrawAxes(painter);
}

void CCustomLineGraph::DrawAxes(QPainter& painter) {
    const QRect plot = PlotRect();
    const PlotMapping map{plot.left(), plot.right(), plot.bottom(), x_.lower,
                          xScale_,     y_.lower,     yScale_};
    painter.setPen(Qt::white);
    painter.setFont(font_);
    // White labels on black cells, like the plot they belong to.
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::black);
    const int charHeight = painter.fontMetrics().height();

    for (double value : GraphGridValues(y_.lower, y_.upper, yStep_)) {
        const int row = map.PixelY(value);
        painter.drawLine(plot.left(), row, plot.right(), row);
        // One box for the whole label: character by character, a narrow "."
        // left the ground showing through and split "0.10" in two.
        const QString label = Text(ScaleLabelText(value));
        const AxisLabelBox box = ValueAxisLabelBox(painter.fontMetrics().horizontalAdvance(label),
                                                   kYLabelEnd, row, kLabelRise);
        const QRect rect(box.left, box.top, box.width, charHeight);
        painter.fillRect(rect, Qt::black);
        painter.drawText(rect, Qt::AlignRight | Qt::AlignTop, label);
    }
    for (double value : GraphGridValues(x_.lower, x_.upper, xStep_)) {
        const int column = map.PixelX(value);
        painter.drawLine(column, plot.top(), column, plot.bottom());
        const QString label = Text(ScaleLabelText(value));
        const int width = painter.fontMetrics().horizontalAdvance(label) + 2;
        painter.drawText(QRect(column - width / 2, plot.bottom() + kXLabelGap, width, charHeight),
                         Qt::AlignCenter, label);
    }
    painter.setBackgroundMode(Qt::TransparentMode);
    // Minor ticks spread evenly along the left and bottom edges.
    const auto xSteps = GraphStepsFor(x_.upper - x_.lower);
    const auto ySteps = GraphStepsFor(y_.upper - y_.lower);
    if (ySteps) {
        for (int i = 1; i < ySteps->minorTicks; ++i) {
            const int row = plot.bottom() - (plot.bottom() - plot.top()) * i / ySteps->minorTicks;
            painter.drawLine(plot.left(), row, plot.left() + kMinorTickLength, row);
        }
    }
    if (xSteps) {
        for (int i = 1; i < xSteps->minorTicks; ++i) {
            const int column = plot.left() + (plot.right() - plot.left()) * i / xSteps->minorTicks;
            painter.drawLine(column, plot.bottom(), column, plot.bottom() - kMinorTickLength);
        }
    }
}

void CCustomLineGraph::PlotTrend(const SampleSeries& series) {
    plotted_ = &series;
    if (image_.isNull()) return;
    if (series.FiniteCount() > 0) {
        x_ = WidenTimeAxis(x_, xStep_, series.XExtent().max);
        y_ = WidenValueAxis(y_, yStep_, series.YExtent().min, series.YExtent().max);
    }
    DrawFrame();
    const QRect plot = PlotRect();
    const PlotMapping map{plot.left(), plot.right(), plot.bottom(), x_.lower,
                          xScale_,     y_.lower,     yScale_};
    const std::vector<PixelLine> lines = CurveLines(series, map);
    QPainter painter(&image_);
    painter.setClipRect(plot);
    painter.setPen(CurveColor());
    for (const PixelLine& line : lines) painter.drawLine(line.x1, line.y1, line.x2, line.y2);
    update();
}

void CCustomLineGraph::Forget() {
    plotted_ = nullptr;
}

void CCustomLineGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (image_.isNull()) {
        painter.fillRect(rect(), CLblColor::ButtonFace());
        return;
    }
    painter.drawImage(0, 0, image_);
}

FileResult CCustomLineGraph::SaveCsv(const std::string& path) const {
    SampleSeries none;
    const std::vector<std::string> lines =
        GraphCsvLines(csvX_, csvY_, plotted_ != nullptr ? *plotted_ : none);
    SafeTextWriter writer(PathFromUtf8(path));
    if (FileResult opened = writer.Open(); !opened.ok()) return opened;
    for (const std::string& line : lines) writer.WriteLine(line);
    return writer.Commit();
}

FileResult CCustomLineGraph::SavePng(const std::string& path) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (image_.isNull() || !image_.save(&buffer, "PNG")) {
        return FileResult::Failure("Cannot write " + path + ": no picture to save");
    }
    SafeTextWriter writer(PathFromUtf8(path));
    if (FileResult opened = writer.Open(); !opened.ok()) return opened;
    writer.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return writer.Commit();
}

void CCustomLineGraph::AskAndSave(const char* titleKey, const char* filterKey, const char* suffix,
                                  bool png) {
    FileRequest request;
    request.titleKey = titleKey;
    request.filter = texts_.UIMsg(filterKey);
    request.defaultSuffix = suffix;
    const auto path = prompts_.SaveFileName(request);
    if (!path) return;
    const FileResult saved = png ? SavePng(*path) : SaveCsv(*path);
    if (!saved.ok()) prompts_.Message("Err_Graph_Save", {saved.error}, BoxType::OkWarning);
}

void CCustomLineGraph::AskAndSaveCsv() {
    AskAndSave("Save_Graph_CSV", "Graph_CSV_Filter", "csv", false);
}

void CCustomLineGraph::AskAndSavePng() {
    AskAndSave("Save_Graph_PNG", "Graph_PNG_Filter", "png", true);
}

QMenu* CCustomLineGraph::BuildMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("graphMenu"));
    QAction* csv = menu->addAction(Text(texts_.UIMsg("Graph_Save_CSV")));
    csv->setObjectName(QStringLiteral("saveCsv"));
    QAction* png = menu->addAction(Text(texts_.UIMsg("Graph_Save_PNG")));
    png->setObjectName(QStringLiteral("savePng"));
    connect(csv, &QAction::triggered, this, &CCustomLineGraph::AskAndSaveCsv);
    connect(png, &QAction::triggered, this, &CCustomLineGraph::AskAndSavePng);
    return menu;
}

void CCustomLineGraph::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = BuildMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

}  // namespace qt40
