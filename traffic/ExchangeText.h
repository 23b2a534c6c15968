#pragma once
// An exchange in words, the same wherever it is shown: the traffic view's
// columns and detail pane, the CSV file, `--trace` and `decode`.

#include <cstdint>
#include <string>
#include <vector>

#include "traffic/DecoderTexts.h"
#include "traffic/Exchange.h"

namespace qt40::traffic {

struct ExchangeColumns {
    std::string address;   // of the request: "0" or "3F 28 00 00 01"
    std::string command;   // "3"
    std::string name;      // "Read loop current and dynamic variables"
    std::string response;  // "success", "busy" …, or how it failed ("no answer")
    std::string status;    // device status: "0x40 CFG"; empty without an answer
    double durationMs = 0;
};

// The words come from `texts` (built-in English without).
ExchangeColumns Columns(const Exchange& exchange, const DecoderTexts& texts = {});

// Wall-clock times: local "12:34:56.789" and UTC "2025-01-31T12:34:56.789012Z".
std::string LocalTimeOfDay(std::int64_t utcUs);
std::string UtcText(std::int64_t utcUs);

// One line for the request, one for the answer (none when it was not sent);
// one line for a session message.
std::vector<std::string> TraceLines(const Exchange& exchange, const DecoderTexts& texts = {});
// Everything about it: both frames field by field, with their bytes.
std::vector<std::string> DetailLines(const Exchange& exchange, const DecoderTexts& texts = {});
// How an exchange ended, in the language of `texts`.
std::string OutcomeWords(Outcome outcome, const DecoderTexts& texts);

}  // namespace qt40::traffic
