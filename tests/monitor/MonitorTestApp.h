#pragma once
// One QApplication for the widget tests of this folder, made on first use.
// It is never destroyed: Qt Test's input devices outlive any static here, and
// tearing the application down before them crashes at exit.

#include <QApplication>

namespace qt40 {

inline QApplication& MonitorTestApp() {
    static int argc = 1;
    static char name[] = "monitor_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace qt40
