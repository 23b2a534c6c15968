#pragma once
// Arithmetic of the plotting control: axis steps, label values, the range
// widening of a growing trend, the sample store and the reduction of a long
// curve to what one pixel column can show. No Qt, so it is tested without a
// display.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace qt40 {

// Steps of one graph axis for a span.
struct GraphSteps {
    int multiplier = 1;         // 1, 2 or 4
    int labelledDivisions = 0;  // how many labelled steps the span holds
    int minorTicks = 0;         // short marks spread evenly along the axis
    double step = 0.0;          // data units between grid lines
};

// Nothing for a span that is not positive and finite (an empty axis).
std::optional<GraphSteps> GraphStepsFor(double span);

// The value grid lines count from: the integer part of the lower limit, and
// beyond a magnitude of 10 cut down to a multiple of 10 (toward zero).
double GraphFirstLabel(double lower);

// Grid values first + k × step within [lower, upper]; at most `limit` of them,
// so a step far too small for its range cannot stall a redraw.
std::vector<double> GraphGridValues(double lower, double upper, double step,
                                    std::size_t limit = 200);

// A value-axis label is one box of text ending at `end` (the right edge of
// the space left of the plot), `rise` pixels above its grid row. Kept inside
// the control: a long label starts at its left edge, the top one at its top.
struct AxisLabelBox {
    int left = 0;
    int top = 0;
    int width = 0;
    bool operator==(const AxisLabelBox&) const = default;
};
AxisLabelBox ValueAxisLabelBox(int textWidth, int end, int gridRow, int rise);

struct AxisRange {
    double lower = 0.0;
    double upper = 0.0;
    bool operator==(const AxisRange&) const = default;
};

// An axis whose upper limit is not above its lower one gets its lower limit
// moved down by a tenth of its size; a limit of 0 stays, so the axis stays
// empty.
AxisRange SeparateLimits(AxisRange range);

// The time axis after a sample at `largest` seconds: while the sample lies at
// or beyond the upper limit, the limit moves to the next multiple of half the
// step. `step` is the grid step the axis was last drawn with.
AxisRange WidenTimeAxis(AxisRange range, double step, double largest);

// The value axis after the samples spread from `smallest` to `largest`: whole
// steps are added above and below until every value lies strictly inside,
// both limits snapping to the step. The range never loses a sample.
AxisRange WidenValueAxis(AxisRange range, double step, double smallest, double largest);

struct MinMax {
    double min = 0.0;
    double max = 0.0;
};

// A growing pair of sequences (time and value, or a table's x and y) that
// answers the smallest and largest of any stretch of values in logarithmic
// time, so that a redraw does not read every sample.
//
// A sample whose x or y is NaN or infinite (a device reports NaN for a
// failed sensor) is kept, so that its time is known, but takes part in no
// extent or range: the scale follows the finite samples, and the curve
// leaves a gap there.
class SampleSeries {
public:
    void Clear();
    void Append(double x, double y);
    void Assign(const std::vector<double>& x, const std::vector<double>& y);

    std::size_t Size() const { return x_.size(); }
    bool Empty() const { return x_.empty(); }
    const std::vector<double>& X() const { return x_; }
    const std::vector<double>& Y() const { return y_; }
    // Samples whose x and y are both finite.
    std::size_t FiniteCount() const { return finite_; }
    static bool Finite(double x, double y);
    // Extremes of the finite samples; only meaningful when FiniteCount() > 0.
    MinMax XExtent() const { return xExtent_; }
    MinMax YExtent() const { return yExtent_; }
    // True while no x is smaller than the one before it.
    bool XAscending() const { return ascending_; }
    // Smallest and largest finite y of samples [first, last); first < last <=
    // Size(). Without a finite one, min is +infinity and max -infinity.
    MinMax YRange(std::size_t first, std::size_t last) const;

private:
    std::vector<double> x_;
    std::vector<double> y_;
    // levels_[k][i]: extremes of the 2^(k+1) values from i × 2^(k+1).
    std::vector<std::vector<MinMax>> levels_;
    MinMax xExtent_;
    MinMax yExtent_;
    std::size_t finite_ = 0;
    double lastX_ = 0.0;  // of the last finite sample
    bool ascending_ = true;
};

// How data values become pixels: x = left + (x − xLower) × xScale,
// y = bottom − (y − yLower) × yScale.
struct PlotMapping {
    int left = 0;
    int right = 0;  // last column of the plot
    int bottom = 0;
    double xLower = 0.0;
    double xScale = 0.0;
    double yLower = 0.0;
    double yScale = 0.0;

    int PixelX(double x) const;
    int PixelY(double y) const;
};

struct PixelLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    bool operator==(const PixelLine&) const = default;
};

// The lines that draw the curve from sample to sample. A short curve is every
// segment; a long one whose x ascends is one vertical line per pixel column
// over the span of its samples, joined from the last sample of a column to
// the first of the next: the same pixels, in a number of lines that depends
// on the plot's width, not on the number of samples. A sample that is not
// finite joins nothing: the curve has a gap there (a finite sample alone
// between two gaps is a dot).
std::vector<PixelLine> CurveLines(const SampleSeries& series, const PlotMapping& mapping);

// Lines of a CSV file: a header of the two column names, then one line per
// sample. Names holding a comma or a quote are quoted. A value that is not
// finite is an empty cell, never a number.
std::vector<std::string> GraphCsvLines(const std::string& xHeader, const std::string& yHeader,
                                       const SampleSeries& series);

}  // namespace qt40
