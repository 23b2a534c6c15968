#pragma once
// The four persistent per-user settings. Panels read and change the strings
// directly and call Save right after a change.

#include <QString>
#include <string>

namespace qt40 {

class CAppSettings {
public:
    // An empty `iniFile` means the per-user store of organization "Orvale"
    // and the executable's base name (the registry on Windows); tests pass a
    // file of their own.
    explicit CAppSettings(QString iniFile = {});

    // Reads the values; absent ones get their defaults. Nothing is written.
    void Load();
    // As Load, with the locale decided by the caller.
    void Load(bool japaneseLocale);
    // Writes all four values; false when the store could not be written.
    bool Save() const;

    static bool SystemLocaleIsJapanese();

    std::string displayLanguage;
    std::string displayLanguageName;
    std::string comPort;
    std::string pollingAddr;

private:
    QString iniFile_;
};

}  // namespace qt40
