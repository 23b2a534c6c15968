#pragma once
// poppler's command-line tools (Debian's poppler-utils) judging a PDF: its
// text, its fonts, its pages, its pixels.

#include <QString>
#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace qt40::test {

// Standard output of a shell command, and its exit status.
inline std::pair<std::string, int> RunTool(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {out, -1};
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    return {out, ::pclose(pipe)};
}

inline std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// The text of every page, folded to NFKC: Qt's PDF writer names a CJK glyph
// by its lowest code point, so "日" may come back as the Kangxi radical "⽇".
inline std::string PdfText(const std::filesystem::path& pdf, bool layout = true) {
    const auto [text, status] =
        RunTool("pdftotext " + std::string(layout ? "-layout " : "") + Quoted(pdf) + " - 2>&1");
    return QString::fromStdString(text).normalized(QString::NormalizationForm_KC).toStdString();
}

// The text of every page (or of page `page` alone, from 1) exactly as the
// PDF's text layer holds it, without any folding.
inline std::string PdfRawText(const std::filesystem::path& pdf, int page = 0) {
    const std::string pages =
        page > 0 ? "-f " + std::to_string(page) + " -l " + std::to_string(page) + " " : "";
    return RunTool("pdftotext -layout " + pages + Quoted(pdf) + " - 2>&1").first;
}

inline std::string PdfFonts(const std::filesystem::path& pdf) {
    return RunTool("pdffonts " + Quoted(pdf) + " 2>&1").first;
}

inline std::string PdfInfo(const std::filesystem::path& pdf) {
    return RunTool("pdfinfo " + Quoted(pdf) + " 2>&1").first;
}

// The "emb" column of every font pdffonts lists.
inline std::vector<std::string> EmbeddedColumn(const std::string& fonts) {
    std::vector<std::string> flags;
    std::istringstream lines(fonts);
    std::string line;
    bool table = false;
    while (std::getline(lines, line)) {
        if (line.rfind("----", 0) == 0) {
            table = true;
            continue;
        }
        if (!table || line.empty()) continue;
        std::vector<std::string> words;
        std::istringstream split(line);
        for (std::string w; split >> w;) words.push_back(w);
        if (words.size() >= 5) flags.push_back(words[words.size() - 5]);
    }
    return flags;
}

inline bool HavePoppler() {
    return RunTool("command -v pdftotext pdffonts pdftoppm pdfinfo >/dev/null 2>&1").second == 0;
}

}  // namespace qt40::test
