#pragma once
// The system's requests to end the window program, delivered on the Qt event
// loop: SIGTERM and SIGHUP on POSIX (kill, a log-out, a shut-down, a closed
// terminal), through a socket pair the handler writes to; on Windows the
// console's close, log-off and shut-down events (the handler thread waits
// until Finished or the few seconds the system allows).

#include <QObject>

class QSocketNotifier;

namespace qt40 {

class EndSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; only one instance at a time. The handlers
    // before it come back when it is destroyed.
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // What `requested` started has ended: a waiting console handler returns.
    void Finished();

signals:
    // The signal number (SIGTERM, SIGHUP), or on Windows the console event.
    void requested(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qt40
