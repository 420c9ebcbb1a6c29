#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "oscilloscope/TrendCsv.h"
#include "oscilloscope/TrendDecimation.h"
#include "oscilloscope/TrendPlot.h"
#include "oscilloscope/TrendRing.h"
#include "oscilloscope/TrendTimeAxis.h"

namespace tarvo {
namespace {

// Samples at 0.0, 0.1, 0.2 ... seconds.
void Fill(TrendRing& ring, const std::vector<double>& values, double start = 0.0) {
    for (size_t i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(ring.Add(start + 0.1 * static_cast<double>(i), values[i]));
    }
}

std::vector<double> Values(const TrendRing& ring) {
    std::vector<double> values;
    for (size_t i = 0; i < ring.Size(); ++i) {
        values.push_back(ring.At(i).gap ? -999 : ring.At(i).value);
    }
    return values;
}

TEST(TrendRing, WrapsKeepingTheNewestInOrder) {
    TrendRing ring(4);
    Fill(ring, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(ring.Size(), 4u);
    EXPECT_EQ(Values(ring), (std::vector<double>{3, 4, 5, 6}));
    EXPECT_DOUBLE_EQ(ring.At(0).time, 0.2);
    EXPECT_DOUBLE_EQ(ring.Newest().time, 0.5);
    // Lower bound across the wrap point: 0.35 lies between the 2nd and 3rd kept samples.
    EXPECT_EQ(ring.LowerBound(0.35), 2u);
    EXPECT_EQ(ring.LowerBound(0.3), 1u);
    EXPECT_EQ(ring.LowerBound(0.0), 0u);
    EXPECT_EQ(ring.LowerBound(9.0), 4u);
    // Runs visited in order across the end of the storage.
    std::vector<uint32_t> times;
    ring.ForEach(1, 4, [&](uint32_t ms, double, bool) { times.push_back(ms); });
    EXPECT_EQ(times, (std::vector<uint32_t>{300, 400, 500}));
}

TEST(TrendRing, RefusesWhatWouldBreakTheOrderAndRepeatsNoGap) {
    TrendRing ring(8);
    EXPECT_TRUE(ring.Add(1.0, 10));
    EXPECT_FALSE(ring.Add(0.999, 11));  // older than the newest
    EXPECT_TRUE(ring.Add(1.0, 12));     // the same millisecond is kept
    EXPECT_FALSE(ring.Add(-0.5, 1));
    EXPECT_FALSE(ring.Add(TrendRing::kLatestTime + 1, 1));
    EXPECT_FALSE(ring.Add(2.0, std::nan("")));
    EXPECT_TRUE(ring.AddGap(2.0, TrendGapReason::Abort));
    EXPECT_FALSE(ring.AddGap(2.5, TrendGapReason::NoAnswer));  // one break is enough
    EXPECT_TRUE(ring.Add(3.0, 13));
    EXPECT_TRUE(ring.AddGap(3.0, TrendGapReason::ConnectionClosed));
    EXPECT_EQ(Values(ring), (std::vector<double>{10, 12, -999, 13, -999}));
    EXPECT_EQ(ring.At(2).reason, TrendGapReason::Abort);
    EXPECT_EQ(ring.At(4).reason, TrendGapReason::ConnectionClosed);
    EXPECT_EQ(ring.MemoryBytes(), 8u * 16u + sizeof(TrendRing::Block));
}

TEST(TrendRing, RateCountsSamplesNotGapsOverTheSpan) {
    TrendRing ring(100);
    Fill(ring, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});  // 0.0 .. 1.0, 10 per second
    EXPECT_DOUBLE_EQ(ring.Rate(1.0), 10.0);         // 0.1 .. 1.0; the one at exactly 0.0 is out
    EXPECT_DOUBLE_EQ(ring.Rate(0.5), 10.0);
    ring.AddGap(1.05, TrendGapReason::NoAnswer);
    EXPECT_DOUBLE_EQ(ring.Rate(0.5), 10.0);  // 0.6 .. 1.0: five samples, the gap not counted
    EXPECT_DOUBLE_EQ(TrendRing(4).Rate(1.0), 0.0);
    // A history shorter than the span is measured over what it covers.
    TrendRing young(100);
    Fill(young, {1, 1, 1, 1, 1, 1}, 0.5);  // 0.5 .. 1.0
    EXPECT_DOUBLE_EQ(young.Rate(5.0), 10.0);
    TrendRing single(4);
    single.Add(2.0, 1);
    EXPECT_DOUBLE_EQ(single.Rate(5.0), 0.0);
}

TEST(TrendDecimation, OneMinMaxPairPerColumnAtTheBoundaries) {
    TrendRing ring(64);
    Fill(ring, {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 7});  // the 11th, at 1.0, lies beyond `to`
    auto columns = TrendDecimation::Columns(ring, 0.0, 1.0, 5);
    ASSERT_EQ(columns.size(), 5u);
    struct Expected {
        int count;
        double minimum, maximum, first, last;
    };
    const Expected expected[] = {
        {2, 1, 3, 3, 1}, {2, 1, 4, 4, 1}, {2, 5, 9, 5, 9}, {2, 2, 6, 2, 6}, {2, 3, 5, 5, 3}};
    for (size_t c = 0; c < 5; ++c) {
        EXPECT_EQ(columns[c].count, expected[c].count) << c;
        EXPECT_EQ(columns[c].minimum, expected[c].minimum) << c;
        EXPECT_EQ(columns[c].maximum, expected[c].maximum) << c;
        EXPECT_EQ(columns[c].first, expected[c].first) << c;
        EXPECT_EQ(columns[c].last, expected[c].last) << c;
        EXPECT_FALSE(columns[c].gapBefore) << c;
    }
    // A window starting mid-history leaves the older samples out.
    columns = TrendDecimation::Columns(ring, 0.5, 0.7, 2);
    EXPECT_EQ(columns[0].count, 1);
    EXPECT_EQ(columns[0].first, 9);
    EXPECT_EQ(columns[1].first, 2);
    EXPECT_TRUE(TrendDecimation::Columns(ring, 1.0, 1.0, 5).empty());
    EXPECT_TRUE(TrendDecimation::Columns(ring, 0.0, 1.0, 0).empty());
}

TEST(TrendDecimation, BlocksOfAWrappedRingGiveWhatTheSamplesGive) {
    // 1,124 samples a millisecond apart, a gap and one more in a ring of 1,024: the oldest
    // 102 gave way, so the storage's blocks start 26 samples into the history.
    TrendRing ring(1024);
    for (int i = 0; i < 1124; ++i) {
        double value = i == 600 ? 1000 : i == 900 ? -5 : i % 50;
        ASSERT_TRUE(ring.Add(i * 0.001, value));
    }
    ring.AddGap(1.124, TrendGapReason::Abort);
    ring.Add(1.125, 7);
    // 0.128 .. 0.640 .. 1.152: boundaries on block edges, so blocks give exact columns.
    auto columns = TrendDecimation::Columns(ring, 0.128, 1.152, 2);
    ASSERT_EQ(columns.size(), 2u);
    const double expected[2][4] = {{0, 1000, 28, 39}, {-5, 49, 40, 7}};  // min max first last
    const int counts[2] = {512, 485};
    for (size_t c = 0; c < 2; ++c) {
        EXPECT_EQ(columns[c].count, counts[c]) << c;
        EXPECT_EQ(columns[c].minimum, expected[c][0]) << c;
        EXPECT_EQ(columns[c].maximum, expected[c][1]) << c;
        EXPECT_EQ(columns[c].first, expected[c][2]) << c;
        EXPECT_EQ(columns[c].last, expected[c][3]) << c;
    }
    EXPECT_TRUE(TrendDecimation::Columns(ring, 1.0, 1.2, 1)[0].count > 0);
}

// The columns read one sample at a time, as the block summaries must reproduce them.
std::vector<TrendColumn> ScanColumns(const TrendRing& ring, double from, double to, int count) {
    std::vector<TrendColumn> columns(static_cast<size_t>(count));
    double width = (to - from) / count;
    bool pendingGap = false;
    for (size_t i = 0; i < ring.Size(); ++i) {
        TrendSample s = ring.At(i);
        if (s.time < from - 1e-9 || s.time >= to - 1e-9) {
            continue;
        }
        int c = 0;
        while (c + 1 < count && s.time >= from + width * (c + 1) - 1e-9) {
            ++c;
        }
        TrendColumn& cell = columns[static_cast<size_t>(c)];
        if (s.gap) {
            pendingGap = true;
            cell.gapBefore = cell.gapBefore || cell.count == 0;
            continue;
        }
        if (cell.count == 0) {
            cell.minimum = cell.maximum = cell.first = s.value;
            cell.gapBefore = cell.gapBefore || pendingGap;
        }
        pendingGap = false;
        cell.minimum = std::min(cell.minimum, s.value);
        cell.maximum = std::max(cell.maximum, s.value);
        cell.last = s.value;
        ++cell.count;
    }
    return columns;
}

TEST(TrendDecimation, BlockSummariesGiveWhatASampleScanGives) {
    // 2,000 samples in a ring of 1,024 (wrapped: the history starts at sample 976, half a
    // block into the storage), extremes on a block's first and last sample, gaps inside
    // blocks.
    TrendRing ring(1024);
    for (int i = 0; i < 2000; ++i) {
        double time = i * 0.001;
        if (i == 1300 || i == 1551 || i == 1760) {
            ASSERT_TRUE(ring.AddGap(time, TrendGapReason::NoAnswer));
            continue;
        }
        double value = (i * 37) % 101;
        value = i == 1024 ? 5000 : i == 1055 ? -5000 : i == 1471 ? 777 : value;
        ASSERT_TRUE(ring.Add(time, value));
    }
    ASSERT_EQ(ring.Size(), 1024u);
    struct Span {
        double from, to;
        int columns;
        bool onBlockEdges;  // every column boundary where a storage block starts
    };
    const Span spans[] = {
        {0.992, 1.504, 2, true},  // extremes on a block's ends, no gap
        {1.024, 2.048, 4, true},  // gaps in three columns, the last one past the newest
        {0.976, 2.0, 1, true},    // the whole history, from half a block in
        {0.976, 2.0, 3, false},   // boundaries splitting blocks
        {0.9915, 1.9915, 2, false},
    };
    for (const Span& span : spans) {
        auto fast = TrendDecimation::Columns(ring, span.from, span.to, span.columns);
        auto slow = ScanColumns(ring, span.from, span.to, span.columns);
        ASSERT_EQ(fast.size(), slow.size());
        int fastCount = 0, slowCount = 0;
        double fastLow = 1e9, slowLow = 1e9, fastHigh = -1e9, slowHigh = -1e9;
        for (size_t c = 0; c < fast.size(); ++c) {
            SCOPED_TRACE(testing::Message() << span.from << ".." << span.to << " /" << span.columns
                                            << " column " << c);
            fastCount += fast[c].count;
            slowCount += slow[c].count;
            fastLow = std::min(fastLow, fast[c].minimum);
            slowLow = std::min(slowLow, slow[c].minimum);
            fastHigh = std::max(fastHigh, fast[c].maximum);
            slowHigh = std::max(slowHigh, slow[c].maximum);
            EXPECT_EQ(fast[c].gapBefore, slow[c].gapBefore);
            if (!span.onBlockEdges) {
                // A block that a boundary splits goes whole to its first sample's column.
                EXPECT_NEAR(fast[c].count, slow[c].count, static_cast<int>(TrendRing::kBlock));
                continue;
            }
            EXPECT_EQ(fast[c].count, slow[c].count);
            EXPECT_EQ(fast[c].minimum, slow[c].minimum);
            EXPECT_EQ(fast[c].maximum, slow[c].maximum);
            EXPECT_EQ(fast[c].first, slow[c].first);
            EXPECT_EQ(fast[c].last, slow[c].last);
        }
        EXPECT_EQ(fastCount, slowCount) << span.from;
        EXPECT_EQ(fastLow, slowLow) << span.from;
        EXPECT_EQ(fastHigh, slowHigh) << span.from;
    }
}

TEST(TrendDecimation, EmptyColumnsAreNoGapsButGapsAre) {
    TrendRing ring(64);
    ring.Add(0.0, 1);
    ring.Add(0.9, 2);  // sparse: the columns between are empty, the line goes on
    auto columns = TrendDecimation::Columns(ring, 0.0, 1.0, 5);
    EXPECT_EQ(columns[0].count, 1);
    EXPECT_EQ(columns[2].count, 0);
    EXPECT_EQ(columns[4].count, 1);
    for (const TrendColumn& column : columns) {
        EXPECT_FALSE(column.gapBefore);
    }
    TrendRing broken(64);
    broken.Add(0.1, 1);
    broken.AddGap(0.3, TrendGapReason::NoAnswer);  // lands in column 1, which stays empty
    broken.Add(0.7, 5);
    columns = TrendDecimation::Columns(broken, 0.0, 1.0, 5);
    EXPECT_TRUE(columns[1].gapBefore);
    EXPECT_TRUE(columns[3].gapBefore);  // the first sample after the gap starts a new line
    EXPECT_FALSE(columns[0].gapBefore);
    EXPECT_FALSE(columns[2].gapBefore);
}

TrendPlot PlotWith(const std::vector<double>& values, int width = 10) {
    TrendPlot plot(64);
    plot.AddSignal(0x606C00, "Velocity actual value", "rpm");
    Fill(*plot.At(0).ring, values);
    plot.SetArea({100, 0, 100 + width, 80});
    plot.SetWindow(10);
    plot.SetNow(1.0);
    return plot;
}

TEST(TrendPlot, PolylinesBreakAtGapsOnly) {
    TrendPlot plot = PlotWith({0, 1, 2}, 100);  // at 0.0, 0.1, 0.2
    plot.At(0).ring->AddGap(0.25, TrendGapReason::Abort);
    plot.At(0).ring->Add(0.5, 4);
    plot.At(0).ring->Add(0.9, 4);
    plot.At(0).autoScale = false;
    plot.At(0).scale = 1.0;  // 10 pixels a unit, centre row 40 at value 0
    plot.At(0).offset = 0.0;
    ASSERT_TRUE(plot.Zoom(100, 110));  // the first second over 100 columns
    EXPECT_DOUBLE_EQ(plot.To(), 1.0);
    auto lines = plot.Polylines(0);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0].size(), 3u);
    EXPECT_EQ(lines[0][0].x, 100);
    EXPECT_EQ(lines[0][0].y, 40);
    EXPECT_EQ(lines[0][1].x, 110);
    EXPECT_EQ(lines[0][2].y, 20);  // value 2
    ASSERT_EQ(lines[1].size(), 2u);
    EXPECT_EQ(lines[1][0].x, 150);
    EXPECT_EQ(lines[1][0].y, 0);  // value 4
    EXPECT_EQ(lines[1][1].x, 190);
    auto gaps = plot.Gaps(0);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].first, 125);
    EXPECT_EQ(gaps[0].second, TrendGapReason::Abort);
    // Many samples in one column: its span, from the end the curve enters (falling here).
    TrendPlot dense = PlotWith({5, 9, 1, 3}, 10);  // 0 .. 10 s on 10 columns: all in column 0
    dense.At(0).autoScale = false;
    dense.At(0).scale = 1.0;
    lines = dense.Polylines(0);
    ASSERT_EQ(lines.size(), 1u);
    std::vector<int> rows;
    for (const PlotPixel& pixel : lines[0]) {
        rows.push_back(pixel.y);
    }
    EXPECT_EQ(rows, (std::vector<int>{-50, 30}));
    dense.At(0).ring->Add(0.5, 6);  // rising through column 0 now
    dense.At(0).ring->Add(9.5, 2);  // a lone sample in column 9
    lines = dense.Polylines(0);
    ASSERT_EQ(lines[0].size(), 3u);
    EXPECT_EQ(lines[0][0].y, 30);  // minimum 1 first
    EXPECT_EQ(lines[0][1].y, -50);
    EXPECT_EQ(lines[0][2].y, 20);
}

