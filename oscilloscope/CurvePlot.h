#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvo {

struct PlotRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

struct PlotPixel {
    int x = 0;
    int y = 0;
};

// One recorded sample of a channel.
struct CurvePoint {
    int32_t sample = 0;  // 1-based sample number
    int32_t x = 0;       // pixels from the inner area's left edge; 0 = not in the visible range
    double value = 0.0;  // raw drive units
};

// What ValueAt finds under a pixel column: a sample number and value, interpolated between
// the neighbouring points when no point sits exactly there.
struct PlotReading {
    double sample = 0.0;
    double value = 0.0;
};

// The curve of one channel between two pixel columns, raw.
struct PlotMeasurement {
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    int count = 0;
};

// One record as the files see it: the channels (bit 0 = channel 1) that have a point in it.
struct PlotRecord {
    unsigned mask = 0;
    std::array<double, 4> values{};
};

// The oscilloscope's plot without any drawing: the samples of four channels, the visible
// range, per-channel scale, offset and unit coefficient, automatic scaling, the pixel
// geometry of every curve, grid line, label and cursor. A painter draws what it computes.
class CurvePlot {
public:
    static constexpr int kChannels = 4;
    static constexpr int kDivisionsX = 10;
    static constexpr int kDivisionsY = 8;
    static constexpr int kMarginLeft = 9;

    struct Channel {
        std::vector<CurvePoint> points;
        bool visible = true;
        bool autoScale = true;
        double scale = 0.0;  // display units per division
        double offset = 0.0;
        double coefficient = 0.0;  // display units per raw unit
        double minimum = 0.0;
        double maximum = 0.0;
        bool haveRange = false;
    };

    CurvePlot() { SetArea({0, 18, 1002, 368}); }

    void SetArea(const PlotRect& area);
    const PlotRect& Area() const { return area_; }
    int X0() const { return x0_; }
    int Y0() const { return y0_; }
    int InnerWidth() const { return width_; }
    int InnerHeight() const { return height_; }
    int StepX() const { return width_ / kDivisionsX; }
    int StepY() const { return height_ / kDivisionsY; }

    void SetSamplePeriod(int32_t period) { samplePeriod_ = period; }
    int32_t SamplePeriod() const { return samplePeriod_; }

    // Channel numbers are 1..4; anything else is ignored.
    void AddPoint(int channel, double value, int step = 1);
    void Clear();
    void ResetView();
    // Mode -1 shows every record; mode 1 zooms to the pixel columns x1..x2 of the mouse
    // (false, and nothing changes, when fewer than 2 points would remain).
    bool Zoom(int mode, int x1 = 0, int x2 = 0);
    // Zooms the time axis around the sample under window column x: `factor` below 1 shows
    // fewer records, above 1 more (all of them at most). False when nothing changes.
    bool ZoomAround(int x, double factor);
    // Lays the visible points out and applies the automatic scales.
    void Recompute();
    // The automatic scale and offset of one channel from its visible range; false when it
    // has no visible point.
    bool AutoScale(int channel);

    int RecordCount() const { return recordCount_; }
    int First() const { return first_; }
    int Last() const { return last_; }
    int VisibleCount() const { return visibleCount_; }
    bool HasNegativeValues() const { return hasNegative_; }

    Channel& At(int channel) { return channels_[Clamp(channel)]; }
    const Channel& At(int channel) const { return channels_[Clamp(channel)]; }
    static bool ValidChannel(int channel) { return channel >= 1 && channel <= kChannels; }
    // Half the amount up (+1) or down (-1).
    void NudgeOffset(int channel, double amount, int direction);

    // Cursors: mode 1 or 2 moves that cursor to position x, mode 0 sets how many are shown.
    void SetCursors(int mode, int x);
    int CursorCount() const { return cursorCount_; }
    int CursorPosition(int cursor) const { return cursors_[cursor == 2 ? 1 : 0]; }
    // The window column of a cursor at a slider position.
    static int CursorColumn(int position) { return kMarginLeft + position + 1; }
    // The largest slider position: the cursor's column stays inside the inner area.
    int CursorLimit() const { return std::max(width_ - 4, 2); }

    std::optional<PlotReading> ValueAt(int channel, int x) const;
    // Minimum, maximum and mean of the channel's visible points from column x1 to x2 (inner
    // area pixels, either order); none when no point lies there.
    std::optional<PlotMeasurement> Measure(int channel, int x1, int x2) const;

    // Geometry for the painter.
    // The pixel row of a value (display units via coefficient, offset and scale).
    int64_t RowOf(int channel, double value) const;
    bool RowInside(int64_t row) const { return row >= area_.top + 3 && row <= area_.bottom - 3; }
    // The curve as polylines, cut at the top and bottom borders where it leaves the area.
    std::vector<std::vector<PlotPixel>> Polylines(int channel) const;
    // "%f" texts of the values three divisions above and below the centre line.
    std::string UpperLabel(int channel) const;
    std::string LowerLabel(int channel) const;
    // The five time labels ("%.4f" ms) at vertical grid lines 1, 3, 5, 7, 9; empty when no
    // channel has points.
    std::vector<std::string> TimeLabels() const;

private:
    static int Clamp(int channel) { return ValidChannel(channel) ? channel - 1 : 0; }
    int FirstChannelWithPoints() const;
    std::optional<double> SampleAtColumn(int channel, int x) const;
    int PixelColumn(int32_t x, bool& beyond) const;

    PlotRect area_;
    int x0_ = 0;
    int y0_ = 0;
    int width_ = 0;
    int height_ = 0;
    int32_t samplePeriod_ = 0;
    int recordCount_ = 0;
    int firstChannelAdded_ = 0;
    int first_ = 0;
    int last_ = 0;
    int visibleCount_ = 0;
    int zoomDepth_ = 0;
    bool hasNegative_ = false;
    std::array<Channel, kChannels> channels_{};
    int cursorCount_ = 0;
    std::array<int, 2> cursors_{230, 650};
};

}  // namespace tarvo
