#pragma once
// The table graph: a custom linearization table drawn as a curve, with its
// title, axis names and y unit, in place of the monitor and the function
// panel. The main window shows and hides it for the table panels and decides
// what takes the place back.

#include <QWidget>
#include <string>
#include <vector>

#include "base/Prompts.h"
#include "monitor/GraphMath.h"
#include "resources/CResourceManager.h"
#include "widgets/CFontManager.h"

class QLabel;
class QPushButton;

namespace qt40 {

class CCustomLineGraph;
class CLblColor;
class CResourceDatabase;
class CUnderLine;

class CCustomGraph : public QWidget, public CResourceManager, public CFontManager {
    Q_OBJECT
public:
    static constexpr int kDialogId = 159;
    static constexpr int kWidthUnits = 351;
    static constexpr int kHeightUnits = 302;

    CCustomGraph(const CResourceDatabase& texts, Prompts& prompts, QWidget* parent = nullptr);

    // Fonts, title colours and the empty plot. Once, at start.
    void Initialise();
    // Showing (when hidden) relabels the panel and focuses "Close Graph".
    void Show(bool show);
    // The four texts, shown as plain text; the three axis labels get the
    // small graph font.
    void SetLabels(const std::string& title, const std::string& yName, const std::string& xName,
                   const std::string& yUnit);
    // The ranges the plot starts from; PlotTable widens them as a trend does.
    void SetRanges(AxisRange x, AxisRange y);
    void PlotTable(const std::vector<double>& x, const std::vector<double>& y);

    const SampleSeries& Series() const { return series_; }
    CCustomLineGraph* Plot() const { return plot_; }
    QPushButton* CloseButton() const { return close_; }
    QString TitleText() const;
    QString YNameText() const;
    QString XNameText() const;
    QString YUnitText() const;

signals:
    // "Close Graph" was pressed; the series are already emptied.
    void closeRequested();

private:
    const CResourceDatabase& texts_;
    CLblColor* title_ = nullptr;
    CCustomLineGraph* plot_ = nullptr;
    QLabel* yName_ = nullptr;
    QLabel* yUnit_ = nullptr;
    CUnderLine* underline_ = nullptr;
    QLabel* xName_ = nullptr;
    QPushButton* close_ = nullptr;
    SampleSeries series_;
};

}  // namespace qt40
