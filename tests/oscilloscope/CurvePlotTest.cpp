#include <gtest/gtest.h>

#include "oscilloscope/CurvePlot.h"
#include "oscilloscope/RecordDecoder.h"
#include "oscilloscope/ScaleText.h"

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

}  // namespace
}  // namespace tarvo
