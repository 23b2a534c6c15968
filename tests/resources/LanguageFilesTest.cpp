// The shipped language files, as copied beside this test's executable.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <fstream>
#include <set>

#include "resources/CResourceDatabase.h"
#include "resources/LanguageFileCheck.h"
#include "resources/LanguageTexts.h"
#include "resources/MessageBoxConvention.h"
#include "resources/MessageCatalog.h"

namespace qt40 {
namespace {

std::filesystem::path ExecutableDir() {
    return ProgramDir();
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
}

class ShippedLanguageFileTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedLanguageFileTest, MatchesTheCatalogue) {
    const auto path = ExecutableDir() / GetParam();
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    const auto problems = CheckLanguageFile(path);
    EXPECT_TRUE(problems.empty()) << Joined(problems);
}

TEST_P(ShippedLanguageFileTest, LoadsUnderItsDefaultDisplayName) {
    CResourceDatabase database(ExecutableDir());
    database.Init();
    database.Load(GetParam());
    const std::string file = GetParam();
    EXPECT_EQ(database.LanguageName(), file.substr(0, file.find('.')));
    EXPECT_FALSE(database.UIMsg("Message_Box").empty());
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguageFileTest,
                         ::testing::Values("English.lng", "Japanese.lng"), [](const auto& info) {
                             const std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(ShippedLanguageFileTest, EveryFormattedTextFormatsWithItsCallersArguments) {
    CResourceDatabase database(ExecutableDir());
    database.Init();
    database.Load("English.lng");
    const MessageArgs args = {7LL, std::string("-100.000"), 3LL, -100LL, 800LL, std::string("mV")};
    EXPECT_EQ(ComposeMessageBox(database, "Err_CustomTable_Data_Bound", args).text,
              "Point 7: the value -100.000 is not valid.\n"
              "The value of point 3 must lie between -100 and 800 mV.");
    EXPECT_EQ(ComposeMessageBox(database, "Confr_Search_Address", {7LL}).text.find("%"),
              std::string::npos);
}

// The check itself must catch a broken file, naming file and key.
TEST(LanguageFileCheckTest, NamesFileAndKeyOfEveryProblem) {
    QTemporaryDir dir;
    const auto path = std::filesystem::path(dir.path().toStdString()) / "Broken.lng";
    std::ofstream(path) << "<root><application>QT40CON</application><filetype>language</filetype>"
                           "<language>Broken</language>"
                           "<gui name=\"143\"><text name=\"1037\">ok</text>"
                           "<text name=\"4242\">no such control</text></gui>"
                           "<gui name=\"999\"><text name=\"0\">no such dialog</text></gui>"
                           "<UIMsg><text name=\"Err_COM\">%d failed</text>"
                           "<text name=\"Err_Span\">%s only</text>"
                           "<text name=\"Err_Range_Input\">%s%s%s%n</text>"
                           "<text name=\"Err_Typo\">x</text></UIMsg></root>";
    const std::string report = Joined(CheckLanguageFile(path));
    for (const char* expected :
         {"Broken.lng: Err_COM: argument 1 is passed as text but read as integer",
          "Broken.lng: Err_Span: argument 2 is never shown",
          "Broken.lng: Err_Range_Input: unsupported conversion '%n'",
          "Broken.lng: Err_Typo: not a key of section UIMsg",
          "Broken.lng: gui 143 text 4242: no such control", "Broken.lng: gui 999: no such dialog",
          "Broken.lng: Apllication_Close: missing or empty in section UIMsg",
          "Broken.lng: Set_Xfer: missing or empty in section TitleMsg"}) {
        EXPECT_NE(report.find(expected), std::string::npos) << expected << "\nin:\n" << report;
    }
    EXPECT_EQ(report.find("gui 143 text 1037"), std::string::npos);
}

TEST(MessageCatalogTest, HoldsEveryKeyOfEachSectionOnce) {
    std::map<std::string_view, int> perSection;
    std::set<std::pair<std::string_view, std::string_view>> seen;
    for (const auto& info : MessageCatalog::Keys()) {
        ++perSection[info.section];
        EXPECT_TRUE(seen.insert({info.section, info.key}).second) << info.key;
        if (info.use == TextUse::Verbatim) {
            EXPECT_TRUE(info.args.empty()) << info.key;
        }
    }
    // The 49 message-box texts, and two for tables refused before a write:
    // one without points, one whose file text does not fit; five for saving a
    // graph (two menu texts, two file filters, the failure) and the titles of
    // its two file dialogs; three for a port that will not open; three for
    // tables (a coefficient too long, a curve line without comma, a device
    // table larger than the record); two for a download stopped at a row; two for the
    // calibrated wire resistance refused and the fixed current left set.
    EXPECT_EQ(perSection["UIMsg"], 66);
    EXPECT_EQ(perSection["DisplayMsg"], 30);
    EXPECT_EQ(perSection["TitleMsg"], 47);
    EXPECT_EQ(perSection["ProgressMsg"], 10);  // with the device storing a table
    EXPECT_EQ(perSection.size(), 4u);
    ASSERT_NE(MessageCatalog::FindKey("UIMsg", "Err_Span"), nullptr);
    EXPECT_EQ(MessageCatalog::FindKey("UIMsg", "Err_Span")->args,
              (std::vector<ArgType>{ArgType::Text, ArgType::Text}));
    EXPECT_EQ(MessageCatalog::FindKey("DisplayMsg", "Err_Span"), nullptr);
}

TEST(MessageCatalogTest, KnowsTheRelabelledDialogsOnly) {
    std::set<int> ids;
    for (const auto& dialog : MessageCatalog::Dialogs()) EXPECT_TRUE(ids.insert(dialog.id).second);
    EXPECT_EQ(
        ids, (std::set<int>{102, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 142,
                            143, 144, 145, 147, 149, 150, 153, 159, 164, 165, 167, 168, 169, 170}));
    EXPECT_TRUE(MessageCatalog::HasControl(164, 1275));
    EXPECT_TRUE(MessageCatalog::HasControl(150, 0));
    EXPECT_FALSE(MessageCatalog::HasControl(164, 1341));  // filled at run time
    EXPECT_FALSE(MessageCatalog::HasControl(154, 0));     // upload window: not relabelled
}

}  // namespace
}  // namespace qt40
