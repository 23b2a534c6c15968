#pragma once
// The persistent per-user settings: the display language (file and name),
// the port, the polling address, the serial line setting and the HART-IP
// answer time-out. Panels read and change the strings directly and call Save
// right after a change.

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
    // Writes every value; false when the store could not be written.
    bool Save() const;

    static bool SystemLocaleIsJapanese();

    std::string displayLanguage;
    std::string displayLanguageName;
    std::string comPort;
    std::string pollingAddr;
    // "9600-8N1" (a modem that buffers) or "1200-8O1" (a plain Bell 202 modem).
    std::string line;
    // Milliseconds a HART-IP gateway may take to answer a request ("3000").
    std::string hartIpTimeout;

    // hartIpTimeout as a number: 3000 when it is not one from 100 to 60000.
    int HartIpTimeoutMs() const;
    // True when hartIpTimeout is not such a number (and 3000 is used instead):
    // the user is told, once, when the program starts.
    bool HartIpTimeoutReplaced() const;

private:
    QString iniFile_;
};

}  // namespace qt40
