#pragma once
// Recorded exchanges as CSV for a spreadsheet: one row an exchange, its times,
// the columns of the traffic view, both frames in hex and their decoded fields.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "files/FileResult.h"
#include "traffic/Exchange.h"

namespace qt40::traffic {

class TrafficCsv {
public:
    // The header line, then one line an exchange.
    static std::vector<std::string> Lines(const std::vector<ExchangePtr>& exchanges,
                                          std::int64_t wallClockStartUs);
    // Written CR LF through a temporary file that replaces `path` only when complete.
    static FileResult Save(const std::filesystem::path& path,
                           const std::vector<ExchangePtr>& exchanges,
                           std::int64_t wallClockStartUs);
    // A field as CSV takes it: quoted when it holds a comma, a quote or a line break.
    static std::string Quoted(const std::string& field);
};

}  // namespace qt40::traffic
