#pragma once
// The words a command ends with after it fixed the loop current: whether
// level 0 was answered, or why the output may still be fixed.

#include <fmt/format.h>

#include <string>

#include "procedures/LevelRelease.h"
#include "model/NumberText.h"

namespace qt40::cli {

inline constexpr const char* kLoopReleased = "the loop was released (level 0 answered)";

// Why a release that did not end with level 0 answered failed.
inline std::string ReleaseFailure(const LevelRelease& release) {
    const int seconds = LevelRelease::kBoundMs / 1000;
    if (release.Tries() == 0) return "level 0 could not be sent (the connection was closed)";
    if (release.LastResult() == kCommExchangeFailed) {
        return fmt::format("level 0 was not answered ({} tries in {} s)", release.Tries(), seconds);
    }
    return fmt::format("the device refused level 0 (response code {}; {} tries in {} s)",
                       release.LastResponseCode(), release.Tries(), seconds);
}

inline std::string MayStillBeFixed(double ma) {
    return ma > 0.0 ? fmt::format("the output may still be fixed at {} mA", FormatFixed(ma, 3))
                    : std::string("the output may still be fixed");
}

}  // namespace qt40::cli
