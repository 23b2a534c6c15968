#include "cli/RecordCommands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "cli/CliContext.h"
#include "files/Utf8Path.h"
#include "records/RecordCsvWriter.h"
#include "resources/LanguageTexts.h"

#ifdef QT40_CLI_PDF
#include <QGuiApplication>

#include "records/RecordPdfWriter.h"
#endif

namespace qt40::cli {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

#ifdef QT40_CLI_PDF
FileResult SavePdf(const std::filesystem::path& path, const RecordDocument& doc,
                   const std::string& page) {
    const auto write = [&] {
        const QPageSize::PageSizeId size = page == "letter" ? QPageSize::Letter
                                           : page == "a4"   ? QPageSize::A4
                                                            : RecordPdfWriter::DefaultPageSize();
        return RecordPdfWriter::Save(path, doc, size);
    };
    if (QGuiApplication::instance()) return write();
    // Only for the PDF, and without a display: Qt lays out text through a
    // GUI application, and the offscreen platform needs no screen. Its
    // remarks about the session (no runtime folder, ...) are no concern of
    // the command's; errors still reach stderr.
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if ((type == QtCriticalMsg || type == QtFatalMsg) && previous) {
                previous(type, context, text);
            }
        });
    struct Restore {
        ~Restore() { qInstallMessageHandler(previous); }
    } restore;
    char name[] = "qt40cfg-cli";
#ifdef _WIN32
    // Windows' own platform shows nothing either, and knows the system's
    // fonts; the offscreen one there sees only Qt's own font folder.
    int argc = 1;
    char* argv[] = {name, nullptr};
#else
    int argc = 3;
    char platformOption[] = "-platform";
    char platform[] = "offscreen";
    char* argv[] = {name, platformOption, platform, nullptr};
#endif
    QGuiApplication app(argc, argv);
    return write();
}
#endif

}  // namespace

bool WritesPdf() {
#ifdef QT40_CLI_PDF
    return true;
#else
    return false;
#endif
}

void RecordCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddLinkOptions(&command, context.Link());
    command.add_option("--out", outFile_, "The file to save: FILE.pdf or FILE.csv")->required();
    command.add_option("--language", language_,
                       "Language file for the record's words (English.lng, Japanese.lng or a "
                       "path)");
    command.add_option("--page", page_, "PDF page size: a4 or letter (default: the locale's)")
        ->check(CLI::IsMember({"a4", "letter"}));
}

int RecordCommand::Run(CliContext& context) {
    const std::string extension = Lower(Utf8FromPath(PathFromUtf8(outFile_).extension()));
    if (extension != ".pdf" && extension != ".csv") {
        return context.Usage("--out " + outFile_ + ": the file must end in .pdf or .csv");
    }
    if (extension == ".pdf" && !WritesPdf()) {
        return context.Usage(
            "this qt40cfg-cli is built without Qt and writes no PDF; save a .csv file");
    }

    auto language = std::make_shared<LanguageTexts>();
    std::filesystem::path file = PathFromUtf8(language_);
    if (!file.has_parent_path()) file = LanguageDirFor(ProgramDir()) / file;
    if (language->Load(file)) {
        texts_ = RecordTexts(
            [language](const std::string& key) { return language->Unformatted("UIMsg", key); },
            [language](int dialog, int control) { return language->GuiText(dialog, control); });
    } else if (Subcommand().count("--language") > 0) {
        return context.Usage("cannot read the language file " + Utf8FromPath(file));
    }
    if (const auto refused = RefusedArgument()) return context.Usage(*refused);

    CliConnection connection(context.ConnectionOptions(), context.Out(), context.Interruption());
    const CliOutcome connected = connection.Connect(context.Link().address);
    if (!connected.ok) return context.Fail(connected.error);
    const int code = MakeRecord(context, connection);
    connection.Disconnect();
    return code;
}

int RecordCommand::Save(CliContext& context, const RecordDocument& doc) const {
    const std::filesystem::path out = PathFromUtf8(outFile_);
    const bool pdf = Lower(Utf8FromPath(out.extension())) == ".pdf";
    FileResult saved;
#ifdef QT40_CLI_PDF
    saved = pdf ? SavePdf(out, doc, page_) : RecordCsvWriter::Save(out, doc);
#else
    (void)pdf;
    saved = RecordCsvWriter::Save(out, doc);
#endif
    if (!saved.ok()) return context.Fail(saved.error);
    context.Out() << "saved " << outFile_ << '\n' << std::flush;
    return kExitOk;
}

}  // namespace qt40::cli
