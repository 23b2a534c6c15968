#pragma once
// Formatting of language texts. Language files are user-replaceable input, so
// a text whose placeholders do not fit the arguments is shown as it stands
// instead of reading arguments that were never passed.
//
// Two styles exist: printf-style ("%d", "%4.3f", "%s", positional "%2$s") and
// insert-style ("%1!s!", "%2", "%n" for a line break). A text that holds a
// numbered insert ("%1!...!", or "%1" ... "%99" followed by neither a letter,
// "." nor "$", which would make it a printf width or position) is
// insert-style.

#include <map>
#include <string>
#include <vector>

#include "base/Prompts.h"

namespace qt40 {

// What a placeholder asks for, and so what a caller must pass.
enum class ArgType { Integer, Real, Text };

const char* ArgTypeName(ArgType type);
ArgType ArgTypeOf(const MessageArg& arg);

// The placeholders of a text: which argument (0-based) each one reads, and as
// what. `error` is empty when the text parses.
struct PlaceholderScan {
    std::map<int, ArgType> uses;
    std::string error;
    bool Ok() const { return error.empty(); }
};

bool UsesInserts(const std::string& text);
PlaceholderScan ScanPrintf(const std::string& text);
PlaceholderScan ScanInserts(const std::string& text);
PlaceholderScan ScanMessageText(const std::string& text);

// Empty when `args` fit the placeholders of `scan`, else why not. With
// `allUsed` every argument must be read by some placeholder.
std::string CheckArguments(const PlaceholderScan& scan, const std::vector<ArgType>& args,
                           bool allUsed);

// printf-style; `text` itself when the placeholders do not fit `args`.
std::string FormatPrintf(const std::string& text, const MessageArgs& args);
// Insert-style; `text` itself when an insert has no argument or does not fit it.
std::string FormatInserts(const std::string& text, const MessageArgs& args);
std::string FormatInserts(const std::string& text, const std::vector<std::string>& inserts);
// The style the text's placeholders call for.
std::string FormatMessageText(const std::string& text, const MessageArgs& args);

}  // namespace qt40
