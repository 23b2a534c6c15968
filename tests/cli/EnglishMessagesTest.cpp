// The command-line tool's messages in the words of English.lng, and the key
// form it falls back to when it finds no language file.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/CliApp.h"
#include "cli/EnglishMessages.h"

namespace qt40::cli {
namespace {

// The English file found again as the program finds it, whatever a test chose.
struct EnglishFileScope {
    explicit EnglishFileScope(const std::filesystem::path& file) { UseEnglishFile(file); }
    ~EnglishFileScope() { UseEnglishFile({}); }
};

struct Ran {
    int code = -1;
    std::string err;
};

Ran RunInProcess(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliApp app(out, err);
    Ran r;
    r.code = app.Run(args);
    r.err = err.str();
    return r;
}

// The program itself, stderr only.
Ran RunProgram(const std::filesystem::path& exe, const std::string& args) {
    const std::string command = "'" + exe.string() + "' " + args + " 2>&1 >/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    Ran r;
    if (pipe == nullptr) return r;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) r.err += buffer;
    const int status = ::pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(EnglishMessagesTest, LineBreaksJoinIntoOneLine) {
    struct Row {
        std::string text;
        std::string line;
    };
    const Row rows[] = {
        {"Retry the search?", "Retry the search?"},
        {"First.\nSecond.", "First. Second."},
        {"Between X and Y:\n50;40\nReading stopped.", "Between X and Y: 50;40; Reading stopped."},
        {"Range: 1 to 5 mA\r\nEnter it", "Range: 1 to 5 mA; Enter it"},
        {"Saved.\n\n\nDone ", "Saved. Done"},
        {"Trailing break.\n", "Trailing break."},
        {"\nLeading break", "Leading break"},
    };
    for (const Row& row : rows) EXPECT_EQ(OneLine(row.text), row.line) << row.text;
}

TEST(EnglishMessagesTest, KeysBecomeTheirWordsOrStayKeysWithoutTheFile) {
    struct Row {
        std::string key;
        MessageArgs args;
        std::string words;     // English.lng found beside the program
        std::string fallback;  // no language file
    };
    const Row rows[] = {
        {"Err_Temp_Step",
         {std::string("0")},
         "The temperature step 0 is out of range (1 to 50).",
         "Err_Temp_Step: 0"},
        {"Err_Special_Table_No_Comma",
         {3LL, std::string("50;40")},
         "Line 3 of the file has no comma between X and Y: 50;40; Reading the file stopped there.",
         "Err_Special_Table_No_Comma: 3, 50;40"},
        {"XFER_Error_SC",
         {},
         "The transfer function is Special Curve. Select another transfer function before "
         "writing the special curve.",
         "XFER_Error_SC"},
        // A key the file does not hold is named as before.
        {"No_Such_Key", {1.5}, "No_Such_Key: 1.5", "No_Such_Key: 1.5"},
    };
    for (const Row& row : rows) EXPECT_EQ(DescribeMessage(row.key, row.args), row.words);
    EXPECT_EQ(EnglishText("ProgressMsg", "Storing_Table"),
              "The device is storing the table. Please wait...");

    QTemporaryDir dir;
    const EnglishFileScope missing(std::filesystem::path(dir.path().toStdString()) / "none.lng");
    for (const Row& row : rows) EXPECT_EQ(DescribeMessage(row.key, row.args), row.fallback);
    EXPECT_FALSE(EnglishMessage("Err_Temp_Step", {std::string("0")}));
    EXPECT_FALSE(EnglishText("ProgressMsg", "Storing_Table"));
}

TEST(EnglishMessagesTest, TheCommandsSpeakWordsAndFallBackToKeys) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const std::filesystem::path table = folder / "t.txt";
    std::ofstream(table) << "Minimum = 0\n{\n1\n2\n}\n";
    const std::string check = "table check --kind tc --in '" + table.string() + "'";
    const std::string words =
        "qt40cfg-cli: " + table.string() + ": The temperature step 0 is out of range (1 to 50).\n";
    const std::string key = "qt40cfg-cli: " + table.string() + ": Err_Temp_Step: 0\n";

    Ran r = RunInProcess({"table", "check", "--kind", "tc", "--in", table.string()});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err, words);
    {
        const EnglishFileScope missing(folder / "none.lng");
        r = RunInProcess({"table", "check", "--kind", "tc", "--in", table.string()});
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_EQ(r.err, key);
    }

    // The program finds English.lng beside itself; a copy alone in a folder
    // without one still runs and names the key.
    r = RunProgram(QT40_CLI_EXE, check);
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err, words);
    const std::filesystem::path lonely = folder / "bin" / "qt40cfg-cli";
    std::filesystem::create_directories(lonely.parent_path());
    std::filesystem::copy_file(QT40_CLI_EXE, lonely);
    r = RunProgram(lonely, check);
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err, key);

    // An installed program finds it in the data folder.
    const std::filesystem::path data = folder / "share" / "qt40cfg";
    std::filesystem::create_directories(data);
    std::filesystem::copy_file(std::filesystem::path(QT40_CLI_EXE).parent_path() / "English.lng",
                               data / "English.lng");
    r = RunProgram(lonely, check);
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err, words);
}

}  // namespace
}  // namespace qt40::cli
