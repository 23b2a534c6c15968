#include "resources/CResourceDatabase.h"

#include <fmt/printf.h>

#include <QCoreApplication>
#include <QLabel>
#include <QMetaProperty>
#include <QVariant>
#include <QWidget>

#include "resources/CMessageFormatter.h"
#include "resources/CPrivateException.h"
#include "resources/LanguageTexts.h"
#include "resources/MessageFormat.h"

namespace qt40 {

namespace {

std::filesystem::path ExecutableDir() {
    const QString dir = QCoreApplication::applicationDirPath();
    return std::filesystem::path(dir.toStdU16String());
}

// Sets the visible text of a control, whatever kind of widget it is.
void SetControlText(QWidget* control, const QString& text) {
    const QMetaObject* meta = control->metaObject();
    for (const char* name : {"text", "title", "plainText"}) {
        const int index = meta->indexOfProperty(name);
        if (index >= 0 && meta->property(index).isWritable()) {
            meta->property(index).write(control, text);
            return;
        }
    }
    control->setWindowTitle(text);
}

}  // namespace

CResourceDatabase::CResourceDatabase(std::filesystem::path languageDir)
    : languageDir_(std::move(languageDir)) {}

std::filesystem::path CResourceDatabase::LanguageDir() const {
    return languageDir_.empty() ? LanguageDirFor(ExecutableDir()) : languageDir_;
}

std::filesystem::path CResourceDatabase::LanguageDirFor(const std::filesystem::path& programDir) {
    return qt40::LanguageDirFor(programDir);
}

void CResourceDatabase::Init() {
    xml_.CreateEmpty("root");
}

void CResourceDatabase::Load(const std::string& fileName) {
    try {
        // A stored name must not reach outside the language directory.
        const std::filesystem::path name =
            std::filesystem::path(std::u8string(fileName.begin(), fileName.end())).filename();
        const std::filesystem::path dir = LanguageDir();
        xml_.Load(dir / name);
        if (Lookup("/root/application") != "QT40CON" || Lookup("/root/filetype") != "language" ||
            Lookup("/root/language").empty()) {
            throw CPrivateException("Illegal format");
        }
    } catch (const std::exception& e) {
        throw CPrivateException(FormatInserts(
            "Can't read resource file \"%1!s!\".%n%2!s!",
            std::vector<std::string>{fileName, CMessageFormatter::ExceptionMessage(e)}));
    }
}

std::string CResourceDatabase::Lookup(const std::string& xpath) const {
    try {
        return xml_.SelectText(xpath);
    } catch (const std::exception&) {
        return {};
    }
}

std::string CResourceDatabase::GuiText(int dialogId, int controlId) const {
    return Lookup(fmt::sprintf("/root/gui[@name='%d']/text[@name='%d']", dialogId, controlId));
}

std::string CResourceDatabase::SectionText(const std::string& section,
                                           const std::string& key) const {
    return Lookup(fmt::sprintf("/root/%s/text[@name='%s']", section, key));
}

std::string CResourceDatabase::LanguageName() const {
    return Lookup("/root/language");
}

void CResourceDatabase::Relabel(int dialogId, QWidget* window) const {
    if (window == nullptr) return;
    const std::string caption = GuiText(dialogId, 0);
    if (!caption.empty()) window->setWindowTitle(QString::fromStdString(caption));
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        bool ok = false;
        const int controlId = child->property("controlId").toInt(&ok);
        if (!ok) continue;
        // Language texts are shown as written, never read as markup; a label
        // the file may relabel is plain text whoever created it.
        if (auto* label = qobject_cast<QLabel*>(child)) label->setTextFormat(Qt::PlainText);
        const std::string text = GuiText(dialogId, controlId);
        if (!text.empty()) SetControlText(child, QString::fromStdString(text));
    }
}

}  // namespace qt40
