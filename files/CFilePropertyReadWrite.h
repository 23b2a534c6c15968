#pragma once
// The configuration text file: 48 lines under bracketed section titles, each
// setting a key padded to 24 characters, "= " and the value as shown.
// Reading assigns values by key; unknown keys are ignored and missing keys
// keep their values, so a partial file changes only what it names.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileConfig.h"
#include "files/FileResult.h"

namespace qt40 {

class CFilePropertyReadWrite {
public:
    static constexpr std::size_t kLineCount = 48;
    static constexpr std::size_t kKeyCount = 40;
    static constexpr std::size_t kKeyWidth = 24;

    // The 48 lines without values: section titles, and keys padded to 24 then "= ".
    static std::vector<std::string> KeyLines();
    // The complete file: KeyLines() with every value (and its unit caption) appended.
    static std::vector<std::string> BuildLines(const FileConfig& config,
                                               const FileUnitCaptions& captions = {});

    // Reads the file and assigns what it names. NotOpened leaves every value
    // as it was (the caller shows nothing); Failed carries the reason to show.
    FileResult Read(const std::filesystem::path& path);
    // The line rules of Read, on text already in memory.
    void ReadText(std::string_view text);
    // Writes the lines (each followed by CR LF) through a temporary file: a
    // failed write leaves the previous file as it was.
    static FileResult Write(const std::filesystem::path& path,
                            const std::vector<std::string>& lines);

    const FileConfig& Values() const { return values_; }
    FileConfig& Values() { return values_; }
    void SetValues(const FileConfig& values) { values_ = values; }

private:
    void ReadLine(std::string_view line);

    FileConfig values_;
};

// Saves a whole configuration as the pages' "Write File" does; the error
// text is empty on success.
FileResult SaveConfigFile(const std::filesystem::path& path, const FileConfig& config,
                          const FileUnitCaptions& captions = {});

}  // namespace qt40
