#pragma once
// Holds a language file to the message catalogue: header, every key present
// and non-empty, placeholders that fit the arguments callers pass, and gui
// entries that name known dialogs and controls. For our shipped files and for
// translators checking theirs.

#include <filesystem>
#include <string>
#include <vector>

namespace qt40 {

// One line per problem, each naming the file and the key or entry; empty when
// the file is sound.
std::vector<std::string> CheckLanguageFile(const std::filesystem::path& path);

}  // namespace qt40
