#pragma once
// The program's messages in the words of English.lng, on one terminal line.
// The file is found as the window program finds its language files (beside
// the program, then the installed data folder); without it a message is
// named by its key and arguments, so the tool never fails for want of it.

#include <filesystem>
#include <optional>
#include <string>

#include "base/Prompts.h"
#include "traffic/DecoderTexts.h"

namespace qt40::cli {

// The message box text of `key` as the window shows it, on one line; none
// when the file cannot be read or has no text for the key.
std::optional<std::string> EnglishMessage(const std::string& key, const MessageArgs& args);
// The same for a key of another section ("DisplayMsg", "ProgressMsg", ...).
std::optional<std::string> EnglishText(const std::string& section, const std::string& key,
                                       const MessageArgs& args = {});

// The traffic decoder's words from English.lng (its built-in English without
// the file).
traffic::DecoderTexts EnglishDecoderTexts();

// The words of a message box, else "KEY: arg, arg".
std::string DescribeMessage(const std::string& key, const MessageArgs& args);

// Line breaks of a text joined for one line: a space after the end of a
// sentence or a colon, "; " elsewhere.
std::string OneLine(const std::string& text);

// Reads `file` instead of the English.lng found beside the program; empty
// goes back to that. For tests.
void UseEnglishFile(const std::filesystem::path& file);

}  // namespace qt40::cli
