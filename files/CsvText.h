#pragma once
// CSV fields and lines as every CSV file we write has them (RFC 4180
// quoting), with one guard against spreadsheet formulas, and the reading
// back of what we wrote.

#include <string>
#include <string_view>
#include <vector>

namespace qt40 {

// A whole number, a decimal or a number with an exponent as our writers
// produce them ("-12", "3.5", "-5.775e-07", "1E+10"): a spreadsheet takes it
// as a number, so it needs no guard.
bool IsCsvNumber(std::string_view text);

// One field. A text a spreadsheet would run as a formula (=, +, -, @, a tab
// or a CR first, and not a number) gets a leading apostrophe, and so does a
// text that starts with one, so that reading back gives the text written.
// Quoted when it holds a comma, a quote or a line break.
std::string CsvField(std::string_view text);

// The fields joined by commas, each through CsvField.
std::string CsvLine(const std::vector<std::string>& fields);

// The fields of one line as CsvLine wrote them: quotes undone, the guard
// apostrophe dropped. A line that ends inside quotes takes the rest as its
// last field.
std::vector<std::string> ReadCsvLine(std::string_view line);

}  // namespace qt40
