#include "resources/LanguageFileCheck.h"

#include <charconv>
#include <pugixml.hpp>
#include <set>

#include "resources/CPrivateException.h"
#include "resources/CResourceDatabase.h"
#include "resources/MessageCatalog.h"

namespace qt40 {

namespace {

// A decimal id exactly as written, like "130" or "-1".
bool ParseId(const char* text, int& id) {
    const std::string_view s(text);
    if (s.empty()) return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), id);
    return ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::vector<std::string> CheckLanguageFile(const std::filesystem::path& path) {
    std::vector<std::string> problems;
    const std::string file = path.filename().string();
    auto report = [&](const std::string& where, const std::string& what) {
        problems.push_back(file + ": " + where + ": " + what);
    };

    CResourceDatabase database(path.parent_path());
    database.Init();
    try {
        database.Load(file);
    } catch (const CPrivateException& e) {
        report("header", e.Text());
        return problems;
    }

    for (const MessageKeyInfo& info : MessageCatalog::Keys()) {
        const std::string key(info.key);
        const std::string text = database.SectionText(std::string(info.section), key);
        if (text.empty()) {
            report(key, "missing or empty in section " + std::string(info.section));
            continue;
        }
        if (info.use == TextUse::Formatted) {
            const std::string error = CheckArguments(ScanMessageText(text), info.args, true);
            if (!error.empty()) report(key, error);
        }
    }

    pugi::xml_document document;
    if (!document.load_file(path.c_str())) {
        report("document", "cannot be parsed a second time");
        return problems;
    }
    const pugi::xml_node root = document.child("root");
    for (const char* section : {"UIMsg", "DisplayMsg", "TitleMsg", "ProgressMsg"}) {
        std::set<std::string> seen;
        for (const auto& text : root.child(section).children("text")) {
            const std::string key = text.attribute("name").value();
            if (MessageCatalog::FindKey(section, key) == nullptr) {
                report(key, std::string("not a key of section ") + section);
            }
            if (!seen.insert(key).second) report(key, "listed twice");
        }
    }
    std::set<std::pair<int, int>> seen;
    for (const auto& gui : root.children("gui")) {
        int dialogId = 0;
        if (!ParseId(gui.attribute("name").value(), dialogId) ||
            MessageCatalog::FindDialog(dialogId) == nullptr) {
            report(std::string("gui ") + gui.attribute("name").value(), "no such dialog");
            continue;
        }
        for (const auto& text : gui.children("text")) {
            int controlId = 0;
            const std::string where =
                "gui " + std::to_string(dialogId) + " text " + text.attribute("name").value();
            if (!ParseId(text.attribute("name").value(), controlId) ||
                !MessageCatalog::HasControl(dialogId, controlId)) {
                report(where, "no such control");
            } else if (!seen.insert({dialogId, controlId}).second) {
                report(where, "listed twice");
            }
        }
    }
    return problems;
}

}  // namespace qt40
