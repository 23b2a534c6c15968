// The shipped language files, as copied beside this test's executable.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <fstream>
#include <map>
#include <set>

#include "resources/CResourceDatabase.h"
#include "resources/LanguageFileCheck.h"
#include "resources/LanguageTexts.h"
#include "resources/MessageBoxConvention.h"
#include "resources/MessageCatalog.h"
#include "transport/HartIpFailure.h"
#include "transport/HartIpHeader.h"

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
    EXPECT_EQ(ComposeMessageBox(database, "Confr_Search_Address",
                                {7LL, std::string("TT-101"), std::string("1193046")})
                  .text,
              "A device answered at polling address 7: tag TT-101, device ID 1193046.\n"
              "Connect to this device?\n(No: go on searching, Cancel: stop searching)");
}

// Every way a HART-IP connection can fail reaches the user in words, in both
// languages, naming the endpoint; none falls back to the key.
TEST_P(ShippedLanguageFileTest, WordsEveryHartIpFailure) {
    CResourceDatabase database(ExecutableDir());
    database.Init();
    database.Load(GetParam());
    using K = HartIpFailureKind;
    std::vector<HartIpFailure> failures;
    for (K kind :
         {K::BadUrl, K::HostNotFound, K::Refused, K::NoConnection, K::ConnectionLost, K::NoAnswer,
          K::BadAnswer, K::NetworkError, K::SecuredOnly, K::SilentToV1, K::OtherVersion}) {
        failures.push_back({kind, "hartip://gw:5094", 0, false, 3000, "Connection timed out"});
    }
    for (int status : {2, 5, 14, 15, 16, 77}) {
        failures.push_back({K::SessionRefused, "hartip://gw:5094", status, false, 0, ""});
    }
    for (int code : {0, 1, 2, 9})
        failures.push_back({K::ErrorMessage, "hartip://gw:5094", code, false, 0, ""});
    failures.push_back({K::ErrorMessage, "hartip://gw:5094", 16, true, 0, ""});
    failures.push_back({K::BadUrl, "hartip://gw:5094", 0, false, 0, ""});  // no reason known
    std::set<std::string> keys;
    for (const HartIpFailure& failure : failures) {
        const auto message = HartIpFailureMessage(failure);
        ASSERT_TRUE(message.has_value());
        SCOPED_TRACE(message->key);
        keys.insert(message->key);
        ASSERT_NE(MessageCatalog::FindKey("UIMsg", message->key), nullptr);
        const std::string text = ComposeMessageBox(database, message->key, message->args).text;
        EXPECT_NE(text.find("hartip://gw:5094"), std::string::npos) << text;
        EXPECT_EQ(text.find('%'), std::string::npos) << text;
    }
    // With a URL's fault, session status 2, secured HART-IP only, silence to
    // version 1 and another version.
    EXPECT_EQ(keys.size(), 17u + 5u);
}

// Every text of a language file by where it sits: "gui 141 1515", "UIMsg Err_COM".
std::map<std::string, std::string> TextsOf(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    std::map<std::string, std::string> texts;
    if (!file.open(QIODevice::ReadOnly)) return texts;
    QXmlStreamReader xml(&file);
    std::string section;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement()) continue;
        const QString name = xml.name().toString();
        if (name == "gui") {
            section = "gui " + xml.attributes().value("name").toString().toStdString();
        } else if (name == "text") {
            const std::string key =
                section + " " + xml.attributes().value("name").toString().toStdString();
            texts[key] = xml.readElementText().toStdString();
        } else if (name != "root") {
            section = name.toStdString();
        }
    }
    return texts;
}

// One thing, one Japanese term: wherever the English file says the same, the
// Japanese file does too, and the terms once used beside the chosen ones are gone.
TEST(ShippedLanguageFileTest, JapaneseNamesEachThingOneWay) {
    const auto english = TextsOf(ExecutableDir() / "English.lng");
    const auto japanese = TextsOf(ExecutableDir() / "Japanese.lng");
    ASSERT_FALSE(english.empty());
    // Short forms where the room is short, and unit captions a file carries as they are.
    const std::set<std::string> allowed = {"polling address", "ohms"};
    std::map<std::string, std::set<std::string>> termsOf;
    for (const auto& [key, text] : english) {
        const auto it = japanese.find(key);
        if (it == japanese.end()) continue;
        std::string lower;
        for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!allowed.count(lower)) termsOf[lower].insert(it->second);
    }
    for (const auto& [text, terms] : termsOf) {
        EXPECT_EQ(terms.size(), 1u) << "\"" << text << "\" is named " << terms.size() << " ways";
    }
    const char* retired[] = {"出力特性",   "ファイナルアセンブリ",
                             "断線検出",   "カスタム熱電対",
                             "センサ線数", "結線方式",
                             "固定CJC",    "書込",
                             "読込",       "抵抗器"};
    for (const auto& [key, text] : japanese) {
        for (const char* term : retired) {
            EXPECT_EQ(text.find(term), std::string::npos) << key << ": " << text;
        }
    }
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
    // calibrated wire resistance refused and the fixed current left set; two
    // for a line that cannot carry a frame (port vanished, carrier stuck);
    // three for values the device cannot hold (a packed character, a download
    // stopped at one, a date); seventeen for HART-IP connections and exchanges
    // that failed; 130 for the records (report and loop-check sheet, their
    // dialog and CLI, a read that failed, the page number and page mark, a
    // status bit without a name, a report refused while not connected, the
    // sheet's range, stop reasons, release and DAC trim); nineteen for the
    // traffic window; eight for a device that stayed busy or whose delayed
    // response died, a HART-IP gateway of the secured version only, silent to
    // version 1 or answering in another, a URL with its fault, session status
    // 2, and the stored time-out refused; twenty for the main window (status
    // box tips, the traffic button, the title, no device at an address, the
    // fixed-current guidance); one for a connection whose reading is refused;
    // three for the loop check's runs (a point taken again, its tip, a run
    // replaced); eight for a device behind an I/O system (no answer on its
    // card and channel, still delayed at the time-out, no such card, no such
    // channel, another refusal, an answer that is not whole, an answer for
    // another card and channel, no I/O system identity).
    EXPECT_EQ(perSection["UIMsg"], 88 + 130 + 19 + 8 + 20 + 1 + 3 + 8);
    // With the two choices of the serial line; and the traffic decoder's
    // words: 63 command names, 34 response texts (one for a code nobody
    // named), the communication error and its six flags, eight status bits,
    // eleven ways an exchange ends, a frame without a response code, and 28
    // for HART-IP messages; 83 names of data fields and eleven words of the
    // detail pane; and for the I/O system's commands 74, 77 and 84 their
    // three names, command 77's two own response texts and 18 data fields.
    EXPECT_EQ(perSection["DisplayMsg"], 32 + 63 + 34 + 7 + 8 + 11 + 1 + 28 + 83 + 11 + 3 + 2 + 18);
    // And the save dialogs of the records and of the traffic window (all
    // rows, or only those a filter shows).
    EXPECT_EQ(perSection["TitleMsg"], 47 + 2 + 4);
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
