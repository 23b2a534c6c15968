// Time to redraw the trend graph's plot with 10^3 … 10^6 samples: the whole
// frame, the axes and the curve into the off-screen image, as after every
// poll while a trend runs. Also with one sample appended first, as a poll
// does. Medians of many redraws; the last line is the 10^6 / 10^3 ratio.

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/NoPrompts.h"
#include "monitor/CCustomLineGraph.h"
#include "monitor/GraphMath.h"
#include "resources/CResourceDatabase.h"

using namespace qt40;

namespace {

constexpr int kRepeats = 101;

template <typename Work>
double MedianMs(Work work) {
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + kRepeats / 2, times.end());
    return times[kRepeats / 2];
}

double Value(std::size_t i) {
    return 25.0 + 2.0 * std::sin(static_cast<double>(i) * 0.15) +
           0.01 * static_cast<double>(i % 13);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    CResourceDatabase texts(dir.path().toStdString());
    NoPrompts prompts;

    std::printf("%10s %14s %20s\n", "samples", "redraw ms", "append+redraw ms");
    double first = 0.0;
    double last = 0.0;
    for (std::size_t n :
         {std::size_t{1000}, std::size_t{10000}, std::size_t{100000}, std::size_t{1000000}}) {
        CCustomLineGraph graph(texts, prompts);
        graph.resize(520, 385);
        graph.SetCaptions("PV", "(degC)");
        graph.Initialise();
        SampleSeries series;
        for (std::size_t i = 0; i < n; ++i) series.Append(static_cast<double>(i) * 0.2, Value(i));
        graph.SetRanges({0.0, 1.0}, {0.0, 0.1});
        graph.PlotTrend(series);  // widens to the samples once
        const double redraw = MedianMs([&] { graph.PlotTrend(series); });
        std::size_t next = n;
        const double append = MedianMs([&] {
            series.Append(static_cast<double>(next) * 0.2, Value(next));
            ++next;
            graph.PlotTrend(series);
        });
        std::printf("%10zu %14.3f %20.3f\n", n, redraw, append);
        if (n == 1000) first = redraw;
        last = redraw;
    }
    std::printf("ratio redraw 10^6 / 10^3: %.2f\n", last / first);
    return 0;
}
