#include "tables/CFileOperations.h"

#include <algorithm>

#include "files/TextFile.h"
#include "files/Utf8Path.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

// Blanks and tabs a hand-edited file leaves around a number are no part of it.
std::string TrimSpaces(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// The text after the first "=", or the whole line when there is none.
std::string_view AfterEquals(std::string_view line) {
    const std::size_t equals = line.find('=');
    return equals == std::string_view::npos ? line : line.substr(equals + 1);
}

bool StartsWithAny(std::string_view line, std::initializer_list<std::string_view> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [line](std::string_view prefix) { return line.starts_with(prefix); });
}

}  // namespace

std::vector<std::string> CFileOperations::CustomTableLines(const std::vector<std::string>& header,
                                                           std::string_view kindLabel,
                                                           const CustomTableImage& image) {
    std::vector<std::string> lines = header;
    lines.push_back("Minimum " + std::string(kindLabel) +
                    " Temperature = " + FormatTruncated(image.minimum));
    // The step may be held as 4.9999; it is meant as 5.
    lines.push_back("Step = " + FormatTruncated(image.step + 0.001));
    lines.emplace_back("{");
    const int size = std::clamp(image.size, 0, kCustomTableCapacity);
    for (int i = 0; i < size; ++i) {
        lines.push_back(FormatFixed(image.values[static_cast<std::size_t>(i)], 6, 4));
    }
    lines.emplace_back("}");
    return lines;
}

std::vector<std::string> CFileOperations::SpecialCurveLines(const std::vector<std::string>& header,
                                                            const SpecialCurveImage& image) {
    std::vector<std::string> lines = header;
    lines.emplace_back("{");
    const int size = std::clamp(image.size, 0, kSpecialCurveCapacity);
    for (int i = 0; i < size; ++i) {
        const auto index = static_cast<std::size_t>(i);
        lines.push_back(FormatFixed(image.x[index], 6) + "," + FormatFixed(image.y[index], 6));
    }
    lines.emplace_back("}");
    return lines;
}

FileResult CFileOperations::WriteCustomTable(const std::filesystem::path& path,
                                             const std::vector<std::string>& header,
                                             std::string_view kindLabel,
                                             const CustomTableImage& image) {
    if (image.size < 0 || image.size > kCustomTableCapacity) {
        return FileResult::Failure("Cannot write " + Utf8FromPath(path) + ": table size " +
                                   std::to_string(image.size) + " is not 0 to " +
                                   std::to_string(kCustomTableCapacity));
    }
    return SaveTextLines(path, CustomTableLines(header, kindLabel, image));
}

FileResult CFileOperations::WriteSpecialCurve(const std::filesystem::path& path,
                                              const std::vector<std::string>& header,
                                              const SpecialCurveImage& image) {
    if (image.size < 0 || image.size > kSpecialCurveCapacity) {
        return FileResult::Failure("Cannot write " + Utf8FromPath(path) + ": table size " +
                                   std::to_string(image.size) + " is not 0 to " +
                                   std::to_string(kSpecialCurveCapacity));
    }
    return SaveTextLines(path, SpecialCurveLines(header, image));
}

void CFileOperations::SetUp(const TableReaderSetup& setup) {
    setup_ = setup;
    result_ = TableReadResult{};
}

TableReadOutcome CFileOperations::Finish(TableReadOutcome outcome, bool tableValid) {
    result_.outcome = outcome;
    result_.tableValid = tableValid;
    return outcome;
}

bool CFileOperations::TooLong(const std::string& text, std::size_t capacity, int lineNumber) {
    if (text.size() <= capacity) return false;
    prompts_.Message(kTextTooLongKey,
                     {static_cast<long long>(lineNumber), static_cast<long long>(capacity)},
                     BoxType::OkWarning);
    return true;
}

void CFileOperations::TableSizeReached(BoxType type) {
    const auto maximum = static_cast<long long>(setup_.maxSize);
    prompts_.Message("Err_TableSize", {maximum + 1, setup_.tableName, maximum, maximum}, type);
}

