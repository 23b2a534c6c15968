#pragma once
// The language files a user can choose from: every "*.lng" in a directory
// that loads as a language file, with its display name.

#include <filesystem>
#include <string>
#include <vector>

namespace qt40 {

struct LanguageEntry {
    std::string fileName;     // without directory, as stored in "DisplayLanguage"
    std::string displayName;  // its `language` element

    bool operator==(const LanguageEntry&) const = default;
};

// In the order the file system lists them; files that fail to load are left
// out silently, files with equal display names are all kept.
std::vector<LanguageEntry> ListLanguages(const std::filesystem::path& directory);

}  // namespace qt40
