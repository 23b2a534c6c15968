// The traffic view following a fast line: the window program (offscreen)
// connected to the simulated QT40 answering without delay, polling as fast as
// the link goes. CPU time of the window's thread over 10 000 exchanges with
// the Traffic window closed, then over 10 000 more with it open and
// following; the second should stay within twice the first. The record is
// bounded small here (5 000) so the runs go past it: memory must level off,
// as a third run with the view open shows.
// Lines: exchanges, seconds, window-thread CPU, process CPU, resident memory.

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QEventLoop>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/resource.h>

#include "app/CMainDlgDlg.h"
#include "bench/NoPrompts.h"
#include "monitor/CTrafficWindow.h"
#include "monitor/TrafficTableModel.h"

using namespace qt40;

namespace {

double ThreadCpuS() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double ProcessCpuS() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

struct Run {
    std::uint64_t exchanges = 0;
    double seconds = 0, windowCpu = 0, processCpu = 0;
    long rssStartKb = 0, rssEndKb = 0;
};

// Lets the window run its event loop until the link has recorded `n` more
// exchanges; the count is looked at ten times a second, so the bench itself
// adds next to nothing to the window thread.
Run Follow(CMainDlgDlg& window, std::uint64_t n) {
    std::uint64_t last = 0;
    const auto recorded = [&] {
        const auto fresh = window.Traffic().Since(last);
        if (!fresh.empty()) last = fresh.back()->number;
        return last;
    };
    Run r;
    const std::uint64_t from = recorded();
    r.rssStartKb = ResidentKb();
    const double cpu0 = ThreadCpuS();
    const double process0 = ProcessCpuS();
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (recorded() >= from + n || timer.elapsed() > 600'000) loop.quit();
    });
    check.start(100);
    loop.exec();
    r.exchanges = last - from;
    r.seconds = static_cast<double>(timer.elapsed()) / 1000.0;
    r.windowCpu = ThreadCpuS() - cpu0;
    r.processCpu = ProcessCpuS() - process0;
    r.rssEndKb = ResidentKb();
    return r;
}

void Print(const char* name, const Run& r) {
    std::printf("%-28s %6llu exchanges in %6.2f s (%5.0f/s): window thread %6.3f s CPU "
                "(%5.1f us an exchange), process %6.3f s; resident %ld -> %ld kB\n",
                name, static_cast<unsigned long long>(r.exchanges), r.seconds,
                static_cast<double>(r.exchanges) / r.seconds, r.windowCpu,
                r.windowCpu * 1e6 / static_cast<double>(r.exchanges), r.processCpu, r.rssStartKb,
                r.rssEndKb);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    NoPrompts prompts;
    AppOptions options;
    options.settingsFile = dir.filePath("settings.ini");
    options.japaneseLocale = false;
    options.prompts = &prompts;
    options.portSource = [] { return std::vector<PortEntry>{}; };
    options.languageDir = QT40_LANG_DIR;
    options.reportError = [](const QString& text) {
        std::fprintf(stderr, "traffic_view_bench: %s\n", text.toLocal8Bit().constData());
    };
    options.demo = true;
    options.demoRealtime = false;
    // No pacing: the exchanges go as fast as the pseudo-terminal carries them.
    options.timing = LinkTiming::Fast();
    options.timing.answerTimeoutMs = 300;
    options.timing.interByteTimeoutMs = 200;
    options.timing.idlePollMs = 1;
    options.reconnectWaitMs = 0;
    options.trafficCapacity = 5000;
    constexpr std::uint64_t kExchanges = 10000;

    CMainDlgDlg window(options);
    window.show();
    window.ConnectDemoDevice();
    QElapsedTimer wait;
    wait.start();
    while (!(window.Connection().Connected() && !window.Connection().ProgressShown()) &&
           wait.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (!window.Connection().Connected()) {
        std::fprintf(stderr, "traffic_view_bench: the demo device did not connect\n");
        return 1;
    }
    Follow(window, 500);  // settle: caches, first paints

    const Run closed = Follow(window, kExchanges);
    Print("traffic view closed:", closed);
    window.OpenTraffic();
    const Run open = Follow(window, kExchanges);
    Print("traffic view open, following:", open);
    // Both the record and the view are full by now: memory stays level.
    const Run again = Follow(window, kExchanges);
    Print("open, 10 000 more:", again);
    const double perClosed = closed.windowCpu / static_cast<double>(closed.exchanges);
    const double perOpen = open.windowCpu / static_cast<double>(open.exchanges);
    std::printf("window thread CPU an exchange, open / closed: %.2f (within 2: %s)\n",
                perOpen / perClosed, perOpen <= 2 * perClosed ? "yes" : "NO");
    std::printf("record: %zu of %zu kept, %llu dropped; the view holds %zu rows\n",
                window.Traffic().Size(), window.Traffic().Capacity(),
                static_cast<unsigned long long>(window.Traffic().Dropped()),
                window.TrafficWindow()->Model()->Held());
    window.Connection().StopConnection();
    return 0;
}
