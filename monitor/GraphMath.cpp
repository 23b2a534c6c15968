#include "monitor/GraphMath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "monitor/ScaleMath.h"

namespace qt40 {
namespace {

bool Positive(double value) {
    return value > 0.0 && std::isfinite(value);
}

// A step to widen with when the axis had none to draw with (it was empty):
// the one its new extent would be drawn with.
double UsableStep(double step, double extent) {
    if (Positive(step)) return step;
    const auto steps = GraphStepsFor(extent);
    return steps ? steps->step : 0.0;
}

// Smallest k >= `from` with k × unit > value. The count is found directly,
// not step by step: a value far off the range must not stall the window.
double StepsAbove(double from, double unit, double value) {
    double k = std::max(from, std::floor(value / unit) + 1.0);
    for (int i = 0; i < 4 && k * unit <= value; ++i) k += 1.0;
    return k;
}

// Largest k <= `from` with k × unit < value.
double StepsBelow(double from, double unit, double value) {
    double k = std::min(from, std::ceil(value / unit) - 1.0);
    for (int i = 0; i < 4 && k * unit >= value; ++i) k -= 1.0;
    return k;
}

// Pixel of a mapped coordinate: far-off or undefined values land outside the
// plot instead of overflowing the conversion.
int ToPixel(double value) {
    constexpr double kLimit = 1e6;
    if (std::isnan(value)) return static_cast<int>(kLimit);
    return static_cast<int>(std::floor(std::clamp(value, -kLimit, kLimit)));
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// The extent of one sample: nothing at all when it is not finite, so that
// min and max pass over it.
MinMax OneValue(double x, double y) {
    if (!SampleSeries::Finite(x, y)) {
        return {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    }
    return {y, y};
}

std::string CsvNumber(double value) {
    if (!std::isfinite(value)) return {};
    char buffer[40];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::optional<GraphSteps> GraphStepsFor(double span) {
    const auto normalised = NormaliseSpan(span);
    if (!normalised) return std::nullopt;
    const double c = normalised->mantissa;
    GraphSteps steps;
    if (c <= 5.0) {
        steps.multiplier = 1;
        steps.labelledDivisions = static_cast<int>(c + 0.8);
        steps.minorTicks = c < 3.38 ? 20 : 8;
    } else if (c / 2.0 <= 5.0) {
        steps.multiplier = 2;
        steps.labelledDivisions = static_cast<int>(c / 2.0 + 0.8);
        steps.minorTicks = c < 8.45 ? 16 : 8;
    } else {
        steps.multiplier = 4;
        steps.labelledDivisions = static_cast<int>(c / 4.0 + 0.8);
        steps.minorTicks = c < 16.9 ? 16 : 8;
    }
    steps.step = steps.multiplier * std::pow(10.0, normalised->power);
    return steps;
}

double GraphFirstLabel(double lower) {
    if (!std::isfinite(lower)) return 0.0;
    double first = std::trunc(lower);
    if (std::abs(first) > 10.0) first -= std::fmod(first, 10.0);
    return first;
}

std::vector<double> GraphGridValues(double lower, double upper, double step, std::size_t limit) {
    std::vector<double> values;
    if (!Positive(step) || !std::isfinite(lower) || !std::isfinite(upper) || upper < lower) {
        return values;
    }
    const double first = GraphFirstLabel(lower);
    const double slack = step * 1e-9;
    double k = std::ceil((lower - first - slack) / step);
    for (; values.size() < limit; k += 1.0) {
        const double value = first + k * step;
        if (value > upper + slack) break;
        values.push_back(value);
    }
    return values;
}

AxisRange SeparateLimits(AxisRange range) {
    // A negative limit moved by a tenth of itself would move up, past the
    // upper one; it moves down like a positive one.
    if (range.upper <= range.lower) range.lower -= std::abs(range.lower) / 10.0;
    return range;
}

AxisRange WidenTimeAxis(AxisRange range, double step, double largest) {
    if (!std::isfinite(largest) || largest < range.upper) return range;
    const double half = UsableStep(step, largest - range.lower) / 2.0;
    if (!Positive(half)) return range;
    range.upper = half * StepsAbove(std::round(range.upper / half + 1.0), half, largest);
    return range;
}

AxisRange WidenValueAxis(AxisRange range, double step, double smallest, double largest) {
    if (!std::isfinite(smallest) || !std::isfinite(largest)) return range;
    const double d =
        UsableStep(step, std::max(largest, range.upper) - std::min(smallest, range.lower));
    if (!Positive(d)) return range;
    // Snapping one limit to the step can move it past a sample; a second pass
    // takes the other limit out again.
    for (int pass = 0; pass < 3; ++pass) {
        bool changed = false;
        if (largest >= range.upper) {
            range.upper = d * StepsAbove(std::round(range.upper / d + 1.0), d, largest);
            range.lower = d * std::round(range.lower / d);
            changed = true;
        }
        if (smallest <= range.lower) {
            range.lower = d * StepsBelow(std::round(range.lower / d - 1.0), d, smallest);
            range.upper = d * std::round(range.upper / d);
            changed = true;
        }
        if (!changed) break;
    }
    return range;
}

bool SampleSeries::Finite(double x, double y) {
    return std::isfinite(x) && std::isfinite(y);
}

void SampleSeries::Clear() {
    x_.clear();
    y_.clear();
    levels_.clear();
    finite_ = 0;
    ascending_ = true;
}

void SampleSeries::Append(double x, double y) {
    const bool finite = Finite(x, y);
    if (finite) {
        if (finite_ == 0) {
            xExtent_ = {x, x};
            yExtent_ = {y, y};
        } else {
            if (x < lastX_) ascending_ = false;
            xExtent_ = {std::min(xExtent_.min, x), std::max(xExtent_.max, x)};
            yExtent_ = {std::min(yExtent_.min, y), std::max(yExtent_.max, y)};
        }
        lastX_ = x;
        ++finite_;
    } else if (!std::isfinite(x)) {
        ascending_ = false;  // no order to rely on
    }
    x_.push_back(x);
    y_.push_back(y);
    // Each completed pair of a level adds one entry to the level above.
    MinMax joined = OneValue(x, y);
    std::size_t index = y_.size() - 1;
    for (std::size_t level = 0; index % 2 == 1; ++level) {
        const MinMax left =
            level == 0 ? OneValue(x_[index - 1], y_[index - 1]) : levels_[level - 1][index - 1];
        joined = {std::min(left.min, joined.min), std::max(left.max, joined.max)};
        if (levels_.size() <= level) levels_.emplace_back();
        levels_[level].push_back(joined);
        index /= 2;
    }
}

void SampleSeries::Assign(const std::vector<double>& x, const std::vector<double>& y) {
    Clear();
    const std::size_t n = std::min(x.size(), y.size());
    x_.reserve(n);
    y_.reserve(n);
    for (std::size_t i = 0; i < n; ++i) Append(x[i], y[i]);
}

MinMax SampleSeries::YRange(std::size_t first, std::size_t last) const {
    MinMax result{std::numeric_limits<double>::infinity(),
                  -std::numeric_limits<double>::infinity()};
    const auto take = [&](const MinMax& m) {
        result.min = std::min(result.min, m.min);
        result.max = std::max(result.max, m.max);
    };
    last = std::min(last, y_.size());
    // Bottom-up over the levels: whole blocks inside [first, last) only.
    std::size_t level = 0;
    bool raw = true;
    while (first < last) {
        const auto at = [&](std::size_t i) {
            return raw ? OneValue(x_[i], y_[i]) : levels_[level][i];
        };
        if (first % 2 == 1) take(at(first++));
        if (last % 2 == 1) take(at(--last));
        first /= 2;
        last /= 2;
        if (raw) {
            raw = false;
        } else {
            ++level;
        }
    }
    return result;
}

int PlotMapping::PixelX(double x) const {
    return ToPixel(left + (x - xLower) * xScale);
}

int PlotMapping::PixelY(double y) const {
    return ToPixel(bottom - (y - yLower) * yScale);
}

std::vector<PixelLine> CurveLines(const SampleSeries& series, const PlotMapping& mapping) {
    std::vector<PixelLine> lines;
    const std::vector<double>& x = series.X();
    const std::vector<double>& y = series.Y();
    const std::size_t n = series.Size();
    if (n == 0) return lines;
    const auto finite = [&](std::size_t i) { return SampleSeries::Finite(x[i], y[i]); };
    const std::size_t columns =
        static_cast<std::size_t>(std::max(1, mapping.right - mapping.left + 1));
    if (!series.XAscending() || !(mapping.xScale >= 0.0) || !(mapping.yScale >= 0.0) ||
        n <= 2 * columns) {
        lines.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            if (!finite(i)) continue;
            const int px = mapping.PixelX(x[i]);
            const int py = mapping.PixelY(y[i]);
            if (i + 1 < n && finite(i + 1)) {
                lines.push_back({px, py, mapping.PixelX(x[i + 1]), mapping.PixelY(y[i + 1])});
            } else if (i == 0 || !finite(i - 1)) {
                lines.push_back({px, py, px, py});  // alone between gaps: a dot
            }
        }
        return lines;
    }
    // Samples of one column are vertical segments at that column whose union
    // is the span between their extremes.
    lines.reserve(4 * columns);
    std::size_t i = 0;
    bool joined = false;
    int lastX = 0;
    int lastY = 0;
    while (i < n) {
        const int column = mapping.PixelX(x[i]);
        const auto inColumn = [&](double v) { return mapping.PixelX(v) <= column; };
        // Galloping from i keeps the search near the samples just read.
        std::size_t known = i;  // x[known] lies in the column
        std::size_t probe = i + 1;
        for (std::size_t stride = 1; probe < n && inColumn(x[probe]); stride *= 2) {
            known = probe;
            probe = i + 2 * stride;
        }
        const auto end = std::partition_point(
            x.begin() + static_cast<std::ptrdiff_t>(known + 1),
            x.begin() + static_cast<std::ptrdiff_t>(std::min(probe, n)), inColumn);
        const std::size_t j = static_cast<std::size_t>(end - x.begin());
        if (joined && finite(i)) lines.push_back({lastX, lastY, column, mapping.PixelY(y[i])});
        const MinMax span = series.YRange(i, j);
        if (span.min <= span.max) {
            lines.push_back({column, mapping.PixelY(span.max), column, mapping.PixelY(span.min)});
        }
        // A column that ends in a gap joins nothing to the next.
        joined = finite(j - 1);
        lastX = column;
        lastY = joined ? mapping.PixelY(y[j - 1]) : 0;
        i = j;
    }
    return lines;
}

std::vector<std::string> GraphCsvLines(const std::string& xHeader, const std::string& yHeader,
                                       const SampleSeries& series) {
    std::vector<std::string> lines;
    lines.reserve(series.Size() + 1);
    lines.push_back(CsvField(xHeader) + "," + CsvField(yHeader));
    for (std::size_t i = 0; i < series.Size(); ++i) {
        lines.push_back(CsvNumber(series.X()[i]) + "," + CsvNumber(series.Y()[i]));
    }
    return lines;
}

AxisLabelBox ValueAxisLabelBox(int textWidth, int end, int gridRow, int rise) {
    const int left = std::max(0, end - textWidth);
    return {left, std::max(0, gridRow - rise), std::max(textWidth, end - left)};
}

}  // namespace qt40
