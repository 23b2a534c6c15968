// The language-file loader on arbitrary bytes: header checks, every lookup the
// program makes, and every text it finds handed to the formatters with the
// arguments the callers pass and with arguments that do not fit. Nothing may
// crash or read an argument that was not passed; a failed load says so in
// the one message the window shows.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "resources/CPrivateException.h"
#include "resources/CResourceDatabase.h"
#include "resources/LanguageFileCheck.h"
#include "resources/MessageCatalog.h"
#include "resources/MessageFormat.h"

namespace {

using namespace qt40;

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/qt40-lng-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return std::filesystem::path(pattern);
    }();
    return folder;
}

MessageArg Sample(ArgType type) {
    switch (type) {
        case ArgType::Integer:
            return -2147483648LL;
        case ArgType::Real:
            return -1.0e308;
        case ArgType::Text:
            break;
    }
    // An argument that looks like placeholders must come out as it stands.
    return std::string("%s%n%1!s!%%");
}

MessageArgs Arguments(const std::vector<ArgType>& types) {
    MessageArgs args;
    for (ArgType type : types) args.push_back(Sample(type));
    return args;
}

void Format(const std::string& text, const MessageKeyInfo& info) {
    const std::string shown = FormatMessageText(text, Arguments(info.args));
    // A text whose placeholders do not fit what callers pass shows as it stands.
    if (!CheckArguments(ScanMessageText(text), info.args, false).empty() && shown != text) {
        std::abort();
    }
    // Translators' mistakes: too few arguments, and all of the wrong kind.
    (void)FormatMessageText(text, {});
    (void)FormatPrintf(text, {Sample(ArgType::Text), Sample(ArgType::Text)});
    (void)FormatInserts(text, {Sample(ArgType::Integer), Sample(ArgType::Real)});
    (void)FormatInserts(text, std::vector<std::string>{"a"});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path file = Folder() / "Fuzz.lng";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    CResourceDatabase database(Folder());
    database.Init();
    try {
        database.Load("Fuzz.lng");
        if (database.LanguageName().empty()) std::abort();  // the header check let it pass
    } catch (const CPrivateException& e) {
        // Anything else escaping is a crash of the window program.
        if (e.Text().rfind("Can't read resource file \"Fuzz.lng\".\n", 0) != 0) std::abort();
    }

    // A file with a wrong header stays loaded: lookups run on it either way.
    for (const MessageKeyInfo& info : MessageCatalog::Keys()) {
        const std::string text = database.SectionText(std::string(info.section), std::string(info.key));
        if (info.use == TextUse::Formatted) Format(text, info);
    }
    for (const DialogInfo& dialog : MessageCatalog::Dialogs()) {
        (void)database.GuiText(dialog.id, 0);
        for (int control : dialog.controls) (void)database.GuiText(dialog.id, control);
    }
    // The translators' check reads the same file in its own way.
    (void)CheckLanguageFile(file);
    return 0;
}
