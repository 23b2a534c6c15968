#include "files/SafeTextWriter.h"

#include <cerrno>
#include <random>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "files/Utf8Path.h"

namespace qt40 {
namespace {

std::FILE* OpenNew(const std::filesystem::path& path) {
#if defined(_WIN32)
    return _wfopen(path.c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

int SyncToDisk(std::FILE* file) {
#if defined(_WIN32)
    return _commit(_fileno(file));
#else
    return fsync(fileno(file));
#endif
}

std::string Reason(int error) {
    return std::generic_category().message(error);
}

// "<target name>.tmp" and the one to six digits Open() gives its temporary files.
bool IsTemporaryOf(const std::filesystem::path& candidate, const std::filesystem::path& target) {
    const std::string name = Utf8FromPath(candidate.filename());
    const std::string prefix = Utf8FromPath(target.filename()) + ".tmp";
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 6 ||
        name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return name.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

}  // namespace

SafeTextWriter::SafeTextWriter(std::filesystem::path target) : target_(std::move(target)) {}

SafeTextWriter::~SafeTextWriter() {
    Discard();
}

FileResult SafeTextWriter::Fail(std::string_view what, int error) {
    Discard();
    return FileResult::Failure(std::string(what) + " " + Utf8FromPath(target_) + ": " + Reason(error));
}

FileResult SafeTextWriter::Open() {
    Discard();
    error_ = 0;
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::filesystem::path candidate = target_;
        candidate += ".tmp" + std::to_string(random() % 1000000);
        errno = 0;
        file_ = OpenNew(candidate);
        if (file_ != nullptr) {
            temp_ = std::move(candidate);
            std::error_code ec;
            openedAt_ = std::filesystem::last_write_time(temp_, ec);
            return FileResult::Success();
        }
        if (errno != EEXIST) break;
    }
    const int error = errno != 0 ? errno : EIO;
    return FileResult::NotOpened("Cannot write " + Utf8FromPath(target_) + ": " + Reason(error));
}

void SafeTextWriter::WriteLine(std::string_view line) {
    Write(line);
    Write("\r\n");
}

void SafeTextWriter::Write(std::string_view bytes) {
    if (file_ == nullptr || error_ != 0) return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        error_ = errno != 0 ? errno : EIO;
    }
}

FileResult SafeTextWriter::Commit() {
    if (file_ == nullptr) return FileResult::Failure("Cannot write " + Utf8FromPath(target_));
    if (error_ != 0) return Fail("Cannot write", error_);
    errno = 0;
    if (std::fflush(file_) != 0 || SyncToDisk(file_) != 0) {
        return Fail("Cannot write", errno != 0 ? errno : EIO);
    }
    std::FILE* file = std::exchange(file_, nullptr);
    if (std::fclose(file) != 0) return Fail("Cannot write", errno != 0 ? errno : EIO);

    std::error_code ec;
    // Keep the permissions of the file we replace.
    const auto status = std::filesystem::status(target_, ec);
    if (!ec && std::filesystem::exists(status)) {
        std::filesystem::permissions(temp_, status.permissions(), ec);
    }
    std::filesystem::rename(temp_, target_, ec);
    if (ec) {
        const int error = ec.value();
        Discard();
        return FileResult::Failure("Cannot replace " + Utf8FromPath(target_) + ": " + Reason(error));
    }
    temp_.clear();
    RemoveLeftovers();
    return FileResult::Success();
}

// A save killed half-way (power cut, SIGKILL) leaves its temporary file; the
// next good save of the same file removes those that are older than its own.
// One that a save running at this moment is still writing is newer and stays.
void SafeTextWriter::RemoveLeftovers() {
    std::error_code ec;
    const std::filesystem::path folder =
        target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path& candidate = it->path();
        if (!IsTemporaryOf(candidate, target_)) continue;
        std::error_code timeError;
        const auto written = std::filesystem::last_write_time(candidate, timeError);
        if (timeError || written > openedAt_) continue;
        std::error_code ignored;
        std::filesystem::remove(candidate, ignored);
    }
}

void SafeTextWriter::Discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temp_, ignored);
        temp_.clear();
    }
}

}  // namespace qt40
