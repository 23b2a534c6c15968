#include "monitor/CTrendGraph.h"

#include <QPushButton>
#include <chrono>

#include "monitor/CCustomLineGraph.h"
#include "resources/CResourceDatabase.h"
#include "widgets/CLblColor.h"
#include "widgets/DialogUnits.h"

namespace qt40 {
namespace {

std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

CTrendGraph::CTrendGraph(const CResourceDatabase& texts, Prompts& prompts, QWidget* parent)
    : QWidget(parent), texts_(texts), clock_(SteadyMs) {
    setObjectName(QStringLiteral("CTrendGraph"));
    setFixedSize(DluX(kWidthUnits), DluY(kHeightUnits));

    title_ = new CLblColor(QStringLiteral("Trend Graph"), this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setProperty("controlId", 1273);
    title_->setGeometry(4, 4, width() - 8, 28);

    plot_ = new CCustomLineGraph(texts, prompts, this);
    plot_->setObjectName(QStringLiteral("plot"));
    plot_->setProperty("controlId", 1323);
    plot_->setGeometry(3, 38, width() - 6, 385);

    const auto button = [this](int id, const char* name, const char* text, int x, int w) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setProperty("controlId", id);
        b->setAutoDefault(false);
        b->setGeometry(x, 438, w, 30);
        return b;
    };
    start_ = button(1172, "start", "Start", 30, 110);
    stop_ = button(1173, "stop", "Stop", 160, 110);
    close_ = button(1174, "close", "Close Trend Graph", width() - 230, 200);
    connect(start_, &QPushButton::clicked, this, &CTrendGraph::OnStart);
    connect(stop_, &QPushButton::clicked, this, &CTrendGraph::OnStop);
    connect(close_, &QPushButton::clicked, this, &CTrendGraph::OnClose);
    hide();
}

void CTrendGraph::Initialise() {
    title_->SetBackColor(QColor(120, 183, 210));
    title_->setFont(TitleFont());
    close_->setFont(TitleFont());
    plot_->SetRanges(kStartX, kStartY);
    plot_->Initialise();
    plot_->SetCsvHeaders("Time (s)", "");
}

void CTrendGraph::Show(bool show) {
    running_ = false;
    firstScaling_ = true;
    if (show) {
        texts_.Relabel(kDialogId, this);
        start_->setEnabled(true);
        Redraw();
        setVisible(true);
        start_->setFocus();
        return;
    }
    const bool wasVisible = isVisible();
    // Hidden before anyone is told, so that showing the monitor in answer
    // does not come back here.
    setVisible(false);
    emit hidden(wasVisible);
}

void CTrendGraph::Open(const QString& title, const QString& unit) {
    plot_->SetCaptions(title, unit);
    // "Time (s)" and, say, "PV (degC)" head a saved file.
    plot_->SetCsvHeaders("Time (s)", (title + QStringLiteral(" ") + unit).trimmed().toStdString());
    // Samples of another column must not show under these captions.
    samples_.Clear();
    startTick_.reset();
    Show(true);
}

void CTrendGraph::HideAndReset() {
    running_ = false;
    firstScaling_ = true;
    hide();
}

void CTrendGraph::Redraw() {
    if (samples_.Size() >= 2) {
        plot_->PlotTrend(samples_);
    } else {
        plot_->DrawFrame();
        plot_->update();
    }
}

void CTrendGraph::OnStart() {
    start_->setEnabled(false);
    stop_->setFocus();
    samples_.Clear();
    plot_->DrawFrame();
    plot_->update();
    startTick_.reset();
    running_ = true;
}

void CTrendGraph::OnStop() {
    start_->setEnabled(true);
    running_ = false;
    firstScaling_ = true;
}

void CTrendGraph::OnClose() {
    plot_->SetCaptions({}, {});
    Show(false);
    emit closed();
}

void CTrendGraph::AddSample(double value) {
    if (!running_) return;
    const std::int64_t now = clock_();
    if (!startTick_) startTick_ = now;
    samples_.Append(static_cast<double>(now - *startTick_) / 1000.0, value);
    if (samples_.Size() < 2) return;
    AxisRange x = plot_->XRange();
    AxisRange y = plot_->YRange();
    // The scale starts from the first finite samples: a NaN reading never sets it.
    if (firstScaling_ && samples_.FiniteCount() > 0) {
        x = {samples_.XExtent().min, samples_.XExtent().max};
        y = {samples_.YExtent().min, samples_.YExtent().max};
        firstScaling_ = false;
    }
    plot_->SetRanges(SeparateLimits(x), SeparateLimits(y));
    plot_->PlotTrend(samples_);
}

}  // namespace qt40
