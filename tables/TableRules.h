#pragma once
// Rules of the three custom tables: the edit copy made from a device image,
// the summary a panel shows, and the checks before a table goes to the device.

#include <string>
#include <string_view>

#include "base/Prompts.h"
#include "model/TableRecords.h"

namespace qt40 {

enum class CustomTableKind { Tc, Rtd };

// Character rule for numbers read from table files: position 0 a blank, "-",
// "." or a digit; position 1 after a blank "-", "." or a digit, else anything;
// then digits with at most one "." from position 2 on. The empty text passes.
bool PassesTableNumberCheck(std::string_view text);

// Step and minimum as "%d" (truncated), values "%lf"; special curve points
// "%4.7f". Sizes beyond the record's capacity are clamped.
void FillEditFromImage(const CustomTableImage& image, CustomTableEdit& edit);
void FillEditFromImage(const SpecialCurveImage& image, SpecialCurveEdit& edit);

// The table a panel holds, as numbers: what "Write table to File" saves.
CustomTableImage ImageFromEdit(const CustomTableEdit& edit);
SpecialCurveImage ImageFromEdit(const SpecialCurveEdit& edit);

inline constexpr const char* kStatusConfigured = "Configured";
inline constexpr const char* kStatusNotConfigured = "Non configured";

struct CustomTableSummary {
    std::string status;
    std::string minTemperature;
    std::string maxTemperature;
    std::string temperatureStep;
    std::string tableSize;
};

struct SpecialCurveSummary {
    std::string status;
    std::string minimumValue;
    std::string maximumValue;
    std::string tableSize;
};

CustomTableSummary SummarizeCustomTable(const CustomTableImage& image);
// Minimum and maximum stay empty for a table without points.
SpecialCurveSummary SummarizeSpecialCurve(const SpecialCurveImage& image);

// Asks "Err_CustomTable_Empty" (exclamation, OK) and returns false for a
// table without points or with more than the record holds: the device must
// never be sent an empty header.
bool RefuseUnwritableSize(std::int32_t size, int capacity, Prompts& prompts);

// The checks before a custom TC or RTD table is written to the device:
// size, minimum, step, bounds of every value, then order (an order message
// answered OK lets the check go on). False when the table must not be sent.
bool ValidateCustomTable(const CustomTableEdit& edit, CustomTableKind kind, Prompts& prompts);
// Bounds of X and Y row by row, then rising X (Y may fall).
bool ValidateSpecialCurve(const SpecialCurveEdit& edit, Prompts& prompts);

}  // namespace qt40
