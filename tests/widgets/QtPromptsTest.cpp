// The Qt answers to modal questions: real boxes and dialogs, language texts
// from a file, and the worker's pause flag around each question.

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "tests/widgets/LanguageFixture.h"
#include "tests/widgets/ModalDriver.h"
#include "widgets/CSelectListBox.h"
#include "widgets/CValidateNumber.h"
#include "widgets/CValidateText.h"
#include "widgets/QtPrompts.h"

namespace qt40 {
namespace {

using test::Type;
using test::WhenModal;

class QtPromptsTest : public ::testing::Test {
protected:
    test::QtApp qt;
    test::LanguageFixture language;
    std::vector<bool> pauses;
    QtPrompts prompts{language.Database(), nullptr, [this](bool on) { pauses.push_back(on); }};
};

QMessageBox::StandardButtons ButtonsOf(const QMessageBox* box) {
    QMessageBox::StandardButtons buttons;
    for (QAbstractButton* button : box->buttons()) buttons |= box->standardButton(button);
    return buttons;
}

struct BoxRow {
    const char* name;
    BoxType type;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    int press;  // a standard button, or Qt::Key_Escape
    Answer answer;
    bool onTop = false;
};

void PrintTo(const BoxRow& row, std::ostream* os) {
    *os << row.name;
}

class QtPromptsBoxes : public QtPromptsTest, public ::testing::WithParamInterface<BoxRow> {};

TEST_P(QtPromptsBoxes, ShowTheLanguageTextsAndReturnTheButtonPressed) {
    const BoxRow& row = GetParam();
    QString caption, text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::vector<bool> pausesWhileOpen;
    bool onTop = false;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        caption = box->windowTitle();
        text = box->text();
        buttons = ButtonsOf(box);
        icon = box->icon();
        onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        pausesWhileOpen = pauses;
        if (row.press == Qt::Key_Escape) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(static_cast<QMessageBox::StandardButton>(row.press))->click();
        }
    });
    EXPECT_EQ(prompts.Message("Err_COM", {std::string("COM3")}, row.type), row.answer);
    EXPECT_EQ(caption, "Box caption");
    EXPECT_EQ(text, "No answer on COM3.");
    EXPECT_EQ(buttons, row.buttons);
    EXPECT_EQ(icon, row.icon);
    EXPECT_EQ(onTop, row.onTop);
    EXPECT_EQ(pausesWhileOpen, std::vector<bool>{true});
    EXPECT_EQ(pauses, (std::vector<bool>{true, false}));
}

INSTANTIATE_TEST_SUITE_P(
    Types, QtPromptsBoxes,
    ::testing::Values(BoxRow{"OkWarning", BoxType::OkWarning, QMessageBox::Ok, QMessageBox::Warning,
                             QMessageBox::Ok, Answer::Ok},
                      BoxRow{"OkEscape", BoxType::OkInformation, QMessageBox::Ok,
                             QMessageBox::Information, Qt::Key_Escape, Answer::Ok},
                      BoxRow{"YesNo", BoxType::YesNoQuestion, QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::Question, QMessageBox::No, Answer::No},
                      BoxRow{"OkCancelEscape", BoxType::OkCancelWarning,
                             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning,
                             Qt::Key_Escape, Answer::Cancel},
                      BoxRow{"RetryCancelSystemModal", BoxType::RetryCancelInfoSystemModal,
                             QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Information,
                             QMessageBox::Retry, Answer::Retry, true},
                      BoxRow{"YesNoCancelSystemModal", BoxType::YesNoCancelInfoSystemModal,
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                             QMessageBox::Information, QMessageBox::Yes, Answer::Yes, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(QtPromptsTest, MessageWithCaptionKeepsTheKeysText) {
    QString caption, text;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        caption = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(prompts.MessageWithCaption("Err_COM", {std::string("COM1")}, BoxType::YesNoQuestion,
                                         "QT40CFG 0.1.0"),
              Answer::Yes);
    EXPECT_EQ(caption, "QT40CFG 0.1.0");
    EXPECT_EQ(text, "No answer on COM1.");
}

TEST_F(QtPromptsTest, EntryErrorBoxKeepsTheWorkerPausedUntilTheDialogCloses) {
    NumberEntry entry;
    entry.titleKey = "Set_Damping_Value_Title";
    entry.promptKey = "Set_Damping_val";
    entry.minimum = 0.5;
    entry.maximum = 30;
    entry.zeroAllowed = true;
    QString title, prompt, boxText, boxCaption;
    std::vector<bool> pausesAtBox, pausesAfterBox;
    bool boxOwnedByDialog = false;
    WhenModal<CValidateNumber>([&](CValidateNumber* d) {
        title = d->windowTitle();
        prompt = d->PromptLabel()->text();
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            boxCaption = box->windowTitle();
            boxText = box->text();
            pausesAtBox = pauses;
            boxOwnedByDialog = box->parentWidget() == d;
            box->button(QMessageBox::Ok)->click();
        });
        Type(d->Edit(), "0.2");
        QTest::keyClick(d->Edit(), Qt::Key_Return);  // returns once the box is answered
        pausesAfterBox = pauses;
        Type(d->Edit(), "12");
        QTest::keyClick(d->Edit(), Qt::Key_Return);
    });
    const std::optional<NumberResult> result = prompts.EnterNumber(entry);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->formattedText, "12.000");
    EXPECT_EQ(title, "PV Damping");
    EXPECT_EQ(prompt, "Damping in s");
    EXPECT_EQ(boxCaption, "Box caption");
    EXPECT_EQ(boxText, "Out of range");
    EXPECT_TRUE(boxOwnedByDialog);
    EXPECT_EQ(pausesAtBox, std::vector<bool>{true});
    EXPECT_EQ(pausesAfterBox, std::vector<bool>{true});
    EXPECT_EQ(pauses, (std::vector<bool>{true, false}));
}

