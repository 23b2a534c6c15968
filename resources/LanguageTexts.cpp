#include "resources/LanguageTexts.h"

#include <fmt/printf.h>

#include "resources/MessageCatalog.h"
#include "resources/MessageFormat.h"

#if QT40_TEXTS_XML
#include "resources/CXmlReaderWriter.h"
#endif

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#ifndef QT40_DATA_FROM_PROGRAM
#define QT40_DATA_FROM_PROGRAM "../share/qt40cfg"
#endif

namespace qt40 {

#if !QT40_TEXTS_XML
// Without an XML reader nothing is ever loaded; the deleter still needs a type.
class CXmlReaderWriter {};
#endif

LanguageTexts::LanguageTexts() = default;
LanguageTexts::~LanguageTexts() = default;

bool LanguageTexts::Load(const std::filesystem::path& file) {
    xml_.reset();
#if QT40_TEXTS_XML
    auto xml = std::make_unique<CXmlReaderWriter>();
    try {
        xml->Load(file);
        const auto text = [&](const char* xpath) {
            try {
                return xml->SelectText(xpath);
            } catch (const std::exception&) {
                return std::string();
            }
        };
        if (text("/root/application") != "QT40CON" || text("/root/filetype") != "language" ||
            text("/root/language").empty()) {
            return false;
        }
    } catch (const std::exception&) {
        return false;
    }
    xml_ = std::move(xml);
    return true;
#else
    (void)file;
    return false;
#endif
}

std::string LanguageTexts::Raw(const std::string& section, const std::string& key) const {
#if QT40_TEXTS_XML
    if (!xml_) return {};
    // A key is a name, never part of the expression.
    if (key.find_first_of("'\"[]") != std::string::npos) return {};
    try {
        return xml_->SelectText(fmt::sprintf("/root/%s/text[@name='%s']", section, key));
    } catch (const std::exception&) {
        return {};
    }
#else
    (void)section;
    (void)key;
    return {};
#endif
}

std::string LanguageTexts::GuiText(int dialog, int control) const {
#if QT40_TEXTS_XML
    if (!xml_) return {};
    try {
        return xml_->SelectText(
            fmt::sprintf("/root/gui[@name='%d']/text[@name='%d']", dialog, control));
    } catch (const std::exception&) {
        return {};
    }
#else
    (void)dialog;
    (void)control;
    return {};
#endif
}

std::string LanguageTexts::Text(const std::string& section, const std::string& key,
                                const MessageArgs& args) const {
    const std::string text = Raw(section, key);
    const MessageKeyInfo* info = MessageCatalog::FindKey(section, key);
    if (info != nullptr && info->use == TextUse::Verbatim) return text;
    return FormatMessageText(text, args);
}

std::string LanguageTexts::Message(const std::string& key, const MessageArgs& args) const {
    return FormatMessageText(Raw("UIMsg", key), args);
}

std::filesystem::path LanguageDirFor(const std::filesystem::path& programDir) {
    const auto holdsLanguage = [](const std::filesystem::path& dir) {
        std::error_code error;
        for (const auto& item : std::filesystem::directory_iterator(dir, error)) {
            if (item.path().extension() == ".lng") return true;
        }
        return false;
    };
    if (holdsLanguage(programDir)) return programDir;
    const std::filesystem::path installed =
        (programDir / QT40_DATA_FROM_PROGRAM).lexically_normal();
    return holdsLanguage(installed) ? installed : programDir;
}

std::filesystem::path ProgramDir() {
#ifdef _WIN32
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return std::filesystem::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
#endif
}

}  // namespace qt40