TEST(TrendPlot, WindowScrollsPausesAndZooms) {
    TrendPlot plot(16);
    for (auto [asked, kept] : std::vector<std::pair<double, double>>{
             {5, 10}, {10, 10}, {600, 600}, {3600, 3600}, {7200, 3600}}) {
        plot.SetWindow(asked);
        EXPECT_EQ(plot.Window(), kept) << asked;
    }
    plot.SetWindow(10);
    plot.SetNow(4);  // before a window has passed it shows 0..10
    EXPECT_EQ(plot.From(), 0);
    plot.SetNow(25);
    EXPECT_EQ(plot.From(), 15);
    EXPECT_EQ(plot.To(), 25);
    plot.SetPaused(true);
    plot.SetNow(40);
    EXPECT_EQ(plot.To(), 25);
    plot.SetPaused(false);
    EXPECT_EQ(plot.To(), 40);
    plot.SetNow(3);  // paused before a window has passed: still 0..10, nothing negative
    plot.SetPaused(true);
    EXPECT_EQ(plot.From(), 0);
    plot.SetPaused(false);
    plot.SetNow(40);
    plot.SetArea({0, 0, 100, 50});
    EXPECT_FALSE(plot.Zoom(50, 51));
    ASSERT_TRUE(plot.Zoom(80, 20));  // either order
    EXPECT_DOUBLE_EQ(plot.From(), 32);
    EXPECT_DOUBLE_EQ(plot.To(), 38);
    plot.SetNow(50);
    EXPECT_DOUBLE_EQ(plot.To(), 38);
    plot.ResetZoom();
    EXPECT_EQ(plot.To(), 50);
}

