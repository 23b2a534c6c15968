#pragma once
// Driving modal dialogs from a test: the step runs from inside the dialog's
// own event loop once a modal widget of the wanted type is up.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace qt40::test {

// A QApplication for one test; every test builds its own.
struct QtApp {
    int argc = 1;
    char name[16] = "widgets_tests";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
};

// Calls `step` with the active modal widget once it is a `T`. Polls the event
// loop instead of waiting a fixed time; gives up (failing the test) only if
// the widget never comes, so that a broken dialog cannot hang the run.
template <typename T>
void WhenModal(std::function<void(T*)> step, int triesLeft = 2000) {
    QTimer::singleShot(triesLeft == 2000 ? 0 : 5, [step = std::move(step), triesLeft] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            step(widget);
        } else if (triesLeft > 0) {
            WhenModal<T>(step, triesLeft - 1);
        } else {
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " appeared";
            if (QWidget* other = QApplication::activeModalWidget()) other->close();
        }
    });
}

// Types `text` key by key; unlike QTest::keyClicks it takes any character.
inline void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(widget, c.toLatin1());
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

}  // namespace qt40::test
