#pragma once
// How the window program is started: where settings and language files live,
// and what tests or the demo put in place of the real world.

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

#include "base/LinkTiming.h"
#include "base/Prompts.h"
#include "ports/CCOMPortEnumerator.h"

namespace qt40 {

struct AppOptions {
    QString settingsFile;                // empty: the per-user store
    std::filesystem::path languageDir;   // empty: beside the program
    std::optional<bool> japaneseLocale;  // empty: the system decides
    Prompts* prompts = nullptr;          // empty: real dialogs and boxes
    std::optional<CCOMPortEnumerator::Source> portSource;  // empty: the system's ports
    LinkTiming timing;
    int reconnectWaitMs = 500;
    // A failure that has no language text (the language file itself).
    std::function<void(const QString&)> reportError;
    // A simulated QT40 behind a pseudo-terminal, offered first in the port box.
    bool demo = false;
    bool demoRealtime = true;
    // How many exchanges the traffic record keeps.
    std::size_t trafficCapacity = 100000;
};

}  // namespace qt40
