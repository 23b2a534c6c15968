#include "records/RecordCsvWriter.h"

#include <vector>

#include "files/CsvText.h"
#include "files/SafeTextWriter.h"

namespace qt40 {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Line(const std::vector<std::string>& fields) {
    return CsvLine(fields);
}

std::vector<std::string> Lines(const RecordDocument& doc) {
    std::vector<std::string> lines{Line({doc.title})};
    for (const RecordField& f : doc.head) lines.push_back(Line({f.caption, f.value}));
    for (const RecordTable& table : doc.tables) {
        lines.emplace_back();
        lines.push_back(Line({table.caption}));
        lines.push_back(Line(table.columns));
        for (const auto& row : table.rows) {
            std::vector<std::string> cells;
            for (const RecordCell& cell : row) cells.push_back(cell.text);
            lines.push_back(Line(cells));
        }
    }
    return lines;
}

}  // namespace

std::string RecordCsvWriter::Field(std::string_view text) {
    return CsvField(text);
}

std::string RecordCsvWriter::Text(const RecordDocument& doc) {
    std::string text;
    for (const std::string& line : Lines(doc)) text += line + "\r\n";
    return text;
}

FileResult RecordCsvWriter::Save(const std::filesystem::path& path, const RecordDocument& doc) {
    SafeTextWriter writer(path);
    if (FileResult opened = writer.Open(); !opened.ok()) return opened;
    writer.Write(kByteOrderMark);
    for (const std::string& line : Lines(doc)) writer.WriteLine(line);
    return writer.Commit();
}

}  // namespace qt40
