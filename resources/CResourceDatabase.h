#pragma once
// The language database: one loaded language file and the lookups the
// program makes in it. A lookup never fails visibly: it yields an empty text,
// and an empty text never replaces a built-in one.

#include <filesystem>
#include <string>

#include "resources/CXmlReaderWriter.h"

class QWidget;

namespace qt40 {

class CResourceDatabase {
public:
    // Language files are looked for in `languageDir`; empty means the
    // directory of the running executable.
    explicit CResourceDatabase(std::filesystem::path languageDir = {});

    // An empty "root" document: every lookup yields an empty text.
    void Init();
    // Loads `fileName` (only its file-name part counts) from the language
    // directory and checks the header. Throws CPrivateException
    // "Can't read resource file \"<name>\".\n<reason>". A file that cannot be
    // parsed leaves the previous texts in force; a well-formed file with a
    // wrong header replaces them.
    void Load(const std::string& fileName);

    std::string Lookup(const std::string& xpath) const;
    std::string GuiText(int dialogId, int controlId) const;
    std::string SectionText(const std::string& section, const std::string& key) const;
    std::string UIMsg(const std::string& key) const { return SectionText("UIMsg", key); }
    std::string DisplayMsg(const std::string& key) const { return SectionText("DisplayMsg", key); }
    std::string TitleMsg(const std::string& key) const { return SectionText("TitleMsg", key); }
    std::string ProgressMsg(const std::string& key) const {
        return SectionText("ProgressMsg", key);
    }
    std::string LanguageName() const;

    // Replaces the caption of `window` (control 0) and the text of each
    // direct child that carries the property "controlId" with the file's
    // texts for `dialogId`; children without a text keep theirs.
    void Relabel(int dialogId, QWidget* window) const;

    // Where language files are looked for: the folder given, else beside the
    // executable, else the installed data folder (LanguageDirFor).
    std::filesystem::path LanguageDir() const;
    // `programDir` when it holds a language file; else the data folder an
    // installation puts beside it (bin/../share/qt40cfg) when that holds one;
    // else `programDir`.
    static std::filesystem::path LanguageDirFor(const std::filesystem::path& programDir);

private:
    std::filesystem::path languageDir_;
    CXmlReaderWriter xml_;
};

}  // namespace qt40
