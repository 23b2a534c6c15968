#pragma once
// One QApplication for the widget tests of this folder, made on first use.

#include <QApplication>

namespace qt40 {

inline QApplication& MonitorTestApp() {
    static int argc = 1;
    static char name[] = "monitor_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

}  // namespace qt40
