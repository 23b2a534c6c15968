#pragma once
// Writes a text (or any byte) file through a temporary file in the same folder that
// replaces the target only on Commit(). Destroying an uncommitted writer (an
// error or an exception half-way) removes the temporary file and leaves the
// target untouched.

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "files/FileResult.h"

namespace qt40 {

class SafeTextWriter {
public:
    explicit SafeTextWriter(std::filesystem::path target);
    SafeTextWriter(const SafeTextWriter&) = delete;
    SafeTextWriter& operator=(const SafeTextWriter&) = delete;
    ~SafeTextWriter();

    // Creates the temporary file; fails when the target's folder cannot take it.
    FileResult Open();
    // Appends the line and CR LF; the first error is kept for Commit().
    void WriteLine(std::string_view line);
    // Appends bytes as they are (an image); errors as for WriteLine.
    void Write(std::string_view bytes);
    // Flushes to disk and renames over the target; on failure the target is
    // unchanged. After a success, removes the temporary files that saves of
    // the same target killed half-way left behind.
    FileResult Commit();

private:
    void Discard();
    void RemoveLeftovers();
    FileResult Fail(std::string_view what, int error);

    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::filesystem::file_time_type openedAt_{};
    std::FILE* file_ = nullptr;
    int error_ = 0;
};

}  // namespace qt40
