#include "widgets/QtPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <map>

#include "resources/CResourceDatabase.h"
#include "resources/FileFilter.h"
#include "resources/MessageBoxConvention.h"
#include "resources/MessageFormat.h"
#include "widgets/CSelectListBox.h"
#include "widgets/CValidateNumber.h"
#include "widgets/CValidateText.h"

namespace qt40 {
namespace {

QMessageBox::StandardButton ButtonOf(Answer answer) {
    switch (answer) {
        case Answer::Ok:
            return QMessageBox::Ok;
        case Answer::Cancel:
            return QMessageBox::Cancel;
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
        case Answer::Retry:
            return QMessageBox::Retry;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Question:
            return QMessageBox::Question;
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Warning:
            break;
    }
    return QMessageBox::Warning;
}

bool Offers(const BoxStyle& style, Answer answer) {
    return std::find(style.buttons.begin(), style.buttons.end(), answer) != style.buttons.end();
}

// The answer of a box closed without a button: the most cautious one it offers.
Answer CautiousAnswer(const BoxStyle& style) {
    for (Answer answer : {Answer::Cancel, Answer::No}) {
        if (Offers(style, answer)) return answer;
    }
    return style.buttons.empty() ? Answer::Ok : style.buttons.front();
}

}  // namespace

QtPrompts::PauseScope::PauseScope(QtPrompts& prompts) : prompts_(prompts) {
    if (prompts_.openQuestions_++ == 0 && prompts_.setPause_) prompts_.setPause_(true);
}

QtPrompts::PauseScope::~PauseScope() {
    if (--prompts_.openQuestions_ == 0 && prompts_.setPause_) prompts_.setPause_(false);
}

QtPrompts::QtPrompts(const CResourceDatabase& database, QWidget* parent,
                     std::function<void(bool)> setPause)
    : database_(database), parent_(parent), setPause_(std::move(setPause)) {}

Answer QtPrompts::Message(const std::string& key, const MessageArgs& args, BoxType type) {
    const MessageBoxText box = ComposeMessageBox(database_, key, args);
    return ShowBox(box.caption, box.text, type);
}

Answer QtPrompts::MessageWithCaption(const std::string& key, const MessageArgs& args, BoxType type,
                                     const std::string& caption) {
    return ShowBox(caption, ComposeMessageBox(database_, key, args).text, type);
}

Answer QtPrompts::ShowBox(const std::string& caption, const std::string& text, BoxType type) {
    PauseScope pause(*this);
    const BoxStyle style = StyleOf(type);
    // A box raised from inside an open dialog belongs to that dialog, so it
    // stays above it; the dialog we opened ourselves is known for certain.
    QWidget* modal = openDialog_ != nullptr ? openDialog_ : QApplication::activeModalWidget();
    QMessageBox box(modal != nullptr ? modal : parent_);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setTextFormat(Qt::PlainText);  // language texts are shown, never interpreted
    box.setText(QString::fromStdString(text));
    box.setIcon(IconOf(style.icon));
    std::map<QAbstractButton*, Answer> answers;
    for (Answer answer : style.buttons) {
        QPushButton* button = box.addButton(ButtonOf(answer));
        answers[button] = answer;
        if (answers.size() == 1) box.setDefaultButton(button);
    }
    // Escape answers only where the box offers a way out (Cancel, or a lone OK).
    if (Offers(style, Answer::Cancel)) {
        box.setEscapeButton(box.button(QMessageBox::Cancel));
    } else if (style.buttons.size() == 1) {
        box.setEscapeButton(box.button(ButtonOf(style.buttons.front())));
    }
    if (style.systemModal || style.topmost) {
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    box.exec();
    const auto it = answers.find(box.clickedButton());
    return it == answers.end() ? CautiousAnswer(style) : it->second;
}

// Both entry dialogs: title and formatted prompt from the language file, the
// worker paused and boxes owned by the dialog while it is open.
template <class Dialog, class Entry>
auto QtPrompts::RunEntry(const Entry& entry)
    -> std::optional<std::decay_t<decltype(std::declval<Dialog>().Result())>> {
    PauseScope pause(*this);
    Dialog dialog(database_, *this, parent_);
    const OpenDialog open(*this, &dialog);
    dialog.Setup(QString::fromStdString(database_.TitleMsg(entry.titleKey)),
                 QString::fromStdString(
                     FormatMessageText(database_.DisplayMsg(entry.promptKey), entry.promptArgs)),
                 entry);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Result();
}

std::optional<NumberResult> QtPrompts::EnterNumber(const NumberEntry& entry) {
    return RunEntry<CValidateNumber>(entry);
}

std::optional<std::string> QtPrompts::EnterText(const TextEntry& entry) {
    return RunEntry<CValidateText>(entry);
}

std::optional<SelectionResult> QtPrompts::Select(const Selection& selection) {
    PauseScope pause(*this);
    CSelectListBox dialog(database_, parent_);
    dialog.Setup(QString::fromStdString(database_.TitleMsg(selection.titleKey)), selection);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Result();
}

std::optional<std::string> QtPrompts::OpenFileName(const FileRequest& request) {
    return AskFileName(request, false);
}

std::optional<std::string> QtPrompts::SaveFileName(const FileRequest& request) {
    return AskFileName(request, true);
}

std::optional<std::string> QtPrompts::AskFileName(const FileRequest& request, bool save) {
    PauseScope pause(*this);
    QFileDialog dialog(parent_, QString::fromStdString(database_.TitleMsg(request.titleKey)),
                       QString::fromStdString(request.initialPath),
                       QString::fromStdString(QtFileFilter(request.filter)));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.empty()) {
        dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

}  // namespace qt40