CFileOperations::ValueCheck CFileOperations::CheckValue(const std::string& text, int lineNumber,
                                                        long long pointNumber) {
    const MessageArgs args{pointNumber,
                           text,
                           pointNumber,
                           static_cast<long long>(setup_.lowerBound),
                           static_cast<long long>(setup_.upperBound),
                           setup_.unit};
    if (!PassesTableNumberCheck(text)) {
        prompts_.Message("Err_CustomTable_Data_Bound", args, BoxType::OkWarning);
        return ValueCheck::Skip;
    }
    if (TooLong(text, kTableValueTextCapacity, lineNumber)) return ValueCheck::Skip;
    const double v = LeadingDecimal(text);
    const bool aboveLower = setup_.lowerExclusive ? v > setup_.lowerBound : v >= setup_.lowerBound;
    if (aboveLower && v <= setup_.upperBound) return ValueCheck::Accept;
    const char* key =
        setup_.lowerExclusive ? "Err_CustomTable_Data_Bound2" : "Err_CustomTable_Data_Bound";
    return prompts_.Message(key, args, BoxType::OkCancelWarning) == Answer::Ok ? ValueCheck::Accept
                                                                               : ValueCheck::Skip;
}

TableReadOutcome CFileOperations::ReadCustomTable(const std::filesystem::path& path) {
    std::string content;
    const FileResult read = ReadTextFile(path, content);
    if (!read.ok()) {
        result_ = TableReadResult{};
        // A file that cannot be opened says so, as one that breaks off does.
        result_.fileError = read.error;
        return Finish(TableReadOutcome::Aborted, false);
    }
    return ParseCustomTable(content);
}

TableReadOutcome CFileOperations::ReadSpecialCurve(const std::filesystem::path& path) {
    std::string content;
    const FileResult read = ReadTextFile(path, content);
    if (!read.ok()) {
        result_ = TableReadResult{};
        result_.fileError = read.error;
        return Finish(TableReadOutcome::Aborted, false);
    }
    return ParseSpecialCurve(content);
}

TableReadOutcome CFileOperations::ParseCustomTable(std::string_view text) {
    result_ = TableReadResult{};
    const int maximum = std::clamp(setup_.maxSize, 0, kCustomTableCapacity);
    const std::vector<std::string> lines = SplitLines(text);
    bool header = true;
    double previous = setup_.lowerBound;
    int lineNumber = 0;
    for (const std::string& line : lines) {
        ++lineNumber;
        if (header) {
            if (StartsWithAny(line, {"MIN", "min", "Min"})) {
                std::string minimum = TrimSpaces(AfterEquals(line));
                if (PassesTableNumberCheck(minimum) &&
                    !TooLong(minimum, kTableStepTextCapacity, lineNumber)) {
                    result_.minimumText = std::move(minimum);
                }
            }
            if (StartsWithAny(line, {"step", "Step", "STEP"})) {
                result_.stepSeen = true;
                // Blanks around the step are trimmed before the character check,
                // as around every other number of the file.
                // The messages show the step as the file holds it.
                const std::string raw(AfterEquals(line));
                std::string step = TrimSpaces(raw);
                if (!PassesTableNumberCheck(step)) {
                    prompts_.Message("Err_Temp_Step", {raw}, BoxType::OkWarning);
                    return Finish(TableReadOutcome::Aborted, false);
                }
                if (TooLong(step, kTableStepTextCapacity, lineNumber)) {
                    return Finish(TableReadOutcome::Aborted, false);
                }
                const long long value = LeadingInteger(step);
                if (value < 1 || value > 50) {
                    if (prompts_.Message("Err_Temp_Step", {raw},
                                         BoxType::OkCancelWarning) != Answer::Ok) {
                        return Finish(TableReadOutcome::Aborted, false);
                    }
                }
                result_.stepText = std::move(step);
            }
            if (line == "{") header = false;
            continue;
        }

        if (line == "}") {
            if (result_.count <= 1) return Finish(TableReadOutcome::Completed, false);
            continue;
        }
        if (result_.count >= maximum) {
            TableSizeReached(BoxType::OkWarningSystemModal);
            return Finish(TableReadOutcome::Completed, true);
        }
        std::string value = TrimSpaces(line);
        // A line of blanks is as empty as an empty one, not a point of value 0.
        if (value.empty()) continue;
        if (CheckValue(value, lineNumber, result_.count + 1LL) == ValueCheck::Skip) continue;
        const double v = LeadingDecimal(value);
        if (v >= previous) {
            previous = v;
        } else {
            const Answer answer = prompts_.Message(
                "Err_Custom_Table_Data",
                {result_.count + 1LL, value, setup_.unit, static_cast<long long>(result_.count),
                 FormatFixed(previous, 3, 4), setup_.unit},
                BoxType::OkCancelWarningSystemModal);
            if (answer != Answer::Ok) return Finish(TableReadOutcome::Aborted, false);
        }
        result_.xTexts.push_back(std::move(value));
        ++result_.count;
    }
    return Finish(TableReadOutcome::Completed, true);
}

