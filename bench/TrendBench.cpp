// Measures one redraw's arithmetic of a trend of 8 signals x 1 hour of history (a full ring
// of 360,000 samples each, 100 a second): the decimated polylines of every signal over a
// 1-hour window and over a 10-second one, the auto scales, and a CSV export of the hour.
// Every redraw follows a new sample. Also the drawing itself (auto scales included) into an image
// of the plot's size when built with the views. Prints figures and the history's memory; asserts
// nothing.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "oscilloscope/TrendCsv.h"
#include "oscilloscope/TrendPlot.h"

#ifdef TARVO_TREND_PAINT
#include <QApplication>
#include <QImage>

#include "oscilloscope/views/TrendPlotView.h"
#endif

using Clock = std::chrono::steady_clock;

namespace {

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

template <class Work>
double Best(int rounds, Work&& work) {
    double best = 1e9;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        work();
        best = std::min(best, Millis(Clock::now() - start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr int kSignals = tarvo::TrendPlot::kMaxSignals;
    constexpr size_t kSamples = tarvo::TrendRing::kDefaultCapacity;
    tarvo::TrendPlot plot;
    for (int s = 0; s < kSignals; ++s) {
        plot.AddSignal(0x200000 + static_cast<uint32_t>(s) * 256, "signal", "rpm");
        tarvo::TrendRing& ring = *plot.At(s).ring;
        // Wrapped once, so every read crosses the ring's end.
        for (size_t i = 0; i < kSamples + kSamples / 3; ++i) {
            double t = static_cast<double>(i) * 0.01;
            ring.Add(t, 1000.0 * std::sin(t * (s + 1) * 0.1) + static_cast<double>(i % 7));
        }
    }
    double end = (kSamples + kSamples / 3 - 1) * 0.01;
    plot.SetArea({8, 8, 1288, 608});  // 1280 columns
    plot.SetWindow(3600);
    plot.SetNow(end);
    std::printf("trend: %d signals x %zu samples, history %.1f MB\n", kSignals,
                plot.At(0).ring->Size(), plot.MemoryBytes() / 1e6);

    // Each redraw follows a new sample of every signal, as while the trend runs: nothing
    // computed for the one before can be reused.
    auto arrive = [&] {
        end += 0.01;
        for (int s = 0; s < kSignals; ++s) {
            plot.At(s).ring->Add(end, 1000.0 * std::sin(end * (s + 1) * 0.1));
        }
        plot.SetNow(end);
    };
    auto redraw = [&] {
        arrive();
        plot.ApplyAutoScales();
        size_t points = 0;
        for (int s = 0; s < kSignals; ++s) {
            for (const auto& line : plot.Polylines(s)) {
                points += line.size();
            }
        }
        if (points == 0) {
            std::printf("nothing drawn\n");
        }
    };
    std::printf("redraw arithmetic, 1 h window:  %.2f ms (best of 9)\n", Best(9, redraw));
    plot.SetWindow(10);
    std::printf("redraw arithmetic, 10 s window: %.2f ms (best of 9)\n", Best(9, redraw));
    plot.SetWindow(3600);
    std::printf("CSV of the whole hour:           %.0f ms\n", Best(1, [&] {
                    std::string text = tarvo::TrendCsv::Text(plot, 0, end);
                    if (text.empty()) {
                        std::printf("no text\n");
                    }
                }));
#ifdef TARVO_TREND_PAINT
    QApplication app(argc, argv);
    tarvo::TrendPlotView view(plot, {});
    view.resize(1296, 630);
    QImage image(view.size(), QImage::Format_RGB32);
    std::printf("whole redraw with painting, 1 h: %.2f ms (best of 9)\n", Best(9, [&] {
                    arrive();
                    plot.ApplyAutoScales();
                    view.render(&image);
                }));
    plot.SetWindow(10);
    std::printf("whole redraw with painting, 10 s: %.2f ms (best of 9)\n", Best(9, [&] {
                    arrive();
                    plot.ApplyAutoScales();
                    view.render(&image);
                }));
    tarvo::TrendPlot empty;
    tarvo::TrendPlotView bare(empty, {});
    bare.resize(view.size());
    std::printf("painting without signals:        %.2f ms (best of 9)\n",
                Best(9, [&] { bare.render(&image); }));
#else
    (void)argc;
    (void)argv;
#endif
    return 0;
}
