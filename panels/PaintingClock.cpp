#include "panels/PaintingClock.h"

#include <QEventLoop>
#include <QTimer>

namespace qt40 {

void PaintingClock::SleepMs(int ms) {
    if (ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace qt40
