#include "resources/CResourceDatabase.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <fstream>

#include "resources/CPrivateException.h"
#include "resources/CXmlReaderWriter.h"
#include "resources/MessageBoxConvention.h"

namespace qt40 {
namespace {

struct QtApp {
    int argc = 1;
    char name[16] = "resources_tests";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
};

std::string Header(const std::string& application = "QT40CON",
                   const std::string& filetype = "language",
                   const std::string& language = "<language>English</language>") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root>\n<application>" + application +
           "</application>\n<filetype>" + filetype + "</filetype>\n" + language + "\n";
}

class ResourceDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        database_.Init();
    }

    void Write(const std::string& name, const std::string& content) {
        std::ofstream(Path() / name, std::ios::binary) << content;
    }
    std::filesystem::path Path() const { return dir_.path().toStdString(); }

    // The text of the exception Load throws, or "" when it loads.
    std::string LoadError(const std::string& name) {
        try {
            database_.Load(name);
        } catch (const CPrivateException& e) {
            return e.Text();
        }
        return {};
    }

    QTemporaryDir dir_;
    CResourceDatabase database_{Path()};
};

const std::string kGood = Header() +
                          "<gui name=\"130\"><text name=\"0\">Caption</text>"
                          "<text name=\"1001\">Direct</text><text name=\"1002\">Nested</text>"
                          "<text name=\"1003\"></text><text name=\"-1\">Static</text>"
                          "<text name=\"1004\">Group</text></gui>\n"
                          "<UIMsg><text name=\"Message_Box\">Box</text>"
                          "<text name=\"Err_COM\">Port %s failed &amp; stopped</text></UIMsg>\n"
                          "<TitleMsg><text name=\"Set_Xfer\">Transfer</text></TitleMsg>\n"
                          "</root>\n";

TEST_F(ResourceDatabaseTest, EmptyDatabaseYieldsEmptyTexts) {
    EXPECT_EQ(database_.UIMsg("Message_Box"), "");
    EXPECT_EQ(database_.LanguageName(), "");
    EXPECT_EQ(database_.GuiText(130, 0), "");
}

TEST_F(ResourceDatabaseTest, LooksUpByExactSectionAndKey) {
    Write("good.lng", kGood);
    ASSERT_EQ(LoadError("good.lng"), "");
    EXPECT_EQ(database_.LanguageName(), "English");
    EXPECT_EQ(database_.UIMsg("Err_COM"), "Port %s failed & stopped");
    EXPECT_EQ(database_.TitleMsg("Set_Xfer"), "Transfer");
    EXPECT_EQ(database_.GuiText(130, 1001), "Direct");
    EXPECT_EQ(database_.GuiText(130, -1), "Static");
    // Case-sensitive, section-bound, and safe against keys that break the path.
    EXPECT_EQ(database_.UIMsg("err_com"), "");
    EXPECT_EQ(database_.DisplayMsg("Err_COM"), "");
    EXPECT_EQ(database_.UIMsg("x']|//*[name()='"), "");
    EXPECT_EQ(database_.SectionText("No Such Section", "Err_COM"), "");
    EXPECT_EQ(database_.Lookup("///"), "");
}

struct HeaderRow {
    const char* name;
    std::string content;
};

void PrintTo(const HeaderRow& row, std::ostream* os) {
    *os << row.name;
}

class RejectedHeaderTest : public ResourceDatabaseTest,
                           public ::testing::WithParamInterface<HeaderRow> {};

