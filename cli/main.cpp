// qt40cfg-cli: see cli/CliApp.h.

#include <iostream>

#include "cli/CliApp.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <string>
#include <vector>

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

// The arguments as typed, in UTF-8: main()'s own are in the ANSI code page,
// which cannot hold a folder named in Japanese on most systems.
std::vector<std::string> Utf8Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int i = 0; i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
        if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), n, nullptr, nullptr);
        text.resize(text.size() - 1);  // the terminator
        arguments.push_back(std::move(text));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments = Utf8Arguments();
    std::vector<char*> utf8;
    for (std::string& argument : arguments) utf8.push_back(argument.data());
    utf8.push_back(nullptr);
    if (!arguments.empty()) {
        argc = static_cast<int>(arguments.size());
        argv = utf8.data();
    }
    // Paths and texts are printed as UTF-8; the console shows them so while
    // the command runs.
    const UINT consoleCodePage = GetConsoleOutputCP();
    if (consoleCodePage != 0) SetConsoleOutputCP(CP_UTF8);

    qt40::cli::CliApp app(std::cout, std::cerr);
    g_app = &app;
    g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    const int code = app.Run(argc, argv);
    std::cout.flush();
    if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
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
