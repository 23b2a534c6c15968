// The three entry dialogs, run modally and driven by keys and clicks. Error
// boxes go to scripted prompts, so each test sees exactly which key was shown.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "model/ScriptedPrompts.h"
#include "tests/widgets/LanguageFixture.h"
#include "tests/widgets/ModalDriver.h"
#include "widgets/CSelectListBox.h"
#include "widgets/CValidateNumber.h"
#include "widgets/CValidateText.h"

namespace qt40 {
namespace {

using test::Type;
using test::WhenModal;

class EntryDialogTest : public ::testing::Test {
protected:
    test::QtApp qt;
    test::LanguageFixture language;
    ScriptedPrompts messages;
};

// What happened to one typed entry.
struct Outcome {
    bool accepted = false;
    std::vector<std::string> shown;  // message keys, in order
};

std::vector<std::string> KeysOf(const ScriptedPrompts& prompts) {
    std::vector<std::string> keys;
    for (const auto& message : prompts.Messages()) keys.push_back(message.key);
    return keys;
}

// Types `text` over the selected start text and presses Enter; a dialog that
// stays open is cancelled afterwards.
template <typename Dialog>
bool TypeAndEnter(Dialog& dialog, const QString& text) {
    WhenModal<Dialog>([text](Dialog* d) {
        Type(d->Edit(), text);
        QTest::keyClick(d->Edit(), Qt::Key_Return);
        if (d->isVisible()) d->CancelButton()->click();
    });
    return dialog.exec() == QDialog::Accepted;
}

NumberEntry Damping() {
    NumberEntry entry;
    entry.minimum = 0.5;
    entry.maximum = 30.0;
    entry.zeroAllowed = true;
    entry.initialText = "2.000";
    return entry;
}

NumberEntry Wide() {
    NumberEntry entry;
    entry.minimum = -1000;
    entry.maximum = 1000;
    return entry;
}

struct NumberRow {
    const char* name;
    NumberEntry entry;
    const char* typed;
    const char* error;  // nullptr: accepted
    const char* entered = "";
    const char* formatted = "";
};

void PrintTo(const NumberRow& row, std::ostream* os) {
    *os << row.name;
}

class NumberDialogRows : public EntryDialogTest, public ::testing::WithParamInterface<NumberRow> {};

TEST_P(NumberDialogRows, EnterRunsTheCheck) {
    const NumberRow& row = GetParam();
    if (row.error != nullptr) messages.QueueAnswer(Answer::Ok);
    CValidateNumber dialog(language.Database(), messages);
    dialog.Setup("Damping", "Enter the damping", row.entry);
    const bool accepted = TypeAndEnter(dialog, QString::fromUtf8(row.typed));
    if (row.error == nullptr) {
        ASSERT_TRUE(accepted);
        EXPECT_TRUE(messages.Messages().empty());
        EXPECT_EQ(dialog.Result().enteredText, row.entered);
        EXPECT_EQ(dialog.Result().formattedText, row.formatted);
    } else {
        EXPECT_FALSE(accepted);
        EXPECT_EQ(KeysOf(messages), std::vector<std::string>{row.error});
        EXPECT_EQ(messages.Messages().front().type, BoxType::OkWarning);
        EXPECT_TRUE(messages.Messages().front().args.empty());
    }
}

NumberEntry Calibration() {
    NumberEntry entry = Wide();
    entry.rangeMessage = false;
    return entry;
}

NumberEntry Coefficient() {
    NumberEntry entry = Wide();
    entry.staging = NumberEntry::Staging::EnteredText;
    entry.stagingSuffix = "e-003";
    return entry;
}

NumberEntry HugeRange() {
    NumberEntry entry;
    entry.maximum = 1e30;
    entry.staging = NumberEntry::Staging::FormattedText;
    return entry;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, NumberDialogRows,
    ::testing::Values(
        NumberRow{"DampingZeroAllowed", Damping(), "0", nullptr, "0", "0.000"},
        NumberRow{"DampingBelowMinimum", Damping(), "0.2", "Err_Range_Input"},
        NumberRow{"DampingMaximum", Damping(), "30", nullptr, "30", "30.000"},
        NumberRow{"DampingMaximumWithDecimals", Damping(), "30.000", nullptr, "30.000", "30.000"},
        NumberRow{"DampingJustAbove", Damping(), "30.0001", "Err_Range_Input"},
        NumberRow{"Exponent", Wide(), "1e3", "Err_Range_Input"},
        NumberRow{"PlusSign", Wide(), "+5", "Err_Range_Input"},
        NumberRow{"TrailingBlank", Wide(), "5 ", "Err_Range_Input"},
        NumberRow{"TwoPoints", Wide(), "1.2.3", "Err_Range_Input"},
        NumberRow{"LeadingPoint", Wide(), ".5", nullptr, ".5", "0.500"},
        NumberRow{"TrailingPoint", Wide(), "5.", nullptr, "5.", "5.000"},
        NumberRow{"MinusPoint", Wide(), "-.5", nullptr, "-.5", "-0.500"},
        NumberRow{"LoneMinusIsZero", Wide(), "-", nullptr, "-", "0.000"},
        NumberRow{"TwentyCharactersCutTo17", Wide(), "12.34567890123456789", nullptr,
                  "12.34567890123456", "12.346"},
        NumberRow{"CalibrationMessage", Calibration(), "2000", "Err_Calibration_Value_Invalid"},
        NumberRow{"StagedWithSuffixFits", Coefficient(), "3.908300000000", nullptr,
                  "3.908300000000", "3.908"},
        NumberRow{"StagedWithSuffixTooLong", Coefficient(), "3.9083000000000", "Err_Range_Input"},
        NumberRow{"StagedFormattedTooLong", HugeRange(), "100000000000000000000",
                  "Err_Range_Input"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EntryDialogTest, NumberOpensWithZeroForAnEmptyStartAndSelectsIt) {
    for (const char* start : {"", " "}) {
        CValidateNumber dialog(language.Database(), messages);
        NumberEntry entry = Wide();
        entry.initialText = start;
        dialog.Setup("Damping", "prompt", entry);
        QString shown, selected;
        WhenModal<CValidateNumber>([&](CValidateNumber* d) {
            shown = d->Edit()->text();
            selected = d->Edit()->selectedText();
            d->OkButton()->click();
        });
        ASSERT_EQ(dialog.exec(), QDialog::Accepted) << '"' << start << '"';
        EXPECT_EQ(shown, "0");
        EXPECT_EQ(selected, "0");
        EXPECT_EQ(dialog.Result().formattedText, "0.000");
    }
}

TEST_F(EntryDialogTest, NumberRefusedStaysOpenWithTheTextSelectedThenOkTakesTheCorrection) {
    messages.QueueAnswer(Answer::Ok);
    CValidateNumber dialog(language.Database(), messages);
    dialog.Setup("Damping", "prompt", Damping());
    QString selectedAfterRefusal;
    bool openAfterRefusal = false;
    WhenModal<CValidateNumber>([&](CValidateNumber* d) {
        Type(d->Edit(), "0.2");
        d->OkButton()->click();
        openAfterRefusal = d->isVisible();
        selectedAfterRefusal = d->Edit()->selectedText();
        Type(d->Edit(), "12.5");  // replaces the selection
        d->OkButton()->click();
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(openAfterRefusal);
    EXPECT_EQ(selectedAfterRefusal, "0.2");
    EXPECT_EQ(dialog.Result().enteredText, "12.5");
    EXPECT_DOUBLE_EQ(dialog.Result().value, 12.5);
}

TEST_F(EntryDialogTest, NumberEnterOnCancelOrEscapeCancelsWithoutChecking) {
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        CValidateNumber dialog(language.Database(), messages);
        dialog.Setup("Damping", "prompt", Damping());
        WhenModal<CValidateNumber>([key](CValidateNumber* d) {
            Type(d->Edit(), "0.2");  // would be refused
            if (key == Qt::Key_Return) {
                d->CancelButton()->setFocus();
                QTest::keyClick(d->CancelButton(), Qt::Key_Return);
            } else {
                QTest::keyClick(d->Edit(), Qt::Key_Escape);
            }
        });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    }
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(EntryDialogTest, NumberIsRelabelledAndUsesTheBoldPromptFont) {
    CValidateNumber dialog(language.Database(), messages);
    dialog.Setup("PV Damping", "Enter the damping", Damping());
    QString title, ok, cancel, prompt;
    WhenModal<CValidateNumber>([&](CValidateNumber* d) {
        title = d->windowTitle();
        ok = d->OkButton()->text();
        cancel = d->CancelButton()->text();
        prompt = d->PromptLabel()->text();
        d->CancelButton()->click();
    });
    dialog.exec();
    // The caller's caption wins over the file's caption of the template.
    EXPECT_EQ(title, "PV Damping");
    EXPECT_EQ(ok, "Accept");
    EXPECT_EQ(cancel, "Abandon");
    EXPECT_EQ(prompt, "Enter the damping");
    for (const QWidget* w :
         {static_cast<QWidget*>(dialog.PromptLabel()), static_cast<QWidget*>(dialog.Edit())}) {
        EXPECT_TRUE(w->font().bold());
        EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 13.0);
    }
}

TextEntry Tag() {
    TextEntry entry;
    entry.mode = TextMode::Text;
    entry.lengthLimit = 8;
    return entry;
}

TextEntry Date() {
    TextEntry entry;
    entry.mode = TextMode::Date;
    return entry;
}

TextEntry PackedTag() {
    TextEntry entry = Tag();
    entry.packed = true;
    return entry;
}

// Types into a text dialog and presses OK; a dialog left open is cancelled.
bool TypeAndOk(CValidateText& dialog, const QString& text) {
    WhenModal<CValidateText>([text](CValidateText* d) {
        Type(d->Edit(), text);
        d->OkButton()->click();
        if (d->isVisible()) d->CancelButton()->click();
    });
    return dialog.exec() == QDialog::Accepted;
}

struct TextRow {
    const char* name;
    TextEntry entry;
    const char* typed;  // UTF-8
    const char* error;  // nullptr: accepted
    const char* result = "";
};

void PrintTo(const TextRow& row, std::ostream* os) {
    *os << row.name;
}

class TextDialogRows : public EntryDialogTest, public ::testing::WithParamInterface<TextRow> {};

TEST_P(TextDialogRows, OkRunsTheCheck) {
    const TextRow& row = GetParam();
    if (row.error != nullptr) messages.QueueAnswer(Answer::Ok);
    CValidateText dialog(language.Database(), messages);
    dialog.Setup("Tag", "Enter the tag", row.entry);
    const bool accepted = TypeAndOk(dialog, QString::fromUtf8(row.typed));
    if (row.error == nullptr) {
        ASSERT_TRUE(accepted);
        EXPECT_TRUE(messages.Messages().empty());
        EXPECT_EQ(dialog.Result(), row.result);
    } else {
        EXPECT_FALSE(accepted);
        EXPECT_EQ(KeysOf(messages), std::vector<std::string>{row.error});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Entries, TextDialogRows,
    ::testing::Values(TextRow{"EightCharacters", Tag(), "TT-101ab", nullptr, "TT-101ab"},
                      TextRow{"NineCharacters", Tag(), "TT-101abc", "Err_Tag_Number_overflow"},
                      TextRow{"NonAscii", Tag(), "Temp\xC3\xA9", "Err_Tag_Inalid_char"},
                      TextRow{"TrimmedBlanks", Tag(), "  ab c  ", nullptr, "ab c"},
                      TextRow{"EmptyIsOneBlank", Tag(), "", nullptr, " "},
                      TextRow{"MonthThirteen", Date(), "2009/13/01", "Err_Date_Invalid"},
                      TextRow{"NoLeapDay", Date(), "2009/02/29", "Err_Date_Invalid"},
                      TextRow{"LeapDay", Date(), "2008/02/29", nullptr, "2008/02/29"},
                      TextRow{"OtherSeparators", Date(), "2009-02-28", nullptr, "2009-02-28"},
                      TextRow{"ShortDate", Date(), "2009/2/28", "Err_Date_Invalid"},
                      TextRow{"YearTheDeviceCannotHold", Date(), "2205/02/28", "Err_Date_Invalid"},
                      TextRow{"PackedLowerCase", PackedTag(), "tt-101ab", nullptr, "tt-101ab"},
                      TextRow{"PackedTilde", PackedTag(), "TT~101", "Err_Packed_Char"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EntryDialogTest, TextEnterOnlyRunsTheLengthTestAndNeverCloses) {
    messages.QueueAnswer(Answer::Ok);
    CValidateText dialog(language.Database(), messages);
    dialog.Setup("Tag", "Enter the tag", Tag());
    bool openAfterShortEnter = false, openAfterLongEnter = false;
    std::size_t messagesAfterShort = 99;
    WhenModal<CValidateText>([&](CValidateText* d) {
        Type(d->Edit(),
             QString::fromUtf8("\xC3\xA9t\xC3\xA9"));  // too short to overflow, not ASCII
        QTest::keyClick(d->Edit(), Qt::Key_Return);
        openAfterShortEnter = d->isVisible();
        messagesAfterShort = messages.Messages().size();
        Type(d->Edit(), "ABCDEFGHIJ");
        QTest::keyClick(d->Edit(), Qt::Key_Enter);
        openAfterLongEnter = d->isVisible();
        d->CancelButton()->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(openAfterShortEnter);
    EXPECT_EQ(messagesAfterShort, 0u);
    EXPECT_TRUE(openAfterLongEnter);
    EXPECT_EQ(KeysOf(messages), std::vector<std::string>{"Err_Tag_Number_overflow"});
}

TEST_F(EntryDialogTest, DateEnterShowsNothingAndOkAccepts) {
    CValidateText dialog(language.Database(), messages);
    dialog.Setup("Date", "Enter the date", Date());
    bool openAfterEnter = false;
    WhenModal<CValidateText>([&](CValidateText* d) {
        Type(d->Edit(), "2009/02/30");
        QTest::keyClick(d->Edit(), Qt::Key_Return);
        openAfterEnter = d->isVisible();
        d->Edit()->setText("2009/02/28");
        d->OkButton()->click();
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(dialog.Result(), "2009/02/28");
}

TEST_F(EntryDialogTest, TextStartsTrimmedAndSelectedAndEnterOnCancelCancels) {
    CValidateText dialog(language.Database(), messages);
    TextEntry entry = Tag();
    entry.initialText = "  TT-1   ";
    dialog.Setup("Tag", "Enter the tag", entry);
    QString selected, ok;
    WhenModal<CValidateText>([&](CValidateText* d) {
        selected = d->Edit()->selectedText();
        ok = d->OkButton()->text();
        d->CancelButton()->setFocus();
        QTest::keyClick(d->CancelButton(), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(selected, "TT-1");
    EXPECT_EQ(ok, "Store");  // relabelled as dialog 153
}

Selection Units() {
    Selection selection;
    selection.names = {"degC", "degF", "degR", "K"};
    selection.codes = {"32", "33", "34", "35"};
    return selection;
}

struct SelectRow {
    const char* name;
    std::optional<int> code;
    std::optional<std::string> preselectName;
    int position;
};

void PrintTo(const SelectRow& row, std::ostream* os) {
    *os << row.name;
}

class SelectionPreselect : public EntryDialogTest,
                           public ::testing::WithParamInterface<SelectRow> {};

TEST_P(SelectionPreselect, OpensOnThePreselectedEntry) {
    const SelectRow& row = GetParam();
    Selection selection = Units();
    selection.preselectCode = row.code;
    selection.preselectName = row.preselectName;
    CSelectListBox dialog(language.Database());
    dialog.Setup("PV Unit", selection);
    int shownRow = -2;
    WhenModal<CSelectListBox>([&](CSelectListBox* d) {
        shownRow = d->List()->currentRow();
        d->OkButton()->click();
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(shownRow, row.position);
    EXPECT_EQ(dialog.Result().position, row.position);
    EXPECT_EQ(dialog.Result().code, 32 + row.position);
}

INSTANTIATE_TEST_SUITE_P(Preselections, SelectionPreselect,
                         ::testing::Values(SelectRow{"ByCode", 34, std::nullopt, 2},
                                           SelectRow{"ByName", std::nullopt, "K", 3},
                                           SelectRow{"UnknownName", std::nullopt, "degK", 0},
                                           SelectRow{"NameIsExact", std::nullopt, "degc", 0},
                                           SelectRow{"UnknownCode", 99, std::nullopt, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class Gesture { Enter, Space, DoubleClick, OkAfterArrow, EnterOnCancel, SpaceOnCancel };

std::string GestureName(const ::testing::TestParamInfo<Gesture>& info) {
    static const char* const names[] = {"Enter",        "Space",         "DoubleClick",
                                        "OkAfterArrow", "EnterOnCancel", "SpaceOnCancel"};
    return names[static_cast<int>(info.param)];
}

class SelectionGestures : public EntryDialogTest, public ::testing::WithParamInterface<Gesture> {};

TEST_P(SelectionGestures, TakeTheHighlightedEntryOrCancel) {
    Selection selection = Units();
    selection.preselectCode = 33;
    CSelectListBox dialog(language.Database());
    dialog.Setup("PV Unit", selection);
    const Gesture gesture = GetParam();
    WhenModal<CSelectListBox>([gesture](CSelectListBox* d) {
        QListWidget* list = d->List();
        switch (gesture) {
            case Gesture::Enter:
                QTest::keyClick(list, Qt::Key_Return);
                break;
            case Gesture::Space:
                QTest::keyClick(list, Qt::Key_Space);
                break;
            case Gesture::DoubleClick: {
                const QPoint at = list->visualItemRect(list->item(2)).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
                break;
            }
            case Gesture::OkAfterArrow:
                QTest::keyClick(list, Qt::Key_Down);
                QTest::mouseClick(d->OkButton(), Qt::LeftButton);
                break;
            case Gesture::EnterOnCancel:
            case Gesture::SpaceOnCancel:
                d->CancelButton()->setFocus();
                QTest::keyClick(d->CancelButton(),
                                gesture == Gesture::EnterOnCancel ? Qt::Key_Return : Qt::Key_Space);
                break;
        }
        if (d->isVisible()) d->CancelButton()->click();
    });
    const int outcome = dialog.exec();
    switch (gesture) {
        case Gesture::Enter:
        case Gesture::Space:
            ASSERT_EQ(outcome, QDialog::Accepted);
            EXPECT_EQ(dialog.Result().position, 1);
            EXPECT_EQ(dialog.Result().code, 33);
            break;
        case Gesture::DoubleClick:
        case Gesture::OkAfterArrow:
            ASSERT_EQ(outcome, QDialog::Accepted);
            EXPECT_EQ(dialog.Result().position, 2);
            EXPECT_EQ(dialog.Result().code, 34);
            break;
        case Gesture::EnterOnCancel:
        case Gesture::SpaceOnCancel:
            EXPECT_EQ(outcome, QDialog::Rejected);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Gestures, SelectionGestures,
                         ::testing::Values(Gesture::Enter, Gesture::Space, Gesture::DoubleClick,
                                           Gesture::OkAfterArrow, Gesture::EnterOnCancel,
                                           Gesture::SpaceOnCancel),
                         GestureName);

TEST_F(EntryDialogTest, SelectionIsRelabelledTitledAndBold) {
    CSelectListBox dialog(language.Database());
    dialog.Setup("PV Unit", Units());
    QString title, ok, cancel;
    WhenModal<CSelectListBox>([&](CSelectListBox* d) {
        title = d->windowTitle();
        ok = d->OkButton()->text();
        cancel = d->CancelButton()->text();
        d->CancelButton()->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(title, "PV Unit");
    EXPECT_EQ(ok, "Take");
    EXPECT_EQ(cancel, "Leave");
    EXPECT_TRUE(dialog.List()->font().bold());
    EXPECT_DOUBLE_EQ(dialog.List()->font().pointSizeF(), 13.0);
}

TEST_F(EntryDialogTest, AnEmptySelectionCannotBeTaken) {
    CSelectListBox dialog(language.Database());
    dialog.Setup("PV Unit", Selection{});
    bool openAfterOk = false;
    WhenModal<CSelectListBox>([&](CSelectListBox* d) {
        d->OkButton()->click();
        QTest::keyClick(d->List(), Qt::Key_Return);
        openAfterOk = d->isVisible();
        d->CancelButton()->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(openAfterOk);
}

}  // namespace
}  // namespace qt40
