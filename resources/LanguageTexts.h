#pragma once
// The texts of one language file without a window: what a message box, an
// entry's title or a progress window would show for a key, filled in as the
// window fills it. The command-line tool speaks with these words.

#include <filesystem>
#include <memory>
#include <string>

#include "base/Prompts.h"

namespace qt40 {

class CXmlReaderWriter;

class LanguageTexts {
public:
    LanguageTexts();
    ~LanguageTexts();
    LanguageTexts(const LanguageTexts&) = delete;
    LanguageTexts& operator=(const LanguageTexts&) = delete;

    // Loads `file` with the header check the window makes. False, and no
    // texts at all, when it cannot be read, is no language file, or this
    // build reads no XML.
    bool Load(const std::filesystem::path& file);
    bool Loaded() const { return xml_ != nullptr; }

    // The text of `key` in `section` with `args` filled in: formatted, or as
    // it stands for a key the catalogue marks verbatim. Empty when the file
    // has no text for the key.
    std::string Text(const std::string& section, const std::string& key,
                     const MessageArgs& args = {}) const;
    // A message box's text, composed as every box composes it.
    std::string Message(const std::string& key, const MessageArgs& args) const;
    // The text of `key` as the file holds it, placeholders unfilled.
    std::string Unformatted(const std::string& section, const std::string& key) const {
        return Raw(section, key);
    }
    // The label the file gives a relabelled control; empty when none.
    std::string GuiText(int dialog, int control) const;

private:
    std::string Raw(const std::string& section, const std::string& key) const;

    std::unique_ptr<CXmlReaderWriter> xml_;
};

// Where a program in `programDir` finds its language files: `programDir`
// when it holds one; else the data folder an installation puts beside it
// (bin/../share/qt40cfg) when that holds one; else `programDir`.
std::filesystem::path LanguageDirFor(const std::filesystem::path& programDir);
// The folder of the running executable; empty when the system does not say.
std::filesystem::path ProgramDir();

}  // namespace qt40
