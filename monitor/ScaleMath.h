#pragma once
// Arithmetic of the monitor's bar scales: span normalisation, tick steps,
// label values and texts, pixel positions and the fill of a value. No Qt, so
// it is tested without a display.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qt40 {

// A span written as mantissa × 10^power with the mantissa in (2, 20].
struct NormalisedSpan {
    double mantissa = 0.0;
    int power = 0;
};

// Nothing for a span that is not a positive finite number (an empty or
// reversed range), which would otherwise never normalise.
std::optional<NormalisedSpan> NormaliseSpan(double span);

struct ScaleSteps {
    int multiplier = 1;    // 1, 2 or 4
    int subdivisions = 4;  // tick intervals per labelled step
    int labelledSteps = 0;
    double step = 0.0;  // data units between labels
};

// Steps for a scale from `lower` to `upper`; nothing unless lower < upper.
std::optional<ScaleSteps> StepsFor(double upper, double lower);

// The integer part of the lower limit, one less for a negative limit that is
// not whole: the value labels count from.
double FirstLabelValue(double lower);

// Values of the intermediate labels: every step from the first label value,
// strictly inside (lower, upper). Empty for an empty or reversed range.
std::vector<double> LabelValues(double upper, double lower);

// "%.0f" for a whole number, "%.2f" otherwise; values that differ from a
// whole number by rounding noise of the step arithmetic count as whole.
std::string ScaleLabelText(double value);
// "%.2f"; a negative value that rounds to zero shows as "0.00".
std::string ValueText(double value);

// Pixel rows of a bar from `top` to `bottom` (bottom exclusive, as filled).
struct BarSpan {
    int top = 0;
    int bottom = 0;
};

// Where a bar control draws, in pixels of a control W wide and H high.
struct BarGeometry {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    int labelColumn = 0;  // ticks run leftwards from here, labels left of them
    BarSpan Span() const { return {top, bottom}; }
};
BarGeometry PlainBarGeometry(int width, int height);
BarGeometry ThermometerBarGeometry(int width, int height);

// Row of a data value on the bar (bottom at the lower limit, top at the
// upper). Nothing for an empty or reversed range.
std::optional<int> ValueRow(double value, double upper, double lower, BarSpan bar);

// First filled row for a value: the bar fills from there to its bottom.
// Nothing when nothing is filled (value at or below lower, or an empty or
// reversed range); a value above upper fills the whole bar.
std::optional<int> FillTop(double value, double upper, double lower, BarSpan bar);

struct ScaleTick {
    int row = 0;
    int length = 8;  // pixels leftwards from the label column
};

struct ScaleLabel {
    int row = 0;  // row of its tick; the text is drawn 10 pixels above
    std::string text;
};

// Intermediate ticks and labels of a scale on a bar. Ticks lie strictly
// between the limits; a label within 10 pixels of a limit's row is left out
// (its tick stays). Empty for an empty or reversed range.
struct ScaleMarks {
    std::vector<ScaleTick> ticks;
    std::vector<ScaleLabel> labels;
};
ScaleMarks ScaleMarksFor(double upper, double lower, BarSpan bar);

// Where a label right-aligned to `right` starts: never left of the control's
// edge, so a label wider than its room keeps its first digit (the tail runs
// over the ticks instead).
int LabelLeft(int textWidth, int right);

// The largest size from `size` down to `smallest` at which `widthAt(size)`
// fits into `room` pixels; `smallest` when none does. Labels too long for
// their room are written smaller rather than cut.
int FittingSize(int size, int smallest, int room, const std::function<int(int)>& widthAt);

struct ScaleLimits {
    double upper = 0.0;
    double lower = 0.0;
};

// The terminal temperature's default scale, -40 to 100 degC, in the
// temperature unit of this name ("degC", "degF", "degR", "Kelvin"); nothing
// for any other name.
std::optional<ScaleLimits> TerminalScaleDefault(std::string_view unitName);

// Longest text a scale edit keeps.
inline constexpr std::size_t kScaleTextLimit = 8;

// A scale edit's text cut to its first 8 characters.
std::string CutScaleText(std::string_view text);
// The scale limit a text stands for (atof: no leading number gives 0).
double ScaleTextValue(std::string_view text);
// Only blanks, digits, '.', '-' and '+' may be typed into a scale edit.
bool ScaleTextAllowed(std::string_view text);
// The text put back into a scale edit after a refused character ("%.f").
std::string RestoredScaleText(double limit);

}  // namespace qt40
