#include <gtest/gtest.h>

#include <chrono>

#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "files/SafeTextWriter.h"
#include "files/TextFile.h"
#include "tests/files/TempFolder.h"

using namespace qt40;
using qt40::test::TempFolder;

TEST(TextFile, SplitsEveryKindOfLineEnd) {
    struct Row {
        std::string text;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}}, {"a\r\n", {"a"}},
        {"a\n\nb\n", {"a", "", "b"}},           {"\r\n\r\n", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},           {"\xEF\xBB\xBFTag = X\r\n", {"Tag = X"}},
        {"x\xEF\xBB\xBF", {"x\xEF\xBB\xBF"}},   {"", {}},
    };
    for (const Row& row : rows) EXPECT_EQ(SplitLines(row.text), row.lines) << row.text;
}

TEST(TextFile, WritesCrLfAndReadsItBack) {
    TempFolder folder;
    const auto file = folder / "lines.txt";
    ASSERT_TRUE(SaveTextLines(file, {"one", "", "three"}).ok());
    EXPECT_EQ(TempFolder::Slurp(file), "one\r\n\r\nthree\r\n");
    std::string content;
    ASSERT_TRUE(ReadTextFile(file, content).ok());
    EXPECT_EQ(SplitLines(content), (std::vector<std::string>{"one", "", "three"}));
    EXPECT_EQ(folder.EntryCount(), 1u);  // no temporary file left behind
}

TEST(TextFile, MissingFileIsNotOpenedAndLeavesTheContent) {
    TempFolder folder;
    std::string content = "kept";
    const FileResult result = ReadTextFile(folder / "absent.txt", content);
    EXPECT_EQ(result.status, FileResult::Status::NotOpened);
    EXPECT_EQ(content, "kept");
}

TEST(SafeSave, IntoAPathWhoseFolderIsAFileFailsClearly) {
    TempFolder folder;
    const auto notAFolder = folder / "plain";
    TempFolder::Put(notAFolder, "previous");
    const FileResult result = SaveTextLines(notAFolder / "config.txt", {"x"});
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.error.find("config.txt"), std::string::npos) << result.error;
    EXPECT_EQ(TempFolder::Slurp(notAFolder), "previous");
}

TEST(SafeSave, OverAFolderFailsAndLeavesTheFolder) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "taken");
    TempFolder::Put(folder / "taken" / "inside.txt", "kept");
    EXPECT_FALSE(SaveTextLines(folder / "taken", {"x"}).ok());
    EXPECT_EQ(TempFolder::Slurp(folder / "taken" / "inside.txt"), "kept");
    EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(SafeSave, AWriterDroppedHalfWayLeavesThePreviousFile) {
    TempFolder folder;
    const auto file = folder / "config.txt";
    TempFolder::Put(file, "previous\r\n");
    {
        SafeTextWriter writer(file);
        ASSERT_TRUE(writer.Open().ok());
        writer.WriteLine("half");
        // Given an error (or exception) before Commit, the writer goes out of scope.
    }
    EXPECT_EQ(TempFolder::Slurp(file), "previous\r\n");
    EXPECT_EQ(folder.EntryCount(), 1u);
}

TEST(SafeSave, AGoodSaveRemovesWhatKilledSavesOfTheSameFileLeftBehind) {
    TempFolder folder;
    const auto file = folder / "config.txt";
    struct Row {
        const char* name;
        bool removed;
    };
    const Row rows[] = {
        {"config.txt.tmp123456", true},   // a save killed half-way
        {"config.txt.tmp7", true},
        {"config.txt.tmp1234567", false},  // not a name we give
        {"config.txt.tmp", false},
        {"config.txt.tmpabc", false},
        {"config.txt.tmp12.bak", false},
        {"other.txt.tmp123456", false},    // another file's
        {"running.txt.tmp1", false},
    };
    for (const Row& row : rows) TempFolder::Put(folder / row.name, "half");
    // A save of the same file that is being written right now stays.
    const auto running = folder / "config.txt.tmp999";
    TempFolder::Put(running, "half");
    std::filesystem::last_write_time(
        running, std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));

    ASSERT_TRUE(SaveTextLines(file, {"new"}).ok());
    EXPECT_EQ(TempFolder::Slurp(file), "new\r\n");
    for (const Row& row : rows) {
        EXPECT_EQ(std::filesystem::exists(folder / row.name), !row.removed) << row.name;
    }
    EXPECT_TRUE(std::filesystem::exists(running));
}

#ifndef _WIN32  // the file size limit is POSIX
TEST(SafeSave, AWriteThatFailsMidWayLeavesThePreviousFile) {
    TempFolder folder;
    const auto file = folder / "config.txt";
    const std::string previous(100, 'p');
    TempFolder::Put(file, previous);

    // Given a file size limit far below what is written (root is not exempt)...
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    // ...when the save runs into it...
    const FileResult result = SaveTextLines(file, std::vector<std::string>(2000, "0123456789"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    // ...then it reports the failure and the previous file is whole.
    EXPECT_EQ(result.status, FileResult::Status::Failed);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(TempFolder::Slurp(file), previous);
    EXPECT_EQ(folder.EntryCount(), 1u);
}
#endif

TEST(SafeSave, ALineBreakInsideAValueIsRefusedBeforeWriting) {
    TempFolder folder;
    const auto file = folder / "config.txt";
    TempFolder::Put(file, "previous");
    EXPECT_FALSE(SaveTextLines(file, {"Tag = A\r\nDate = X"}).ok());
    EXPECT_EQ(TempFolder::Slurp(file), "previous");
}
