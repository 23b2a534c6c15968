#include "resources/CAppSettings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <charconv>
#include <memory>
#include <string>

namespace qt40 {

namespace {

const char* const kGroup = "Settings";
constexpr int kDefaultHartIpTimeoutMs = 3000;
constexpr int kMinHartIpTimeoutMs = 100;
constexpr int kMaxHartIpTimeoutMs = 60000;

std::unique_ptr<QSettings> OpenStore(const QString& iniFile) {
    if (!iniFile.isEmpty()) return std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
    QString application = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (application.isEmpty()) application = QCoreApplication::applicationName();
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Orvale",
                                       application);
}

std::string Read(QSettings& store, const char* name, const char* fallback) {
    return store.value(name, QString::fromUtf8(fallback)).toString().toStdString();
}

}  // namespace

CAppSettings::CAppSettings(QString iniFile) : iniFile_(std::move(iniFile)) {}

bool CAppSettings::SystemLocaleIsJapanese() {
    return QLocale::system().language() == QLocale::Japanese;
}

void CAppSettings::Load() {
    Load(SystemLocaleIsJapanese());
}

void CAppSettings::Load(bool japaneseLocale) {
    auto store = OpenStore(iniFile_);
    store->beginGroup(kGroup);
    displayLanguage = Read(*store, "DisplayLanguage", "");
    if (displayLanguage.empty()) {
        displayLanguage = japaneseLocale ? "Japanese.lng" : "English.lng";
        displayLanguageName = japaneseLocale ? "Japanese" : "English";
    } else {
        displayLanguageName = Read(*store, "DisplayLanguageName", "");
    }
    comPort = Read(*store, "COMPort", "COM1");
    pollingAddr = Read(*store, "PollingAddr", "0");
    line = Read(*store, "Line", "9600-8N1");
    hartIpTimeout = Read(*store, "HartIpTimeout", "3000");
}

int CAppSettings::HartIpTimeoutMs() const {
    if (HartIpTimeoutReplaced()) return kDefaultHartIpTimeoutMs;
    return std::stoi(hartIpTimeout);
}

bool CAppSettings::HartIpTimeoutReplaced() const {
    // A value typed into the store by hand: only whole numbers in range count.
    int ms = 0;
    const char* first = hartIpTimeout.data();
    const char* last = first + hartIpTimeout.size();
    const auto [end, ec] = std::from_chars(first, last, ms);
    return ec != std::errc() || end != last || ms < kMinHartIpTimeoutMs || ms > kMaxHartIpTimeoutMs;
}

bool CAppSettings::Save() const {
    auto store = OpenStore(iniFile_);
    store->beginGroup(kGroup);
    store->setValue("DisplayLanguage", QString::fromStdString(displayLanguage));
    store->setValue("DisplayLanguageName", QString::fromStdString(displayLanguageName));
    store->setValue("COMPort", QString::fromStdString(comPort));
    store->setValue("PollingAddr", QString::fromStdString(pollingAddr));
    store->setValue("Line", QString::fromStdString(line));
    store->setValue("HartIpTimeout", QString::fromStdString(hartIpTimeout));
    store->endGroup();
    store->sync();
    return store->status() == QSettings::NoError;
}

}  // namespace qt40
