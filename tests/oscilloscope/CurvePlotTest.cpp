#include <gtest/gtest.h>

#include "oscilloscope/CurvePlot.h"
#include "oscilloscope/RecordDecoder.h"
#include "oscilloscope/ScaleText.h"
#include "oscilloscope/ScopeFormat.h"

namespace tarvo {
namespace {

CurvePlot PlotOf(std::vector<double> values, double coefficient = 1.0) {
    CurvePlot plot;
    plot.At(1).coefficient = coefficient;
    for (double value : values) {
        plot.AddPoint(1, value);
    }
    plot.Zoom(-1);
    plot.Recompute();
    return plot;
}

TEST(CurvePlot, DecodesSlotsInRecordOrderWithSign) {
    // Slot1, Slot5 and Slot4: 8 bytes a record, in the order slot 1, slot 5, slot 4.
    RecordLayout layout;
    layout.slotCodes = {0x60410010, 0, 0, 0x60770011, 0x60640020, 0};
    layout.channelSigned = {false, true, false, true};
    layout.slot5Channel = 2;
    EXPECT_EQ(layout.BytesPerRecord(), 8u);
    const uint8_t bytes[] = {0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01,
                             0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x80, 0x7F};
    ScopeSamples samples;
    EXPECT_EQ(RecordDecoder::Decode(bytes, sizeof bytes, layout, samples), 2u);
    EXPECT_EQ(samples.values[0], (std::vector<double>{65535.0, 1.0}));         // unsigned 16 bits
    EXPECT_EQ(samples.values[1], (std::vector<double>{-2.0, -2147483648.0}));  // signed 32
    EXPECT_EQ(samples.values[3], (std::vector<double>{-1.0, -32768.0}));       // signed 16
    EXPECT_TRUE(samples.values[2].empty());
    CurvePlot plot;
    samples.Plot(plot);
    EXPECT_EQ(plot.RecordCount(), 2);
    EXPECT_EQ(plot.At(4).points[1].value, -32768.0);
    // Unsigned 32 bits, and the stray byte of an incomplete record is left out.
    layout.channelSigned[1] = false;
    RecordDecoder::Decode(bytes, sizeof bytes, layout, samples);
    EXPECT_EQ(samples.values[1][0], 4294967294.0);
    EXPECT_EQ(samples.values[0].size(), 2u);
}

TEST(CurvePlot, AutoScaleFollowsTheOneTwoFiveRule) {
    // 0..1000: r = 166.67, scale 2e2, the middle on the centre line.
    CurvePlot plot = PlotOf({0, 500, 1000});
    EXPECT_DOUBLE_EQ(plot.At(1).scale, 200.0);
    EXPECT_DOUBLE_EQ(plot.At(1).offset, -500.0);
    EXPECT_EQ(ScaleText::Format(plot.At(1).scale), "2e2");
    // All equal: 1e-6 and the line lies on the centre line.
    CurvePlot flat = PlotOf({7, 7, 7});
    EXPECT_DOUBLE_EQ(flat.At(1).scale, 1e-6);
    EXPECT_EQ(flat.RowOf(1, 7), flat.Y0() - flat.InnerHeight() / 2 - 1);
    for (auto [r, scale] : std::vector<std::pair<double, double>>{
             {0.3, 0.5}, {2.0, 5.0}, {5.0, 10.0}, {0.012, 0.02}, {0.0000001, 1e-6}}) {
        EXPECT_DOUBLE_EQ(ScaleText::RoundUp125(r), scale) << r;
    }
}

TEST(CurvePlot, ScaleTextAndSpinSteps) {
    EXPECT_EQ(ScaleText::Format(0.05), "5e-2");
    EXPECT_EQ(ScaleText::Format(200), "2e2");
    EXPECT_DOUBLE_EQ(ScaleText::Parse("5e-2"), 0.05);
    EXPECT_DOUBLE_EQ(ScaleText::Parse("3e2"), 1e-6);
    EXPECT_DOUBLE_EQ(ScaleText::Parse("1e"), 1e-6);
    std::string text = "1e-6";
    double scale = 1e-6;
    EXPECT_FALSE(ScaleText::Step(text, scale, false));
    std::vector<std::string> up;
    for (int i = 0; i < 4; ++i) {
        ScaleText::Step(text, scale, true);
        up.push_back(text);
    }
    EXPECT_EQ(up, (std::vector<std::string>{"2e-6", "5e-6", "1e-5", "2e-5"}));
    EXPECT_NEAR(scale, 2e-5, 1e-18);
    text = "1e2";
    scale = 100;
    ScaleText::Step(text, scale, false);
    EXPECT_EQ(text, "5e1");
    ScaleText::Step(text, scale, false);
    EXPECT_EQ(text, "2e1");
    EXPECT_DOUBLE_EQ(scale, 20.0);
}

TEST(CurvePlot, CurvesAreClippedAtTheBorders) {
    // One point draws nothing.
    EXPECT_TRUE(PlotOf({5}).Polylines(1).empty());
    CurvePlot plot = PlotOf({0, 0, 1e9, 1e9, 0, 0});
    plot.At(1).autoScale = false;
    plot.At(1).scale = 1;
    plot.At(1).offset = 0;
    auto lines = plot.Polylines(1);
    // Up to the top border, then again from it: two pieces, both ending on the border.
    ASSERT_EQ(lines.size(), 2u);
    int top = plot.Area().top + 3;
    EXPECT_EQ(lines[0].back().y, top);
    EXPECT_EQ(lines[1].front().y, top);
    EXPECT_LT(lines[0].back().x, lines[1].front().x);
    for (const auto& line : lines) {
        for (PlotPixel pixel : line) {
            EXPECT_TRUE(plot.RowInside(pixel.y));
        }
    }
    // Hidden channels are not drawn.
    plot.At(1).visible = false;
    EXPECT_TRUE(plot.Polylines(1).empty());
}

TEST(CurvePlot, ZoomCursorsAndTimeLabels) {
    std::vector<double> values;
    for (int i = 0; i < 3000; ++i) {
        values.push_back(i);
    }
    CurvePlot plot = PlotOf(values);
    plot.SetSamplePeriod(16);  // 1 ms a sample
    // More samples than pixel columns still spread over the whole width.
    EXPECT_GT(plot.At(1).points.back().x, plot.InnerWidth() - 10);
    auto labels = plot.TimeLabels();
    ASSERT_EQ(labels.size(), 5u);
    double first = std::stod(labels[0]);
    double third = std::stod(labels[1]);
    EXPECT_NEAR(std::stod(labels[4]), third + 3 * (third - first), 1e-3);
    // Dragged right to left: the full range again.
    EXPECT_TRUE(plot.Zoom(1, 500, 100));
    EXPECT_EQ(plot.VisibleCount(), 3000);
    // A band over the left half shows about half of the samples.
    ASSERT_TRUE(plot.Zoom(1, 10, 10 + plot.InnerWidth() / 2));
    plot.Recompute();
    EXPECT_EQ(plot.First(), 1);
    EXPECT_NEAR(plot.VisibleCount(), 1500, 20);
    // A band too narrow for two points is refused.
    CurvePlot two = PlotOf({1, 2, 3});
    EXPECT_FALSE(two.Zoom(1, 300, 301));
    // Between two points the reading is interpolated.
    CurvePlot line = PlotOf({0, 100});
    int middle = (line.At(1).points[0].x + line.At(1).points[1].x) / 2;
    auto reading = line.ValueAt(1, middle);
    ASSERT_TRUE(reading.has_value());
    EXPECT_NEAR(reading->value, 50.0, 1.0);
    EXPECT_NEAR(reading->sample, 1.5, 0.01);
    EXPECT_FALSE(line.ValueAt(1, line.InnerWidth()).has_value());
}

std::vector<double> Ramp(int count) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(i);
    }
    return values;
}

