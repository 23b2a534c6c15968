#include "app/EndSignals.h"

#include <QSocketNotifier>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <QMetaObject>
#include <QPointer>
#else
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace qt40 {
namespace {

#ifdef _WIN32

QPointer<EndSignals> g_receiver;
HANDLE g_finished = nullptr;
constexpr DWORD kConsoleWaitMs = 4500;  // Windows ends the process after about 5 s

BOOL WINAPI OnConsoleEvent(DWORD type) {
    if (type != CTRL_CLOSE_EVENT && type != CTRL_LOGOFF_EVENT && type != CTRL_SHUTDOWN_EVENT) {
        return FALSE;
    }
    EndSignals* receiver = g_receiver.data();
    if (!receiver) return FALSE;
    const int code = static_cast<int>(type);
    QMetaObject::invokeMethod(
        receiver, [receiver, code] { emit receiver->requested(code); }, Qt::QueuedConnection);
    // Returning ends the process: give the release its chance first.
    WaitForSingleObject(g_finished, kConsoleWaitMs);
    return TRUE;
}

#else

// The handler's end of the pair (written) and the loop's (read).
int g_pair[2] = {-1, -1};
struct sigaction g_previousTerm {};
struct sigaction g_previousHup {};

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // Async-signal-safe; a full pipe only loses a repeat of a request.
    [[maybe_unused]] const ssize_t n = ::write(g_pair[0], &byte, 1);
    errno = saved;
}

#endif

}  // namespace

EndSignals::EndSignals(QObject* parent) : QObject(parent) {
#ifdef _WIN32
    g_receiver = this;
    g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pair) != 0) return;
    notifier_ = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(g_pair[1], &byte, 1) == 1) emit requested(byte);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &g_previousTerm);
    ::sigaction(SIGHUP, &action, &g_previousHup);
#endif
}

EndSignals::~EndSignals() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    g_receiver = nullptr;
    if (g_finished) {
        SetEvent(g_finished);
        CloseHandle(g_finished);
        g_finished = nullptr;
    }
#else
    if (g_pair[0] < 0) return;
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
    ::sigaction(SIGHUP, &g_previousHup, nullptr);
    delete notifier_;
    ::close(g_pair[0]);
    ::close(g_pair[1]);
    g_pair[0] = g_pair[1] = -1;
#endif
}

void EndSignals::Finished() {
#ifdef _WIN32
    if (g_finished) SetEvent(g_finished);
#endif
}

}  // namespace qt40