TEST(TrendPlot, SignalsAreUniqueAndAtMostEight) {
    TrendPlot plot(4);
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(plot.AddSignal(0x200000 + i * 256, "s", ""), static_cast<int>(i));
    }
    EXPECT_EQ(plot.AddSignal(0x300000, "ninth", ""), -1);
    EXPECT_EQ(plot.AddSignal(0x200100, "again", ""), -1);
    EXPECT_TRUE(plot.RemoveSignal(0));
    EXPECT_FALSE(plot.RemoveSignal(7));
    EXPECT_EQ(plot.Find(0x200100), 0);
    EXPECT_EQ(plot.AddSignal(0x300000, "ninth", ""), 7);
    EXPECT_EQ(plot.MemoryBytes(), 8u * (4u * 16u + sizeof(TrendRing::Block)));
}

TEST(TrendPlot, AutoScaleCoversTheVisibleRange) {
    TrendPlot plot = PlotWith({0, 600, 1200}, 100);
    plot.ApplyAutoScales();
    EXPECT_DOUBLE_EQ(plot.At(0).offset, 600);
    EXPECT_DOUBLE_EQ(plot.At(0).scale, 200);  // 1200 over six divisions
    TrendPlot flat = PlotWith({-7, -7}, 100);
    flat.ApplyAutoScales();
    EXPECT_DOUBLE_EQ(flat.At(0).offset, -7);
    EXPECT_DOUBLE_EQ(flat.At(0).scale, 2);  // 7 / 6 rounds up to 2
    flat.At(0).autoScale = false;
    flat.At(0).scale = 3;
    flat.ApplyAutoScales();
    EXPECT_DOUBLE_EQ(flat.At(0).scale, 3);
}