// Whatever the number of visible records, the first lies at the left edge and the last at
// the right one (W - 4 = 978 in the default area): the curve spans the time axis.
TEST(CurvePlot, VisibleRecordsSpanTheWholeWidth) {
    struct Case {
        int records, shown;
        bool atRightEnd;  // zoomed with the pointer at the right edge: the last records
    };
    for (Case c : {Case{2, 2, false}, Case{400, 400, false}, Case{4000, 4000, false},
                   Case{1000, 600, false}, Case{1000, 979, true}, Case{3000, 601, true}}) {
        SCOPED_TRACE(testing::Message() << c.records << " " << c.shown << " " << c.atRightEnd);
        CurvePlot plot = PlotOf(Ramp(c.records));
        if (c.shown != c.records) {
            int x = c.atRightEnd ? plot.X0() + plot.InnerWidth() : plot.X0() + 1;
            ASSERT_TRUE(plot.ZoomAround(x, double(c.shown) / c.records));
            plot.Recompute();
        }
        EXPECT_EQ(plot.VisibleCount(), c.shown);
        EXPECT_EQ(c.atRightEnd ? plot.Last() : plot.First(), c.atRightEnd ? c.records : 1);
        const auto& points = plot.At(1).points;
        auto first = static_cast<size_t>(plot.First() - 1);
        auto last = static_cast<size_t>(plot.Last() - 1);
        EXPECT_EQ(points[first].x, 1);
        EXPECT_EQ(points[last].x, plot.InnerWidth() - 4);
        if (first > 0) {
            EXPECT_EQ(points[first - 1].x, 0);
        }
        if (last + 1 < points.size()) {
            EXPECT_EQ(points[last + 1].x, 0);
        }
        // Halfway through the visible records is halfway across.
        EXPECT_NEAR(points[(first + last) / 2].x, (plot.InnerWidth() - 4) / 2.0,
                    (plot.InnerWidth() - 4.0) / (c.shown - 1) + 1);
    }
}