TEST_P(RejectedHeaderTest, IsIllegalFormat) {
    Write("bad.lng", GetParam().content);
    EXPECT_EQ(LoadError("bad.lng"), "Can't read resource file \"bad.lng\".\nIllegal format");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RejectedHeaderTest,
    ::testing::Values(HeaderRow{"WrongApplication", Header("QT40CFG") + "</root>"},
                      HeaderRow{"WrongFiletype", Header("QT40CON", "config") + "</root>"},
                      HeaderRow{"CaseOfFiletype", Header("QT40CON", "Language") + "</root>"},
                      HeaderRow{"EmptyLanguage",
                                Header("QT40CON", "language", "<language></language>") + "</root>"},
                      HeaderRow{"NoLanguage", Header("QT40CON", "language", "") + "</root>"},
                      HeaderRow{"OtherRoot",
                                "<lang><application>QT40CON</application><filetype>language"
                                "</filetype><language>X</language></lang>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResourceDatabaseTest, MalformedFileKeepsThePreviousTexts) {
    Write("good.lng", kGood);
    Write("broken.lng", Header() + "<UIMsg>\n<text name=\"a\">x</txet>\n</UIMsg></root>");
    ASSERT_EQ(LoadError("good.lng"), "");

    const std::string error = LoadError("broken.lng");
    EXPECT_EQ(error.rfind("Can't read resource file \"broken.lng\".\nline: 7\nsrc text: "
                          "<text name=\"a\">x</txet>\nreason: ",
                          0),
              0u)
        << error;
    EXPECT_EQ(database_.UIMsg("Err_COM"), "Port %s failed & stopped");
}

TEST_F(ResourceDatabaseTest, WellFormedFileWithWrongHeaderReplacesTheTexts) {
    Write("good.lng", kGood);
    Write("other.lng", Header("QT40CON", "other") +
                           "<UIMsg><text name=\"Err_COM\">new</text>"
                           "</UIMsg></root>");
    ASSERT_EQ(LoadError("good.lng"), "");
    EXPECT_NE(LoadError("other.lng"), "");
    EXPECT_EQ(database_.UIMsg("Err_COM"), "new");
}

TEST_F(ResourceDatabaseTest, MissingFileIsReportedWithItsName) {
    const std::string error = LoadError("absent.lng");
    EXPECT_EQ(error.rfind("Can't read resource file \"absent.lng\".\nline: 0\n", 0), 0u) << error;
}

TEST_F(ResourceDatabaseTest, LoadStaysInsideTheLanguageDirectory) {
    QTemporaryDir outside;
    std::ofstream(outside.filePath("good.lng").toStdString()) << kGood;
    Write("good.lng", Header("QT40CON", "language", "<language>Inside</language>") + "</root>");
    const std::string sneaky =
        (std::filesystem::path(outside.path().toStdString()) / "good.lng").string();
    ASSERT_EQ(LoadError(sneaky), "");
    EXPECT_EQ(database_.LanguageName(), "Inside");
}

TEST_F(ResourceDatabaseTest, RelabelChangesOnlyDirectChildrenWithATextInTheFile) {
    QtApp qt;
    Write("good.lng", kGood);
    ASSERT_EQ(LoadError("good.lng"), "");

    QWidget dialog;
    dialog.setWindowTitle("Built-in caption");
    auto* direct = new QPushButton("built-in 1001", &dialog);
    direct->setProperty("controlId", 1001);
    auto* empty = new QLabel("built-in 1003", &dialog);
    empty->setProperty("controlId", 1003);
    auto* absent = new QLabel("built-in 1099", &dialog);
    absent->setProperty("controlId", 1099);
    auto* unlabelled = new QLabel("no id", &dialog);
    auto* group = new QGroupBox("built-in 1004", &dialog);
    group->setProperty("controlId", 1004);
    auto* nested = new QLabel("built-in 1002", group);
    nested->setProperty("controlId", 1002);
    auto* statik = new QLabel("built-in -1", &dialog);
    statik->setProperty("controlId", -1);

    database_.Relabel(130, &dialog);

    EXPECT_EQ(dialog.windowTitle(), "Caption");
    EXPECT_EQ(direct->text(), "Direct");
    EXPECT_EQ(empty->text(), "built-in 1003");
    EXPECT_EQ(absent->text(), "built-in 1099");
    EXPECT_EQ(unlabelled->text(), "no id");
    EXPECT_EQ(group->title(), "Group");
    EXPECT_EQ(nested->text(), "built-in 1002");
    EXPECT_EQ(statik->text(), "Static");

    // A dialog without entries keeps everything.
    database_.Relabel(131, &dialog);
    EXPECT_EQ(dialog.windowTitle(), "Caption");
}

TEST_F(ResourceDatabaseTest, FormatAttackInALanguageFileIsShownUnformatted) {
    Write("attack.lng", Header() +
                            "<UIMsg><text name=\"Message_Box\">Box</text>"
                            "<text name=\"Err_Range_Input\">%s%s%s%n</text>"
                            "<text name=\"Err_COM\">%s%s%s%n</text></UIMsg></root>");
    ASSERT_EQ(LoadError("attack.lng"), "");
    const MessageBoxText noArgs = ComposeMessageBox(database_, "Err_Range_Input", {});
    EXPECT_EQ(noArgs.caption, "Box");
    EXPECT_EQ(noArgs.text, "%s%s%s%n");
    EXPECT_EQ(ComposeMessageBox(database_, "Err_COM", {std::string("COM3")}).text, "%s%s%s%n");
}

TEST_F(ResourceDatabaseTest, MessageBoxTextsComeFromTheFile) {
    Write("good.lng", kGood);
    ASSERT_EQ(LoadError("good.lng"), "");
    const MessageBoxText box = ComposeMessageBox(database_, "Err_COM", {std::string("COM3")});
    EXPECT_EQ(box.caption, "Box");
    EXPECT_EQ(box.text, "Port COM3 failed & stopped");
    const MessageBoxText missing = ComposeMessageBox(CResourceDatabase(Path()), "Err_COM", {});
    EXPECT_EQ(missing.caption, "");
    EXPECT_EQ(missing.text, "");
}

TEST(MessageBoxConventionTest, BoxTypesDecodeToButtonsIconAndModality) {
    struct Row {
        BoxType type;
        std::vector<Answer> buttons;
        BoxIcon icon;
        bool systemModal;
        bool topmost;
    };
    const Row rows[] = {
        {BoxType::OkWarning, {Answer::Ok}, BoxIcon::Warning, false, false},
        {BoxType::YesNoQuestion, {Answer::Yes, Answer::No}, BoxIcon::Question, false, false},
        {BoxType::OkCancelWarning, {Answer::Ok, Answer::Cancel}, BoxIcon::Warning, false, false},
        {BoxType::OkInformation, {Answer::Ok}, BoxIcon::Information, false, false},
        {BoxType::RetryCancelWarning,
         {Answer::Retry, Answer::Cancel},
         BoxIcon::Warning,
         false,
         false},
        {BoxType::RetryCancelInfoSystemModal,
         {Answer::Retry, Answer::Cancel},
         BoxIcon::Information,
         true,
         true},
        {BoxType::YesNoCancelInfoSystemModal,
         {Answer::Yes, Answer::No, Answer::Cancel},
         BoxIcon::Information,
         true,
         true},
        {BoxType::OkWarningSystemModal, {Answer::Ok}, BoxIcon::Warning, true, false},
        {BoxType::OkCancelWarningSystemModal,
         {Answer::Ok, Answer::Cancel},
         BoxIcon::Warning,
         true,
         false},
    };
    for (const Row& row : rows) {
        const BoxStyle style = StyleOf(row.type);
        SCOPED_TRACE(static_cast<unsigned>(row.type));
        EXPECT_EQ(style.buttons, row.buttons);
        EXPECT_EQ(style.icon, row.icon);
        EXPECT_EQ(style.systemModal, row.systemModal);
        EXPECT_EQ(style.topmost, row.topmost);
    }
}

TEST(XmlReaderWriterTest, EmptyDocumentHasOnlyItsRoot) {
    CXmlReaderWriter xml;
    xml.CreateEmpty("root");
    EXPECT_THROW(xml.SelectText("/root/language"), CPrivateException);
    EXPECT_EQ(xml.SelectText("/root"), "");
    EXPECT_THROW(xml.SelectText("[[["), CPrivateException);
}

}  // namespace
}  // namespace qt40