TEST(TrendPlot, CursorDifferencesInterpolateAndStopAtGaps) {
    TrendPlot plot = PlotWith({10, 20, 40});  // at 0.0, 0.1, 0.2
    plot.At(0).ring->AddGap(0.3, TrendGapReason::NoAnswer);
    plot.At(0).ring->Add(0.5, 0);
    EXPECT_FALSE(plot.CursorsShown());
    plot.SetCursor(1, 0.05);
    plot.SetCursor(2, 0.2);
    EXPECT_TRUE(plot.CursorsShown());
    TrendCursorReadout readout = plot.Readout(0);
    EXPECT_DOUBLE_EQ(readout.timeDifference, 0.15);
    EXPECT_DOUBLE_EQ(*readout.firstValue, 15);
    EXPECT_DOUBLE_EQ(*readout.secondValue, 40);
    EXPECT_DOUBLE_EQ(*readout.valueDifference, 25);
    plot.SetCursor(1, 0.4);  // inside the gap
    readout = plot.Readout(0);
    EXPECT_FALSE(readout.firstValue);
    EXPECT_FALSE(readout.valueDifference);
    EXPECT_DOUBLE_EQ(readout.timeDifference, -0.2);
    for (double outside : {-1.0, 0.6}) {
        EXPECT_FALSE(plot.ValueAt(0, outside)) << outside;
    }
    EXPECT_DOUBLE_EQ(*plot.ValueAt(0, 0.5), 0);
    EXPECT_FALSE(plot.ValueAt(1, 0.1));
}

