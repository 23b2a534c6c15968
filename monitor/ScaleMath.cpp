#include "monitor/ScaleMath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "model/NumberText.h"

namespace qt40 {
namespace {

// Label rows closer than this to a limit's row would overwrite its label.
constexpr int kLabelClearance = 10;
constexpr int kShortTick = 8;
constexpr int kLongTick = 12;
// A scale never asks for more marks than this; guards against a bar whose
// first label lies far below a tiny span.
constexpr long long kMaxMarks = 10'000;

bool Ordered(double upper, double lower) {
    return lower < upper && std::isfinite(upper) && std::isfinite(lower);
}

// Values first + m × unit strictly inside (lower, upper), with their index m.
template <typename Visit>
void ForEachInside(double first, double unit, double upper, double lower, Visit visit) {
    const double slack = unit * 1e-9;
    const double skip = std::floor((lower - first) / unit);
    long long m = skip > 0 ? static_cast<long long>(skip) : 0;
    for (long long count = 0; count < kMaxMarks; ++m, ++count) {
        const double value = first + static_cast<double>(m) * unit;
        if (value >= upper - slack) break;
        if (value > lower + slack) visit(m, value);
    }
}

}  // namespace

std::optional<NormalisedSpan> NormaliseSpan(double span) {
    if (!(span > 0.0) || !std::isfinite(span)) return std::nullopt;
    NormalisedSpan result{span, 0};
    while (result.mantissa > 20.0) {
        result.mantissa /= 10.0;
        ++result.power;
    }
    while (result.mantissa <= 2.0) {
        result.mantissa *= 10.0;
        --result.power;
    }
    return result;
}

std::optional<ScaleSteps> StepsFor(double upper, double lower) {
    if (!Ordered(upper, lower)) return std::nullopt;
    const auto span = NormaliseSpan(upper - lower);
    if (!span) return std::nullopt;
    const double c = span->mantissa;
    ScaleSteps steps;
    if (c <= 5.0) {
        steps.multiplier = 1;
        steps.subdivisions = c < 3.38 ? 10 : 4;
    } else if (c / 2.0 <= 5.0) {
        steps.multiplier = 2;
        steps.subdivisions = c < 8.45 ? 8 : 4;
    } else {
        steps.multiplier = 4;
        steps.subdivisions = c < 16.9 ? 8 : 4;
    }
    steps.labelledSteps = static_cast<int>(c / steps.multiplier + 0.999 - 1.0);
    steps.step = steps.multiplier * std::pow(10.0, span->power);
    return steps;
}

double FirstLabelValue(double lower) {
    const double whole = std::trunc(lower);
    return lower < 0.0 && whole != lower ? whole - 1.0 : whole;
}

std::vector<double> LabelValues(double upper, double lower) {
    std::vector<double> values;
    const auto steps = StepsFor(upper, lower);
    if (!steps) return values;
    ForEachInside(FirstLabelValue(lower), steps->step, upper, lower,
                  [&](long long, double value) { values.push_back(value); });
    return values;
}

std::string ScaleLabelText(double value) {
    const double nearest = std::round(value);
    if (std::isfinite(value) &&
        std::abs(value - nearest) <= 1e-9 * std::max(1.0, std::abs(value))) {
        // Never "-0".
        return FormatFixed(nearest == 0.0 ? 0.0 : nearest, 0);
    }
    return FormatFixed(value, 2);
}

std::string ValueText(double value) {
    // A failed sensor may read NaN: shown as such, whatever its sign bit.
    if (std::isnan(value)) return "nan";
    std::string text = FormatFixed(value, 2);
    if (text == "-0.00") text = "0.00";
    return text;
}

BarGeometry PlainBarGeometry(int width, int height) {
    return {width - 35, width - 5, 15, height - 40, width - 35};
}

BarGeometry ThermometerBarGeometry(int width, int height) {
    return {width - 32, width - 17, 15, height - 58, width - 37};
}

std::optional<int> ValueRow(double value, double upper, double lower, BarSpan bar) {
    if (!Ordered(upper, lower) || !std::isfinite(value)) return std::nullopt;
    const double k = (bar.bottom - bar.top) / (upper - lower);
    return static_cast<int>(std::floor(bar.bottom - (value - lower) * k));
}

std::optional<int> FillTop(double value, double upper, double lower, BarSpan bar) {
    if (!Ordered(upper, lower) || !(value > lower)) return std::nullopt;
    const int height = bar.bottom - bar.top;
    const double k = height / (upper - lower);
    const double row =
        std::max(static_cast<double>(bar.top), bar.top + height - (value - lower) * k);
    const int top = static_cast<int>(row);
    if (top >= bar.bottom) return std::nullopt;
    return top;
}

ScaleMarks ScaleMarksFor(double upper, double lower, BarSpan bar) {
    ScaleMarks marks;
    const auto steps = StepsFor(upper, lower);
    if (!steps) return marks;
    const double first = FirstLabelValue(lower);
    const int subdivisions = steps->subdivisions;
    ForEachInside(first, steps->step / subdivisions, upper, lower, [&](long long m, double value) {
        const int row = *ValueRow(value, upper, lower, bar);
        const long long within = m % subdivisions;
        const bool labelled = within == 0;
        const bool long_tick = labelled || within == subdivisions / 2;
        marks.ticks.push_back({row, long_tick ? kLongTick : kShortTick});
        if (labelled && row - bar.top > kLabelClearance && bar.bottom - row > kLabelClearance) {
            // Recomputed from the step so the label shows no accumulated error.
            marks.labels.push_back({row, ScaleLabelText(first + (m / subdivisions) * steps->step)});
        }
    });
    return marks;
}

int LabelLeft(int textWidth, int right) {
    return std::max(0, right - textWidth);
}

int FittingSize(int size, int smallest, int room, const std::function<int(int)>& widthAt) {
    for (int candidate = size; candidate > smallest; --candidate) {
        if (widthAt(candidate) <= room) return candidate;
    }
    return smallest;
}

std::optional<ScaleLimits> TerminalScaleDefault(std::string_view unitName) {
    constexpr double kUpperC = 100.0;
    constexpr double kLowerC = -40.0;
    const auto in = [&](double (*convert)(double)) {
        return ScaleLimits{convert(kUpperC), convert(kLowerC)};
    };
    if (unitName == "degC") return in([](double c) { return c; });
    if (unitName == "degF") return in([](double c) { return c * 9.0 / 5.0 + 32.0; });
    if (unitName == "degR") return in([](double c) { return (c + 273.15) * 9.0 / 5.0; });
    if (unitName == "Kelvin") return in([](double c) { return c + 273.15; });
    return std::nullopt;
}

std::string CutScaleText(std::string_view text) {
    return std::string(text.substr(0, std::min(text.size(), kScaleTextLimit)));
}

double ScaleTextValue(std::string_view text) {
    return LeadingDecimal(text);
}

bool ScaleTextAllowed(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return c == ' ' || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
    });
}

std::string RestoredScaleText(double limit) {
    return FormatFixed(limit, 0);
}

}  // namespace qt40
