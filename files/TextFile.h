#pragma once
// Plain text files as lists of lines. We write CR LF and read CR LF, LF and a
// lone CR alike, with or without a UTF-8 byte-order mark, so files move
// between platforms. Texts are UTF-8 bytes as stored.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileResult.h"

namespace qt40 {

// Files larger than this are refused rather than read into memory; ours are a few kilobytes.
inline constexpr std::size_t kMaxTextFileBytes = 16 * 1024 * 1024;

// Lines without their line ends; a leading byte-order mark is dropped and a
// final line end does not add an empty line.
std::vector<std::string> SplitLines(std::string_view text);

// The whole file. NotOpened when it cannot be opened (content untouched).
FileResult ReadTextFile(const std::filesystem::path& path, std::string& content);

// Writes every line followed by CR LF into a temporary file beside `path`
// and renames it over `path` only once it is complete: on any failure the
// previous file is left as it was. Lines holding a line break are refused.
FileResult SaveTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines);

}  // namespace qt40
