#include "resources/LanguageList.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <fstream>

#include "resources/FileFilter.h"

namespace qt40 {
namespace {

void WriteLanguage(const std::filesystem::path& path, const std::string& name) {
    std::ofstream(path) << "<root><application>QT40CON</application><filetype>language"
                           "</filetype><language>"
                        << name << "</language></root>";
}

TEST(LanguageListTest, ListsLoadableFilesOnlyAndKeepsEqualNames) {
    QTemporaryDir dir;
    const std::filesystem::path path = dir.path().toStdString();
    WriteLanguage(path / "English.lng", "English");
    WriteLanguage(path / "English2.lng", "English");
    WriteLanguage(path / "Deutsch.txt", "Deutsch");  // wrong extension
    std::ofstream(path / "Broken.lng") << "<root><application>";
    std::ofstream(path / "Other.lng") << "<root><application>QT40CON</application></root>";

    std::vector<LanguageEntry> entries = ListLanguages(path);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.fileName < b.fileName; });
    EXPECT_EQ(entries, (std::vector<LanguageEntry>{{"English.lng", "English"},
                                                   {"English2.lng", "English"}}));
    EXPECT_TRUE(ListLanguages(path / "missing").empty());
}

TEST(FileFilterTest, LanguageFileFiltersBecomeQtFilters) {
    EXPECT_EQ(QtFileFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||"),
              "Text Files (*.txt);;All Files (*.*)");
    EXPECT_EQ(QtFileFilter("Tables|*.txt;*.csv||"), "Tables (*.txt *.csv)");
    EXPECT_EQ(QtFileFilter("Configuration Files (*.cfg)"), "Configuration Files (*.cfg)");
    EXPECT_EQ(QtFileFilter("Odd|"), "Odd ()");
}

}  // namespace
}  // namespace qt40
