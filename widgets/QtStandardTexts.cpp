#include "widgets/QtStandardTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>

namespace qt40 {

QtStandardTexts::~QtStandardTexts() {
    Remove();
}

QString QtStandardTexts::LocaleOf(const std::string& languageFile) {
    const QString base = QFileInfo(QString::fromStdString(languageFile)).completeBaseName();
    if (base.compare("Japanese", Qt::CaseInsensitive) == 0) return "ja";
    return {};
}

QStringList QtStandardTexts::Folders() {
    return {QDir(QCoreApplication::applicationDirPath()).filePath("translations"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

void QtStandardTexts::Remove() {
    if (!translator_) return;
    if (QCoreApplication::instance()) QCoreApplication::removeTranslator(translator_.get());
    translator_.reset();
}

bool QtStandardTexts::Follow(const std::string& languageFile) {
    Remove();
    const QString locale = LocaleOf(languageFile);
    if (locale.isEmpty()) return false;
    auto translator = std::make_unique<QTranslator>();
    for (const QString& folder : Folders()) {
        if (translator->load("qtbase_" + locale, folder)) {
            QCoreApplication::installTranslator(translator.get());
            translator_ = std::move(translator);
            return true;
        }
    }
    // Without the translations installed the buttons stay in English.
    return false;
}

}  // namespace qt40
