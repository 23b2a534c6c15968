#include "files/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "files/SafeTextWriter.h"
#include "files/Utf8Path.h"

namespace qt40 {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::FILE* OpenForReading(const std::filesystem::path& path) {
#if defined(_WIN32)
    return _wfopen(path.c_str(), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

std::string Reason(int error) {
    return std::generic_category().message(error);
}

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

FileResult ReadTextFile(const std::filesystem::path& path, std::string& content) {
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
    if (!file) {
        return FileResult::NotOpened("Cannot open " + Utf8FromPath(path) + ": " +
                                     Reason(errno != 0 ? errno : ENOENT));
    }
    std::string data;
    char buffer[16384];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        data.append(buffer, got);
        if (data.size() > kMaxTextFileBytes) {
            return FileResult::Failure("Cannot read " + Utf8FromPath(path) + ": file too large");
        }
        if (got < sizeof buffer) break;
    }
    if (std::ferror(file.get())) {
        return FileResult::Failure("Cannot read " + Utf8FromPath(path) + ": " +
                                   Reason(errno != 0 ? errno : EIO));
    }
    content = std::move(data);
    return FileResult::Success();
}

FileResult SaveTextLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (line.find_first_of("\r\n") != std::string::npos) {
            return FileResult::Failure("Cannot write " + Utf8FromPath(path) +
                                       ": a value holds a line break");
        }
    }
    SafeTextWriter writer(path);
    if (FileResult opened = writer.Open(); !opened.ok()) return opened;
    for (const std::string& line : lines) writer.WriteLine(line);
    return writer.Commit();
}

}  // namespace qt40
