#pragma once
// Outcome of a file operation, with the system's reason when it failed.

#include <string>
#include <utility>

namespace qt40 {

struct FileResult {
    enum class Status {
        Ok,
        NotOpened,  // the file could not be opened; nothing was read or changed
        Failed,     // an error while reading or writing
    };

    Status status = Status::Ok;
    std::string error;  // names the file and the reason; empty when ok

    bool ok() const { return status == Status::Ok; }
    static FileResult Success() { return {}; }
    static FileResult NotOpened(std::string text) { return {Status::NotOpened, std::move(text)}; }
    static FileResult Failure(std::string text) { return {Status::Failed, std::move(text)}; }
};

}  // namespace qt40
