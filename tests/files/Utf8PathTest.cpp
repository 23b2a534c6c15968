// File names arrive as UTF-8 text (file dialogs, the command line): a folder
// named in Japanese must open on every platform, and a failure must name it
// as the user wrote it.

#include <gtest/gtest.h>

#include "files/CFilePropertyReadWrite.h"
#include "files/TextFile.h"
#include "files/Utf8Path.h"
#include "tests/files/TempFolder.h"

namespace qt40 {
namespace {

using test::TempFolder;

TEST(Utf8PathTest, FilesInAFolderNamedInJapaneseAreWrittenAndReadBack) {
    TempFolder folder;
    const std::string dir = Utf8FromPath(folder.path()) + "/山田の設定";
    std::filesystem::create_directories(PathFromUtf8(dir));
    for (const std::string name : {"/表.txt", "/plain.txt"}) {
        const std::string file = dir + name;
        ASSERT_TRUE(SaveTextLines(PathFromUtf8(file), {"Tag = TT-101"}).ok()) << file;
        std::string content;
        ASSERT_TRUE(ReadTextFile(PathFromUtf8(file), content).ok()) << file;
        EXPECT_EQ(content, "Tag = TT-101\r\n");
        CFilePropertyReadWrite config;
        EXPECT_TRUE(config.Read(PathFromUtf8(file)).ok());
    }
    // The name comes back as the same UTF-8 text.
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(dir + "/表.txt")), dir + "/表.txt");
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(dir + "/表.txt").filename()), "表.txt");
}

TEST(Utf8PathTest, AFileThatCannotBeOpenedIsNamedInItsOwnCharacters) {
    TempFolder folder;
    const std::string missing = Utf8FromPath(folder.path()) + "/無い/設定.cfg";
    std::string content = "kept";
    const FileResult read = ReadTextFile(PathFromUtf8(missing), content);
    EXPECT_EQ(read.status, FileResult::Status::NotOpened);
    EXPECT_NE(read.error.find("無い"), std::string::npos) << read.error;
    EXPECT_EQ(content, "kept");
    const FileResult written = SaveTextLines(PathFromUtf8(missing), {"x"});
    EXPECT_FALSE(written.ok());
    EXPECT_NE(written.error.find("設定.cfg"), std::string::npos) << written.error;
}

}  // namespace
}  // namespace qt40
