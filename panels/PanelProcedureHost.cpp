#include "panels/PanelProcedureHost.h"

#include <QEventLoop>
#include <QTimer>

namespace qt40 {

void PanelProcedureHost::Wait(int ms) {
    // Painting and the worker's notifications go on; clicks and keys wait.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace qt40
