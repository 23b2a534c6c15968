#pragma once
// Qt's own texts (the buttons of message boxes, the file dialogs) in the
// language of the chosen language file, from the translations Qt ships.

#include <QString>
#include <QTranslator>
#include <memory>
#include <string>

namespace qt40 {

class QtStandardTexts {
public:
    QtStandardTexts() = default;
    ~QtStandardTexts();
    QtStandardTexts(const QtStandardTexts&) = delete;
    QtStandardTexts& operator=(const QtStandardTexts&) = delete;

    // Installs Qt's translation for the language of `languageFile`
    // ("Japanese.lng") or, for English or a language Qt has none for, removes
    // the one installed before. True when Qt's texts are now translated.
    bool Follow(const std::string& languageFile);

    // The Qt locale name of a language file ("ja" for "Japanese.lng"); empty
    // when Qt's built-in English fits.
    static QString LocaleOf(const std::string& languageFile);
    // Where the translations are looked for: beside the program first (a
    // deployed copy), then Qt's own folder.
    static QStringList Folders();

private:
    void Remove();

    std::unique_ptr<QTranslator> translator_;
};

}  // namespace qt40
