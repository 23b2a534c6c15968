#pragma once
// The window program: parses its command line and runs the main window, the
// demo or the screenshot sequence.

namespace qt40 {

class CMainDlgApp {
public:
    // The process's exit code.
    static int Run(int argc, char** argv);
};

}  // namespace qt40
