#include "cli/EnglishMessages.h"

#include <memory>
#include <mutex>
#include <unordered_map>

#include "model/NumberText.h"
#include "resources/LanguageTexts.h"

namespace qt40::cli {
namespace {

struct Texts {
    std::mutex mutex;
    std::filesystem::path chosen;  // empty: English.lng beside the program
    std::unique_ptr<LanguageTexts> texts;
    bool tried = false;
};

Texts& Shared() {
    static Texts shared;
    return shared;
}

// Loaded once, on the first message: most runs show none.
const LanguageTexts* Loaded(Texts& t) {
    if (!t.tried) {
        t.tried = true;
        const std::filesystem::path file =
            t.chosen.empty() ? LanguageDirFor(ProgramDir()) / "English.lng" : t.chosen;
        auto texts = std::make_unique<LanguageTexts>();
        if (texts->Load(file)) t.texts = std::move(texts);
    }
    return t.texts.get();
}

std::optional<std::string> Words(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return OneLine(text);
}

std::string ArgText(const MessageArg& arg) {
    if (const auto* n = std::get_if<long long>(&arg)) return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&arg)) return FormatGeneral(*d);
    return std::get<std::string>(arg);
}

}  // namespace

std::optional<std::string> EnglishMessage(const std::string& key, const MessageArgs& args) {
    Texts& t = Shared();
    const std::lock_guard lock(t.mutex);
    const LanguageTexts* texts = Loaded(t);
    return texts ? Words(texts->Message(key, args)) : std::nullopt;
}

std::optional<std::string> EnglishText(const std::string& section, const std::string& key,
                                       const MessageArgs& args) {
    Texts& t = Shared();
    const std::lock_guard lock(t.mutex);
    const LanguageTexts* texts = Loaded(t);
    return texts ? Words(texts->Text(section, key, args)) : std::nullopt;
}

traffic::DecoderTexts EnglishDecoderTexts() {
    // A decode asks for the same few words again and again: each is read once.
    struct Cache {
        std::mutex mutex;
        std::unordered_map<std::string, std::string> words;
    };
    auto cache = std::make_shared<Cache>();
    return traffic::DecoderTexts([cache](const std::string& key) {
        {
            const std::lock_guard lock(cache->mutex);
            if (const auto found = cache->words.find(key); found != cache->words.end()) return found->second;
        }
        std::string words;
        {
            // As the file holds it: the decoder fills in its own numbers.
            Texts& t = Shared();
            const std::lock_guard lock(t.mutex);
            if (const LanguageTexts* texts = Loaded(t)) words = texts->Unformatted("DisplayMsg", key);
        }
        const std::lock_guard lock(cache->mutex);
        return cache->words.emplace(key, std::move(words)).first->second;
    });
}

std::string DescribeMessage(const std::string& key, const MessageArgs& args) {
    if (auto words = EnglishMessage(key, args)) return *words;
    std::string text = key;
    for (std::size_t i = 0; i < args.size(); ++i) text += (i == 0 ? ": " : ", ") + ArgText(args[i]);
    return text;
}

std::string OneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\n' && c != '\r') {
            line += c;
            continue;
        }
        while (i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r')) ++i;
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (line.empty() || i + 1 == text.size()) continue;
        line += std::string(".:?!;)").find(line.back()) != std::string::npos ? " " : "; ";
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

void UseEnglishFile(const std::filesystem::path& file) {
    Texts& t = Shared();
    const std::lock_guard lock(t.mutex);
    t.chosen = file;
    t.texts.reset();
    t.tried = false;
}

}  // namespace qt40::cli