TEST(TrendTimeAxis, StepsAndTexts) {
    for (auto [span, labels, step] :
         std::vector<std::tuple<double, int, double>>{{1, 10, 0.1},
                                                      {1.1, 10, 0.2},
                                                      {10, 10, 1},
                                                      {10, 5, 2},
                                                      {60, 10, 10},
                                                      {101, 10, 15},
                                                      {600, 10, 60},
                                                      {3600, 10, 600},
                                                      {3600, 4, 900},
                                                      {1e9, 10, 86400}}) {
        EXPECT_DOUBLE_EQ(TrendTimeAxis::Step(span, labels), step) << span << " " << labels;
    }
    for (auto [time, step, text] :
         std::vector<std::tuple<double, double, std::string>>{{12.5, 0.5, "12.5"},
                                                              {0, 1, "0:00"},
                                                              {59.6, 1, "1:00"},
                                                              {754, 10, "12:34"},
                                                              {3725, 60, "1:02:05"},
                                                              {-30, 10, "-0:30"}}) {
        EXPECT_EQ(TrendTimeAxis::Text(time, step), text) << time;
    }
    auto labels = TrendTimeAxis::Labels(5.3, 15.3, 400);  // five labels at most: step 2
    ASSERT_EQ(labels.size(), 5u);
    EXPECT_EQ(labels[0].text, "0:06");
    EXPECT_EQ(labels[0].x, 28);
    EXPECT_EQ(labels[4].text, "0:14");
    EXPECT_EQ(labels[4].x, 348);
    labels = TrendTimeAxis::Labels(0, 1, 800);  // tenths, both ends included
    ASSERT_EQ(labels.size(), 11u);
    EXPECT_EQ(labels[10].text, "1.0");
    EXPECT_EQ(labels[10].x, 800);
    EXPECT_TRUE(TrendTimeAxis::Labels(3, 3, 400).empty());
}

