#pragma once
// A record as it is handed in: a title, the facts at its head, tables and
// the lines to sign. The PDF and CSV writers print this and nothing else, so
// both forms of one record always hold the same values.

#include <string>
#include <vector>

namespace qt40 {

struct RecordCell {
    std::string text;  // empty: nothing known (never an invented value)
    bool strong = false;  // printed bold, so it stands out without colour
};

struct RecordField {
    std::string caption;
    std::string value;
};

struct RecordTable {
    std::string caption;
    std::vector<std::string> columns;
    std::vector<std::vector<RecordCell>> rows;
};

struct RecordDocument {
    std::string title;
    std::vector<RecordField> head;
    std::vector<RecordTable> tables;
    std::vector<std::string> signatures;  // one line to sign under each caption
    // At the top of every page after the first, so that a loose page still
    // says whose record it is (the title, tag and device ID).
    std::string pageMark;
    // "Page %d of %d" in the record's language, at the foot of every page.
    std::string pageOf;
};

}  // namespace qt40
