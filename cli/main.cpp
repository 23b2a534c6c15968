// qt40cfg-cli: see cli/CliApp.h.

#include <signal.h>

#include <iostream>

#include "cli/CliApp.h"

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