TEST_F(QtPromptsTest, PromptTextsAreFormattedWithTheCallersArguments) {
    NumberEntry entry;
    entry.promptKey = "Set_Upper_Range";
    entry.promptArgs = {std::string("-200.000"), std::string("850.000"), std::string("degC")};
    QString prompt;
    WhenModal<CValidateNumber>([&](CValidateNumber* d) {
        prompt = d->PromptLabel()->text();
        d->CancelButton()->click();
    });
    EXPECT_FALSE(prompts.EnterNumber(entry));
    EXPECT_EQ(prompt, "Upper range -200.000 .. 850.000 degC");
    EXPECT_EQ(pauses, (std::vector<bool>{true, false}));
}

TEST_F(QtPromptsTest, TextOverflowBoxCarriesTheLimit) {
    TextEntry entry;
    entry.titleKey = "Set_Tag_Text_Title";
    entry.lengthLimit = 8;
    QString boxText;
    WhenModal<CValidateText>([&](CValidateText* d) {
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            boxText = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        Type(d->Edit(), "ABCDEFGHI");
        d->OkButton()->click();
        d->Edit()->setText("TT-101");
        d->OkButton()->click();
    });
    EXPECT_EQ(prompts.EnterText(entry), std::optional<std::string>("TT-101"));
    EXPECT_EQ(boxText, "At most 8 characters");
    EXPECT_EQ(pauses, (std::vector<bool>{true, false}));
}

TEST_F(QtPromptsTest, SelectTitlesTheListAndReturnsTheCode) {
    Selection selection;
    selection.titleKey = "Select_PV_Unit";
    selection.names = {"degC", "degF"};
    selection.codes = {"32", "33"};
    selection.preselectName = "degF";
    QString title;
    WhenModal<CSelectListBox>([&](CSelectListBox* d) {
        title = d->windowTitle();
        QTest::keyClick(d->List(), Qt::Key_Return);
    });
    const std::optional<SelectionResult> result = prompts.Select(selection);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->code, 33);
    EXPECT_EQ(title, "PV Unit");
    EXPECT_EQ(pauses, (std::vector<bool>{true, false}));
}

TEST_F(QtPromptsTest, SaveFileNameAddsTheDefaultSuffixUnderTheConvertedFilter) {
    QTemporaryDir dir;
    FileRequest request;
    request.filter = "Configuration Files (*.cfg)|*.cfg|All Files (*.*)|*.*||";
    request.defaultSuffix = "cfg";
    request.initialPath = dir.path().toStdString();
    QStringList filters;
    WhenModal<QFileDialog>([&](QFileDialog* d) {
        filters = d->nameFilters();
        d->selectFile(QStringLiteral("plant1"));
        static_cast<QDialog*>(d)->accept();  // the dialog's own check of the name runs
    });
    const std::optional<std::string> path = prompts.SaveFileName(request);
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, (dir.path() + "/plant1.cfg").toStdString());
    EXPECT_EQ(filters, (QStringList{"Configuration Files (*.cfg)", "All Files (*.*)"}));
    EXPECT_EQ(pauses, (std::vector<bool>{true, false}));
}

TEST_F(QtPromptsTest, CancelledOpenFileNameGivesNothing) {
    WhenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_FALSE(prompts.OpenFileName(FileRequest{}));
    EXPECT_EQ(pauses, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace qt40
