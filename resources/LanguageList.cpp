#include "resources/LanguageList.h"

#include "resources/CResourceDatabase.h"

namespace qt40 {

std::vector<LanguageEntry> ListLanguages(const std::filesystem::path& directory) {
    std::vector<LanguageEntry> entries;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(directory, error)) {
        if (item.path().extension() != ".lng") continue;
        const auto u8name = item.path().filename().u8string();
        const std::string fileName(u8name.begin(), u8name.end());
        CResourceDatabase database(directory);
        database.Init();
        try {
            database.Load(fileName);
        } catch (const std::exception&) {
            continue;
        }
        entries.push_back({fileName, database.LanguageName()});
    }
    return entries;
}

}  // namespace qt40
