#pragma once
// The monitor panel: four bars for PV, PV in percent of range, the terminal
// temperature and the loop current, with editable scales for the last three
// and a graph button per column. The main window refreshes it after each
// poll; the panel itself never talks to the device.

#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "base/Prompts.h"
#include "monitor/CTemperature.h"
#include "monitor/MonitorValues.h"
#include "resources/CResourceManager.h"
#include "widgets/CFontManager.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qt40 {

class CLblColor;
class CResourceDatabase;

class CDisplayArea : public QWidget, public CResourceManager, public CFontManager {
    Q_OBJECT
public:
    static constexpr int kDialogId = 142;
    // Columns, left to right.
    enum Column { kPv = 0, kPercent = 1, kTerm = 2, kAo = 3 };
    static constexpr int kColumns = 4;

    CDisplayArea(Prompts& prompts, const CResourceDatabase& resources, QWidget* parent = nullptr);
    ~CDisplayArea() override;

    // Fonts, scale defaults and the first drawing of the bars. Once, at start.
    void Initialise();
    // Showing relabels the panel, clears the trend flags (the trend graph is
    // hidden whenever the monitor shows), enables the graph buttons only while
    // `connected` and focuses "PV Graph" (connected) or the PV % lower edit.
    // Emits shown(show) so the function panel follows.
    void Show(bool show, bool connected);
    // Unit names of the PV, Term. and AO columns; they survive relabelling.
    // The Term. scale, while at its default, is converted into the new unit.
    void SetUnits(const std::string& pvUnit, const std::string& svUnit, const std::string& aoUnit);
    // The PV bar's scale from the device range, the larger value as upper.
    void TakeRange(double upperRange, double lowerRange);
    // Redraws the four bars with these values (kept for later redraws); values
    // that are not live leave the bars empty and their texts blank.
    void Refresh(const MonitorValues& values);
    // Reads the six scale edits (cut to 8 characters) into the scales, then
    // redraws. Does nothing while this panel's error box is open.
    void ApplyScales();

    // Which column feeds the trend graph; at most one at a time.
    void SetTrendFlag(int column);
    void ClearTrendFlags();
    bool TrendFlag(int column) const;
    std::optional<int> TrendColumn() const;

    // Texts the trend graph captions with.
    QString HeaderText(int column) const;
    QString UnitText(int column) const;

    CTemperature* Bar(int column) const;
    // Nothing for the PV column, whose scale follows the device.
    QLineEdit* UpperEdit(int column) const;
    QLineEdit* LowerEdit(int column) const;
    QPushButton* GraphButton(int column) const;
    bool ErrorBoxOpen() const { return errorBoxOpen_; }

signals:
    void shown(bool visible);
    // A graph button was pressed; the trend flag of `column` is set.
    void graphRequested(int column);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct ColumnWidgets {
        QLabel* header = nullptr;
        CLblColor* unit = nullptr;
        CTemperature* bar = nullptr;
        QLineEdit* upper = nullptr;
        QLineEdit* lower = nullptr;
        QPushButton* graph = nullptr;
    };

    void CheckEdit(int column, bool upper);
    void Redraw();
    void ShowUnits();
    void FollowTermUnit(const std::string& unit);

    Prompts& prompts_;
    const CResourceDatabase& resources_;
    std::array<ColumnWidgets, kColumns> columns_{};
    std::array<std::optional<std::string>, kColumns> unitNames_{};
    std::array<bool, kColumns> trendFlags_{};
    MonitorValues values_;
    std::string termScaleUnit_ = "degC";  // the unit the Term. default scale is in
    bool errorBoxOpen_ = false;
};

}  // namespace qt40