TableReadOutcome CFileOperations::ParseSpecialCurve(std::string_view text) {
    result_ = TableReadResult{};
    const int maximum = std::clamp(setup_.maxSize, 0, kSpecialCurveCapacity);
    const std::vector<std::string> lines = SplitLines(text);
    bool header = true;
    double previousX = setup_.lowerBound - 0.000001;
    int lineNumber = 0;
    for (const std::string& line : lines) {
        ++lineNumber;
        if (header) {
            if (line == "{") header = false;
            continue;
        }
        if (line == "}") {
            if (result_.count <= 1) return Finish(TableReadOutcome::Completed, false);
            continue;
        }
        if (result_.count >= maximum) {
            TableSizeReached(BoxType::OkWarning);
            return Finish(TableReadOutcome::Completed, true);
        }
        if (TrimSpaces(line).empty()) continue;
        const std::size_t comma = line.find(',');
        if (comma == std::string::npos) {
            // The read still ends here, but the user learns where and why.
            constexpr std::size_t kShownCharacters = 80;
            std::string shown = line.substr(0, kShownCharacters);
            if (line.size() > kShownCharacters) shown += "...";
            prompts_.Message(kLineWithoutCommaKey, {static_cast<long long>(lineNumber), shown},
                             BoxType::OkWarning);
            return Finish(TableReadOutcome::Aborted, false);
        }
        std::string x = TrimSpaces(std::string_view(line).substr(0, comma));
        std::string y = TrimSpaces(std::string_view(line).substr(comma + 1));
        if (x.empty() || y.empty()) return Finish(TableReadOutcome::Aborted, false);

        const long long point = result_.count + 1LL;
        if (CheckValue(x, lineNumber, point) == ValueCheck::Skip) continue;
        const double vx = LeadingDecimal(x);
        if (vx <= previousX) {
            const Answer answer =
                prompts_.Message("Err_Special_Table_Data",
                                 {static_cast<long long>(result_.count), x, result_.count - 1LL,
                                  FormatFixed(previousX, 3, 4)},
                                 BoxType::OkCancelWarning);
            if (answer != Answer::Ok) return Finish(TableReadOutcome::Aborted, false);
        }
        // X and Y stay paired: a refused Y drops its X as well.
        if (CheckValue(y, lineNumber, point) == ValueCheck::Skip) continue;
        previousX = vx;
        result_.xTexts.push_back(std::move(x));
        result_.yTexts.push_back(std::move(y));
        ++result_.count;
    }
    return Finish(TableReadOutcome::Completed, true);
}

bool TakeOverCustomTableRead(const TableReadResult& read, const CustomTableImage& image,
                             CustomTableEdit& edit, CustomTableSummary& summary) {
    const std::size_t count =
        std::min({static_cast<std::size_t>(std::max(read.count, 0)), read.xTexts.size(),
                  static_cast<std::size_t>(kCustomTableCapacity)});
    for (std::size_t i = 0; i < edit.valueTexts.size(); ++i) {
        edit.valueTexts[i] = i < count ? read.xTexts[i] : std::string();
    }
    edit.minimumText = read.minimumText;
    edit.size = static_cast<std::int32_t>(count);
    summary.minTemperature = read.minimumText;
    summary.tableSize = std::to_string(count);

    const double minimum = LeadingDecimal(read.minimumText);
    if (read.stepSeen) {
        edit.stepText = read.stepText;
        summary.temperatureStep = read.stepText;
        summary.maxTemperature = FormatGeneral(
            (static_cast<double>(count) - 1.0) * LeadingDecimal(read.stepText) + minimum);
    } else if (image.step < 1.0 || image.step > 50.0) {
        edit.stepText = read.stepText;
        summary.temperatureStep = read.stepText;
        summary.maxTemperature = FormatGeneral(minimum);
    }
    return read.tableValid;
}

bool TakeOverSpecialCurveRead(const TableReadResult& read, SpecialCurveEdit& edit,
                              SpecialCurveSummary& summary) {
    const std::size_t count = std::min(
        {read.xTexts.size(), read.yTexts.size(), static_cast<std::size_t>(kSpecialCurveCapacity)});
    for (std::size_t i = 0; i < edit.xTexts.size(); ++i) {
        edit.xTexts[i] = i < count ? read.xTexts[i] : std::string();
        edit.yTexts[i] = i < count ? read.yTexts[i] : std::string();
    }
    edit.size = static_cast<std::int32_t>(count);
    summary.minimumValue = count > 0 ? read.xTexts.front() : std::string();
    summary.maximumValue = count > 0 ? read.xTexts[count - 1] : std::string();
    summary.tableSize = std::to_string(count);
    return read.tableValid;
}

}  // namespace qt40
