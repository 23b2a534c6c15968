#include "traffic/CaptureFile.h"

#include <cerrno>
#include <cstring>

#include "files/Utf8Path.h"

namespace qt40::traffic {

CaptureFile::CaptureFile(std::filesystem::path path, CaptureSource source, Transport transport)
    : path_(std::move(path)), source_(std::move(source)), transport_(transport) {}

std::optional<std::string> CaptureFile::Open() {
    const std::string name = Utf8FromPath(path_);
    std::error_code ec;
    if (std::filesystem::is_directory(path_, ec)) return name + " is a folder";
    errno = 0;
    file_.open(path_, std::ios::binary | std::ios::trunc);
    if (!file_) {
        return "cannot write " + name + (errno ? ": " + std::string(std::strerror(errno)) : "");
    }
    return std::nullopt;
}

void CaptureFile::Put(const std::vector<std::uint8_t>& bytes) {
    if (!error_.empty() || !file_.is_open()) return;
    // Each block reaches the system at once: a kill loses nothing written.
    file_.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
    file_.flush();
    if (!file_) error_ = "cannot write " + Utf8FromPath(path_);
}

void CaptureFile::Add(const Exchange& exchange) {
    std::lock_guard lock(mutex_);
    if (!exchange.Sent()) return;
    if (!writer_) writer_.emplace(source_, exchange.transport);
    writer_->Add(exchange);
    Put(writer_->Take());
}

std::optional<std::string> CaptureFile::Finish() {
    std::lock_guard lock(mutex_);
    if (!file_.is_open()) return error_.empty() ? std::nullopt : std::optional(error_);
    if (!writer_) writer_.emplace(source_, transport_);
    Put(writer_->Finish());
    file_.close();
    if (error_.empty() && file_.fail()) error_ = "cannot write " + Utf8FromPath(path_);
    if (!error_.empty()) return error_;
    return std::nullopt;
}

}  // namespace qt40::traffic