// The wheel keeps the record under the pointer where it is, stops at both ends of the
// record and never shows fewer than 2 records or more than all.
TEST(CurvePlot, WheelZoomKeepsThePointerOnItsRecord) {
    CurvePlot plot = PlotOf(Ramp(1000));
    int quarter = plot.X0() + 1 + (plot.InnerWidth() - 4) / 4;
    double under = plot.ValueAt(1, quarter - plot.X0() - 1)->sample;
    ASSERT_TRUE(plot.ZoomAround(quarter, 0.5));
    plot.Recompute();
    EXPECT_EQ(plot.VisibleCount(), 500);
    EXPECT_NEAR(plot.ValueAt(1, quarter - plot.X0() - 1)->sample, under, 1.0);
    // At the left edge the range starts at record 1; at the right it ends at the last.
    int first = plot.First();
    ASSERT_TRUE(plot.ZoomAround(plot.X0() + 1, 0.5));
    plot.Recompute();
    EXPECT_EQ(plot.First(), first);
    EXPECT_EQ(plot.VisibleCount(), 250);
    ASSERT_TRUE(plot.ZoomAround(plot.X0() + plot.InnerWidth(), 100.0));
    EXPECT_EQ(plot.VisibleCount(), 1000);
    EXPECT_EQ(plot.First(), 1);
    EXPECT_FALSE(plot.ZoomAround(plot.X0() + 1, 100.0));  // already everything
    ASSERT_TRUE(plot.ZoomAround(plot.X0() + plot.InnerWidth(), 0.001));
    EXPECT_EQ(plot.VisibleCount(), 2);
    EXPECT_EQ(plot.Last(), 1000);
    EXPECT_FALSE(plot.ZoomAround(plot.X0() + 1, 0.5));  // no fewer than 2
    // A small step still moves by one record.
    CurvePlot small = PlotOf(Ramp(10));
    ASSERT_TRUE(small.ZoomAround(small.X0() + 1, 0.99));
    EXPECT_EQ(small.VisibleCount(), 9);
    EXPECT_EQ(small.First(), 1);
}

TEST(CurvePlot, CursorLimitScalesAndNumberTexts) {
    // The slider's range follows the plot's real width: W - 4, at least 2.
    for (auto [right, limit] : {std::pair{1002, 978}, {1154, 1130}, {600, 576}, {20, 2}}) {
        CurvePlot plot;
        plot.SetArea({0, 0, right, 300});
        EXPECT_EQ(plot.CursorLimit(), limit) << right;
    }
    for (auto [r, scale] : {std::pair{23.4375, 50.0},
                            {20.0, 20.0},
                            {2.0000000001, 2.0},
                            {2.1, 5.0},
                            {5.5, 10.0},
                            {0.0, 1e-6},
                            {1e-9, 1e-6},
                            {0.3, 0.5}}) {
        EXPECT_DOUBLE_EQ(ScaleText::AtLeast125(r), scale) << r;
    }
    for (auto [text, shorter] : {std::pair{"670.000", "670"},
                                 {"-1682670.000", "-1682670"},
                                 {"0.500", "0.5"},
                                 {"99.960938", "99.960938"},
                                 {"-0.000", "0"},
                                 {"1e-6", "1e-6"},
                                 {"120", "120"},
                                 {"12.3.0", "12.3.0"}}) {
        EXPECT_EQ(ShortNumberText(text), shorter) << text;
    }
}

}  // namespace
}  // namespace tarvo
