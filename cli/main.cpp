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
HANDLE g_finished = nullptr;  // set once the command has ended

// Ctrl+C and Ctrl+Break come on a thread of their own: ask the app to stop,
// and let `monitor` and `loop-test` end cleanly.
BOOL WINAPI OnConsoleControl(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            if (g_app) g_app->RequestStop();
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The process ends when this returns, or after some 5 s: time
            // for loop-test to leave fixed-current mode first.
            if (g_app) g_app->RequestStop();
            if (g_finished) WaitForSingleObject(g_finished, 4500);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

int main(int argc, char** argv) {
    qt40::cli::CliApp app(std::cout, std::cerr);
    g_app = &app;
    g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    const int code = app.Run(argc, argv);
    std::cout.flush();
    if (g_finished) SetEvent(g_finished);
    return code;
}
#else
#include <signal.h>

int main(int argc, char** argv) {
    // Blocked before any thread starts, so every thread inherits it and the
    // signals wait for CliApp to take them: `sim` and `monitor` end cleanly,
    // and a closed terminal (SIGHUP) still lets a fixed loop be released.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    qt40::cli::CliApp app(std::cout, std::cerr);
    app.WatchSignals(true);
    return app.Run(argc, argv);
}
#endif
