#pragma once
// The window program's answers to every modal question: Qt message boxes,
// the three entry dialogs and (non-native) file dialogs. The worker's pause
// flag is set before the first question opens and cleared when the last one
// closes, so a box raised inside an entry dialog keeps the worker paused until
// the dialog itself is gone.

#include <functional>
#include <utility>

#include "base/Prompts.h"

class QWidget;

namespace qt40 {

class CResourceDatabase;

class QtPrompts : public Prompts {
public:
    // `parent` owns the boxes and dialogs (may be null); `setPause` receives
    // true before a question is shown and false after it has been answered.
    QtPrompts(const CResourceDatabase& database, QWidget* parent,
              std::function<void(bool)> setPause);

    QtPrompts(const QtPrompts&) = delete;
    QtPrompts& operator=(const QtPrompts&) = delete;

    void SetParentWidget(QWidget* parent) { parent_ = parent; }

    Answer Message(const std::string& key, const MessageArgs& args, BoxType type) override;
    Answer MessageWithCaption(const std::string& key, const MessageArgs& args, BoxType type,
                              const std::string& caption) override;
    std::optional<NumberResult> EnterNumber(const NumberEntry& entry) override;
    std::optional<std::string> EnterText(const TextEntry& entry) override;
    std::optional<SelectionResult> Select(const Selection& selection) override;
    std::optional<std::string> OpenFileName(const FileRequest& request) override;
    std::optional<std::string> SaveFileName(const FileRequest& request) override;

private:
    // Pauses the worker for as long as any question is open.
    class PauseScope {
    public:
        explicit PauseScope(QtPrompts& prompts);
        ~PauseScope();
        PauseScope(const PauseScope&) = delete;
        PauseScope& operator=(const PauseScope&) = delete;

    private:
        QtPrompts& prompts_;
    };

    // The entry dialog this object has open, while it is open.
    class OpenDialog {
    public:
        OpenDialog(QtPrompts& prompts, QWidget* dialog)
            : prompts_(prompts), previous_(prompts.openDialog_) {
            prompts_.openDialog_ = dialog;
        }
        ~OpenDialog() { prompts_.openDialog_ = previous_; }
        OpenDialog(const OpenDialog&) = delete;
        OpenDialog& operator=(const OpenDialog&) = delete;

    private:
        QtPrompts& prompts_;
        QWidget* previous_;
    };

    template <class Dialog, class Entry>
    auto RunEntry(const Entry& entry)
        -> std::optional<std::decay_t<decltype(std::declval<Dialog>().Result())>>;

    Answer ShowBox(const std::string& caption, const std::string& text, BoxType type);
    std::optional<std::string> AskFileName(const FileRequest& request, bool save);

    const CResourceDatabase& database_;
    QWidget* parent_;
    std::function<void(bool)> setPause_;
    int openQuestions_ = 0;
    QWidget* openDialog_ = nullptr;
};

}  // namespace qt40
