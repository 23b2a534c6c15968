#pragma once
// The trend graph: records one of the monitor's four values over time while
// the user lets it run, in place of the monitor and the function panel. The
// main window feeds it one sample per poll and decides what shows when it
// hides.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "base/Prompts.h"
#include "monitor/GraphMath.h"
#include "resources/CResourceManager.h"
#include "widgets/CFontManager.h"

class QPushButton;

namespace qt40 {

class CCustomLineGraph;
class CLblColor;
class CResourceDatabase;

class CTrendGraph : public QWidget, public CResourceManager, public CFontManager {
    Q_OBJECT
public:
    static constexpr int kDialogId = 140;
    static constexpr int kWidthUnits = 351;
    static constexpr int kHeightUnits = 302;
    // Starting ranges before any sample: y 0 … 0.1, x 0 … 1 s.
    static constexpr AxisRange kStartX{0.0, 1.0};
    static constexpr AxisRange kStartY{0.0, 0.1};

    CTrendGraph(const CResourceDatabase& texts, Prompts& prompts, QWidget* parent = nullptr);

    // Ranges, title colours and the empty plot. Once, at start.
    void Initialise();
    // Showing relabels the panel and lets it be started; hiding emits
    // hidden(wasVisible). Either way the recording stops and the next one
    // scales itself from its first samples.
    void Show(bool show);
    // Opening from a graph button: the column's captions on an empty plot.
    void Open(const QString& title, const QString& unit);
    // Hidden without a word to anyone: the monitor took the place back.
    void HideAndReset();

    // One poll result, while running.
    void AddSample(double value);
    bool Running() const { return running_; }
    const SampleSeries& Samples() const { return samples_; }

    // Milliseconds of a steady clock; tests set their own.
    void SetClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }

    CCustomLineGraph* Plot() const { return plot_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* CloseButton() const { return close_; }

signals:
    // The trend graph has been hidden by Show(false); the main window clears
    // the trend flags and, when it was visible, gives the place back.
    void hidden(bool wasVisible);
    // "Close Trend Graph" was pressed (after hiding).
    void closed();

private:
    void OnStart();
    void OnStop();
    void OnClose();
    void Redraw();

    const CResourceDatabase& texts_;
    CLblColor* title_ = nullptr;
    CCustomLineGraph* plot_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* close_ = nullptr;
    SampleSeries samples_;
    std::optional<std::int64_t> startTick_;
    bool running_ = false;
    bool firstScaling_ = true;
    std::function<std::int64_t()> clock_;
};

}  // namespace qt40
