// qt40cfg-cli: see cli/CliApp.h.

#include <iostream>

#include "cli/CliApp.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

qt40::cli::CliApp* g_app = nullptr;

// Ctrl+C and Ctrl+Break come on a thread of their own: ask the app to stop,
// and let `sim` and `monitor` end cleanly.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    if (g_app) g_app->RequestStop();
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    qt40::cli::CliApp app(std::cout, std::cerr);
    g_app = &app;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return app.Run(argc, argv);
}
#else
#include <signal.h>

int main(int argc, char** argv) {
    // Blocked before any thread starts, so every thread inherits it and the
    // signals wait for CliApp to take them: `sim` and `monitor` end cleanly.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    qt40::cli::CliApp app(std::cout, std::cerr);
    app.WatchSignals(true);
    return app.Run(argc, argv);
}
#endif
