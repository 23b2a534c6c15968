#include "tables/TableRules.h"

#include <algorithm>

#include "model/NumberText.h"

namespace qt40 {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t ClampedSize(std::int32_t size, int capacity) {
    return static_cast<std::size_t>(std::clamp(size, 0, capacity));
}

std::string Status(std::int16_t status) {
    return status == 0 ? kStatusConfigured : kStatusNotConfigured;
}

}  // namespace

bool PassesTableNumberCheck(std::string_view text) {
    if (text.empty()) return true;
    const char first = text[0];
    if (first != ' ' && first != '-' && first != '.' && !IsDigit(first)) return false;
    if (text.size() > 1 && first == ' ') {
        const char second = text[1];
        if (second != '-' && second != '.' && !IsDigit(second)) return false;
    }
    bool point = false;
    for (std::size_t i = 2; i < text.size(); ++i) {
        if (text[i] == '.') {
            if (point) return false;
            point = true;
        } else if (!IsDigit(text[i])) {
            return false;
        }
    }
    return true;
}

void FillEditFromImage(const CustomTableImage& image, CustomTableEdit& edit) {
    const std::size_t size = ClampedSize(image.size, kCustomTableCapacity);
    edit.status = image.status;
    edit.headerWord = image.headerWord;
    edit.size = static_cast<std::int32_t>(size);
    edit.stepText = FormatTruncated(image.step);
    edit.minimumText = FormatTruncated(image.minimum);
    for (std::size_t i = 0; i < size; ++i) edit.valueTexts[i] = FormatFixed(image.values[i], 6);
}

void FillEditFromImage(const SpecialCurveImage& image, SpecialCurveEdit& edit) {
    const std::size_t size = ClampedSize(image.size, kSpecialCurveCapacity);
    edit.size = static_cast<std::int32_t>(size);
    for (std::size_t i = 0; i < size; ++i) {
        edit.xTexts[i] = FormatFixed(image.x[i], 7, 4);
        edit.yTexts[i] = FormatFixed(image.y[i], 7, 4);
    }
}

CustomTableImage ImageFromEdit(const CustomTableEdit& edit) {
    CustomTableImage image;
    const std::size_t size = ClampedSize(edit.size, kCustomTableCapacity);
    image.status = edit.status;
    image.headerWord = edit.headerWord;
    image.size = static_cast<std::int32_t>(size);
    image.step = LeadingDecimal(edit.stepText);
    image.minimum = LeadingDecimal(edit.minimumText);
    for (std::size_t i = 0; i < size; ++i) image.values[i] = LeadingDecimal(edit.valueTexts[i]);
    return image;
}

SpecialCurveImage ImageFromEdit(const SpecialCurveEdit& edit) {
    SpecialCurveImage image;
    const std::size_t size = ClampedSize(edit.size, kSpecialCurveCapacity);
    image.size = static_cast<std::int32_t>(size);
    for (std::size_t i = 0; i < size; ++i) {
        image.x[i] = LeadingDecimal(edit.xTexts[i]);
        image.y[i] = LeadingDecimal(edit.yTexts[i]);
    }
    return image;
}

CustomTableSummary SummarizeCustomTable(const CustomTableImage& image) {
    CustomTableSummary summary;
    summary.status = Status(image.status);
    summary.minTemperature = FormatTruncated(image.minimum);
    summary.maxTemperature =
        FormatTruncated(static_cast<double>(image.size - 1) * image.step + image.minimum);
    summary.temperatureStep = FormatTruncated(image.step);
    summary.tableSize = std::to_string(image.size);
    return summary;
}

SpecialCurveSummary SummarizeSpecialCurve(const SpecialCurveImage& image) {
    SpecialCurveSummary summary;
    summary.status = Status(image.status);
    const std::size_t size = ClampedSize(image.size, kSpecialCurveCapacity);
    if (size > 0) {
        summary.minimumValue = FormatFixed(image.x[0], 2);
        summary.maximumValue = FormatFixed(image.x[size - 1], 2);
    }
    summary.tableSize = std::to_string(image.size);
    return summary;
}

namespace {

// The limits of a table's entries, each written once: the check and the
// message that names it take it from here.
constexpr long long kLowestTableMinimum = -273;  // degrees, the first point of a custom table
constexpr long long kHighestTableMinimum = 10000;
constexpr long long kSmallestTableStep = 1;  // degrees between points
constexpr long long kLargestTableStep = 50;
constexpr long long kLowestTcMillivolts = -100;  // a custom TC point, inclusive
constexpr long long kHighestTcMillivolts = 800;
constexpr long long kLowestRtdOhms = 0;  // a custom RTD point, exclusive
constexpr long long kHighestRtdOhms = 4000;
constexpr long long kLowestCurvePercent = -15;  // either axis of the special curve
constexpr long long kHighestCurvePercent = 115;

}  // namespace

