#pragma once
// Custom table files (custom TC, custom RTD, special curve): the writer, and
// the reader that accepts hand-edited files and asks through Prompts what to
// do with a doubtful value.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileResult.h"
#include "base/Prompts.h"
#include "model/TableRecords.h"
#include "tables/TableRules.h"

namespace qt40 {

// The five reader settings of a table kind.
struct TableReaderSetup {
    int maxSize = 0;
    double upperBound = 0.0;
    double lowerBound = 0.0;
    std::string tableName;
    std::string unit;
    // The RTD rule: lower < v <= upper, refused with "Err_CustomTable_Data_Bound2".
    bool lowerExclusive = false;

    static TableReaderSetup CustomTc() { return {250, 800.0, -100.0, "Custom TC", "mV", false}; }
    static TableReaderSetup CustomRtd() { return {250, 4000.0, 0.0, "Custom RTD", "ohms", true}; }
    static TableReaderSetup SpecialCurve() { return {125, 115.0, -15.0, "Linearize", "%", false}; }
};

enum class TableReadOutcome {
    Aborted,    // the panel changes nothing
    Completed,  // the panel takes over what was read, whatever the verdict
};

struct TableReadResult {
    TableReadOutcome outcome = TableReadOutcome::Aborted;
    std::vector<std::string> xTexts;  // values of a TC/RTD table, X of the special curve
    std::vector<std::string> yTexts;  // Y of the special curve, paired with xTexts
    int count = 0;
    std::string minimumText = "0";
    std::string stepText = "0";
    bool stepSeen = false;
    bool tableValid = false;
    std::string fileError;  // a read error to show; empty when the file was read or not opened
};

// Numbers longer than the edit copies hold are refused with
// "Err_Table_Text_Too_Long" (file line number, capacity): a value or a
// minimum is skipped, a step abandons the read like any unusable step.
inline constexpr const char* kTextTooLongKey = "Err_Table_Text_Too_Long";
// A special curve line without its comma ends the read: (file line number, the line).
inline constexpr const char* kLineWithoutCommaKey = "Err_Special_Table_No_Comma";

class CFileOperations {
public:
    explicit CFileOperations(Prompts& prompts) : prompts_(prompts) {}

    // The lines of a custom TC ("TC") or RTD ("RTD") file of the image.
    static std::vector<std::string> CustomTableLines(const std::vector<std::string>& header,
                                                     std::string_view kindLabel,
                                                     const CustomTableImage& image);
    static std::vector<std::string> SpecialCurveLines(const std::vector<std::string>& header,
                                                      const SpecialCurveImage& image);
    // Saved through a temporary file; a failed write keeps the previous file.
    // An image whose size lies outside the record's capacity is refused.
    static FileResult WriteCustomTable(const std::filesystem::path& path,
                                       const std::vector<std::string>& header,
                                       std::string_view kindLabel, const CustomTableImage& image);
    static FileResult WriteSpecialCurve(const std::filesystem::path& path,
                                        const std::vector<std::string>& header,
                                        const SpecialCurveImage& image);

    // Clears the results; the size is limited to what the edit copies hold.
    void SetUp(const TableReaderSetup& setup);

    // An unreadable file aborts without a message.
    TableReadOutcome ReadCustomTable(const std::filesystem::path& path);
    TableReadOutcome ReadSpecialCurve(const std::filesystem::path& path);
    // The same rules on text already in memory.
    TableReadOutcome ParseCustomTable(std::string_view text);
    TableReadOutcome ParseSpecialCurve(std::string_view text);

    const TableReadResult& Result() const { return result_; }

private:
    enum class ValueCheck { Accept, Skip };
    ValueCheck CheckValue(const std::string& text, int lineNumber, long long pointNumber);
    TableReadOutcome Finish(TableReadOutcome outcome, bool tableValid);
    bool TooLong(const std::string& text, std::size_t capacity, int lineNumber);
    void TableSizeReached(BoxType type);

    Prompts& prompts_;
    TableReaderSetup setup_ = TableReaderSetup::CustomTc();
    TableReadResult result_;
};

// What a TC or RTD panel takes over from a completed read: values, minimum,
// size and, by the step rule, the step; returns the panel's new tableValid.
bool TakeOverCustomTableRead(const TableReadResult& read, const CustomTableImage& image,
                             CustomTableEdit& edit, CustomTableSummary& summary);
// What the special curve panel takes over from a completed read.
bool TakeOverSpecialCurveRead(const TableReadResult& read, SpecialCurveEdit& edit,
                              SpecialCurveSummary& summary);

}  // namespace qt40
