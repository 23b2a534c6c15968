// Language texts without a window: the shipped English file as the
// command-line tool reads it, and files it must not take.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "resources/LanguageTexts.h"

namespace qt40 {
namespace {

std::filesystem::path EnglishFile() {
    return ProgramDir() / "English.lng";
}

TEST(LanguageTextsTest, ShippedEnglishTextsAreFilledInAsTheWindowFillsThem) {
    LanguageTexts texts;
    ASSERT_TRUE(texts.Load(EnglishFile()));
    ASSERT_TRUE(texts.Loaded());
    struct Row {
        const char* section;
        const char* key;
        MessageArgs args;
        std::string text;
    };
    const Row rows[] = {
        {"UIMsg",
         "Err_Temp_Step",
         {std::string("0")},
         "The temperature step 0 is out of range (1 to 50)."},
        {"UIMsg",
         "Err_CustomTable_Data_Bound2",
         {1LL, std::string("0"), 1LL, 0LL, 4000LL, std::string("ohms")},
         "Point 1: the value 0 is not valid.\nThe value of point 1 must be greater than 0 and at "
         "most 4000 ohms."},
        // Line breaks and "%%" of a formatted text.
        {"UIMsg",
         "Err_Special_Table_Data_Bound_Y",
         {2LL, std::string("120"), 0LL, 100LL},
         "Point 2: Y = 120 is out of range.\nY must lie between 0 and 100 %."},
        // Verbatim texts stand as written, "%" and all.
        {"UIMsg", "SC_Table_Y_Unit", {}, "%"},
        {"ProgressMsg", "Storing_Table", {}, "The device is storing the table. Please wait..."},
        // Arguments that do not fit: the text as it stands, nothing read that was not passed.
        {"UIMsg", "Err_Temp_Step", {}, "The temperature step %s is out of range (1 to 50)."},
        {"UIMsg", "No_Such_Key", {}, ""},
        {"DisplayMsg", "Err_Temp_Step", {std::string("0")}, ""},
        {"UIMsg", "Err_Temp_Step' or '1'='1", {}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(texts.Text(row.section, row.key, row.args), row.text);
        if (std::string(row.section) == "UIMsg" && std::string(row.key) != "SC_Table_Y_Unit") {
            EXPECT_EQ(texts.Message(row.key, row.args), row.text);
        }
    }
}

TEST(LanguageTextsTest, OnlyAReadableLanguageFileIsTaken) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const auto write = [&](const char* name, const std::string& content) {
        std::ofstream(folder / name) << content;
        return folder / name;
    };
    const std::string body =
        "<UIMsg><text name=\"Err_Temp_Step\">Step %s</text>"
        "<text name=\"Message_Box\">100%% sure</text></UIMsg></root>";
    struct Row {
        std::filesystem::path file;
        bool loads;
    };
    const Row rows[] = {
        {folder / "missing.lng", false},
        {write("broken.lng", "<root><application>QT40CON</application"), false},
        {write("other.lng",
               "<root><application>OTHER</application><filetype>language</filetype>"
               "<language>English</language>" +
                   body),
         false},
        {write("nameless.lng",
               "<root><application>QT40CON</application><filetype>language</filetype>" + body),
         false},
        {write("good.lng",
               "<root><application>QT40CON</application><filetype>language</filetype>"
               "<language>Test</language>" +
                   body),
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file.string());
        LanguageTexts texts;
        EXPECT_EQ(texts.Load(row.file), row.loads);
        EXPECT_EQ(texts.Loaded(), row.loads);
        EXPECT_EQ(texts.Message("Err_Temp_Step", {std::string("5")}), row.loads ? "Step 5" : "");
    }

    // A failed load drops the texts held before.
    LanguageTexts texts;
    ASSERT_TRUE(texts.Load(folder / "good.lng"));
    EXPECT_EQ(texts.Text("UIMsg", "Message_Box"), "100%% sure");  // verbatim
    EXPECT_FALSE(texts.Load(folder / "missing.lng"));
    EXPECT_EQ(texts.Message("Err_Temp_Step", {std::string("5")}), "");
}

}  // namespace
}  // namespace qt40
