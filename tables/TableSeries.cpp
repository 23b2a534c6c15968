#include "tables/TableSeries.h"

#include <algorithm>

#include "model/NumberText.h"

namespace qt40 {
namespace {

std::size_t PointsOf(std::int32_t size, int capacity) {
    return static_cast<std::size_t>(std::clamp(size, 0, capacity));
}

void RangeOf(const std::vector<double>& values, double& lower, double& upper) {
    if (values.empty()) return;
    const auto [smallest, largest] = std::minmax_element(values.begin(), values.end());
    lower = *smallest;
    upper = *largest;
}

}  // namespace

TableGraphSeries CustomTableSeries(const CustomTableEdit& edit, TableKind kind,
                                   const TextLookup& text) {
    TableGraphSeries series;
    const std::string prefix = kind == TableKind::CustomRtd ? "RTD" : "TC";
    series.title = text(prefix + "_Table_Name");
    series.yUnit = text(prefix + "_Table_Y_Unit");
    series.yName = text(prefix + "_Table_Y_Name");
    series.xName = text(prefix + "_Table_X_Name");

    const std::size_t size = PointsOf(edit.size, kCustomTableCapacity);
    const double minimum = LeadingDecimal(edit.minimumText);
    const double step = LeadingDecimal(edit.stepText);
    for (std::size_t i = 0; i < size; ++i) {
        series.x.push_back(minimum + static_cast<double>(i) * step);
        series.y.push_back(LeadingDecimal(edit.valueTexts[i]));
    }
    if (step == 0.0 && minimum == 0.0) {
        series.xLower = -1.0;
        series.xUpper = 1.0;
    } else {
        series.xLower = minimum;
        series.xUpper = minimum + (static_cast<double>(size) - 1.0) * step;
    }
    RangeOf(series.y, series.yLower, series.yUpper);
    return series;
}

TableGraphSeries SpecialCurveSeries(const SpecialCurveEdit& edit, const TextLookup& text) {
    TableGraphSeries series;
    series.title = text("SC_Table_Name");
    series.yUnit = text("SC_Table_Y_Unit");
    series.yName = text("SC_Table_Y_Name");
    series.xName = text("SC_Table_X_Name");
    const std::size_t size = PointsOf(edit.size, kSpecialCurveCapacity);
    for (std::size_t i = 0; i < size; ++i) {
        series.x.push_back(LeadingDecimal(edit.xTexts[i]));
        series.y.push_back(LeadingDecimal(edit.yTexts[i]));
    }
    RangeOf(series.x, series.xLower, series.xUpper);
    RangeOf(series.y, series.yLower, series.yUpper);
    return series;
}

}  // namespace qt40
