#pragma once
// A record as CSV for spreadsheets: the head as caption,value lines, then
// each table under its caption with its column headings. UTF-8 with a
// byte-order mark (so spreadsheets read Japanese right), CR LF line ends,
// written through the safe save.

#include <filesystem>
#include <string>
#include <string_view>

#include "files/FileResult.h"
#include "records/RecordDocument.h"

namespace qt40 {

class RecordCsvWriter {
public:
    // The whole file's text, lines ending in CR LF, without the byte-order mark.
    static std::string Text(const RecordDocument& doc);
    // One field as every CSV file of ours writes it (files/CsvText): a device
    // text or a note can never run as a formula, a number stays a number.
    static std::string Field(std::string_view text);

    static FileResult Save(const std::filesystem::path& path, const RecordDocument& doc);
};

}  // namespace qt40