bool RefuseUnwritableSize(std::int32_t size, int capacity, Prompts& prompts) {
    if (size >= 1 && size <= capacity) return true;
    prompts.Message("Err_CustomTable_Empty", {}, BoxType::OkWarning);
    return false;
}

bool ValidateCustomTable(const CustomTableEdit& edit, CustomTableKind kind, Prompts& prompts) {
    if (!RefuseUnwritableSize(edit.size, kCustomTableCapacity, prompts)) return false;
    const long long minimum = LeadingInteger(edit.minimumText);
    if (minimum < kLowestTableMinimum || minimum > kHighestTableMinimum) {
        prompts.Message("Err_Temp_Min", {edit.minimumText}, BoxType::OkWarning);
        return false;
    }
    const long long step = LeadingInteger(edit.stepText);
    if (step < kSmallestTableStep || step > kLargestTableStep) {
        prompts.Message("Err_Temp_Step", {edit.stepText}, BoxType::OkWarning);
        return false;
    }

    const bool tc = kind == CustomTableKind::Tc;
    const auto size = static_cast<std::size_t>(edit.size);
    for (std::size_t i = 0; i < size; ++i) {
        const double v = LeadingDecimal(edit.valueTexts[i]);
        const bool inBounds = tc ? (kLowestTcMillivolts <= v && v <= kHighestTcMillivolts)
                                 : (kLowestRtdOhms < v && v <= kHighestRtdOhms);
        if (inBounds) continue;
        const auto index = static_cast<long long>(i);
        if (tc) {
            prompts.Message("Err_CustomTable_Data_Bound",
                            {index, edit.valueTexts[i], index, kLowestTcMillivolts,
                             kHighestTcMillivolts, std::string("mV")},
                            BoxType::OkWarning);
        } else {
            prompts.Message("Err_CustomTable_Data_Bound2",
                            {index, edit.valueTexts[i], index, kLowestRtdOhms, kHighestRtdOhms,
                             std::string("Ohms")},
                            BoxType::OkWarning);
        }
        return false;
    }

    const std::string unit = tc ? "mV" : "ohms";
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (LeadingDecimal(edit.valueTexts[i + 1]) >= LeadingDecimal(edit.valueTexts[i])) continue;
        const Answer answer =
            prompts.Message("Err_Custom_Table_Data",
                            {static_cast<long long>(i + 1), edit.valueTexts[i + 1], unit,
                             static_cast<long long>(i), edit.valueTexts[i], unit},
                            BoxType::OkCancelWarning);
        if (answer != Answer::Ok) return false;
    }
    return true;
}

bool ValidateSpecialCurve(const SpecialCurveEdit& edit, Prompts& prompts) {
    if (!RefuseUnwritableSize(edit.size, kSpecialCurveCapacity, prompts)) return false;
    const auto size = static_cast<std::size_t>(edit.size);
    const auto inBounds = [](double v) {
        return kLowestCurvePercent <= v && v <= kHighestCurvePercent;
    };
    for (std::size_t i = 0; i < size; ++i) {
        const auto index = static_cast<long long>(i);
        if (!inBounds(LeadingDecimal(edit.xTexts[i]))) {
            prompts.Message("Err_Special_Table_Data_Bound_X",
                            {index, edit.xTexts[i], kLowestCurvePercent, kHighestCurvePercent},
                            BoxType::OkWarning);
            return false;
        }
        if (!inBounds(LeadingDecimal(edit.yTexts[i]))) {
            prompts.Message("Err_Special_Table_Data_Bound_Y",
                            {index, edit.yTexts[i], kLowestCurvePercent, kHighestCurvePercent},
                            BoxType::OkWarning);
            return false;
        }
    }
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (LeadingDecimal(edit.xTexts[i + 1]) >= LeadingDecimal(edit.xTexts[i])) continue;
        const Answer answer = prompts.Message("Err_Special_Table_Data",
                                              {static_cast<long long>(i + 1), edit.xTexts[i + 1],
                                               static_cast<long long>(i), edit.xTexts[i]},
                                              BoxType::OkCancelWarning);
        if (answer != Answer::Ok) return false;
    }
    return true;
}

}  // namespace qt40
