#include "records/RecordCsvWriter.h"

#include <vector>

#include "files/SafeTextWriter.h"
#include "model/EntryRules.h"

namespace qt40 {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsNumber(std::string_view text) {
    bool digit = false;
    for (char c : text) digit = digit || (c >= '0' && c <= '9');
    return digit && PassesNumberCharacters(text);
}

std::string Line(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) line += ',';
        line += RecordCsvWriter::Field(fields[i]);
    }
    return line;
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
    std::string field(text);
    const bool formula = !field.empty() && std::string_view("=+-@\t\r").find(field[0]) !=
                                               std::string_view::npos;
    if (formula && !IsNumber(field)) field.insert(0, 1, '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
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