TEST(TrendCsv, MergesSignalsByArrivalTime) {
    TrendPlot plot(16);
    plot.AddSignal(0x606C00, "Velocity actual value", "rpm");
    plot.AddSignal(0x606300, "Position, \"actual\"", "");
    plot.At(0).ring->Add(0.0, 1.5);
    plot.At(0).ring->Add(0.25, -2);
    plot.At(0).ring->AddGap(0.3, TrendGapReason::ConnectionClosed);
    plot.At(0).ring->Add(1.0, 1234567.125);
    plot.At(1).ring->Add(0.1, 7);
    plot.At(1).ring->Add(0.25, 8);
    plot.At(1).ring->Add(2.0, 9);
    EXPECT_EQ(TrendCsv::Text(plot, 0.0, 1.0),
              "time (s),Velocity actual value (rpm),\"Position, \"\"actual\"\"\"\n"
              "0.000,1.5,\n"
              "0.100,,7\n"
              "0.250,-2,8\n"
              "1.000,1234567.125,\n");
    EXPECT_EQ(TrendCsv::Text(plot, 0.2, 0.9),
              "time (s),Velocity actual value (rpm),\"Position, \"\"actual\"\"\"\n"
              "0.250,-2,8\n");
}

}  // namespace
}  // namespace tarvo
