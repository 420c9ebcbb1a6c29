#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "oscilloscope/CurvePlot.h"
#include "oscilloscope/TrendDecimation.h"
#include "oscilloscope/TrendRing.h"
#include "oscilloscope/TrendTimeAxis.h"

namespace tarvo {

// One signal of a trend: a dictionary entry, its shown unit and its history.
struct TrendSignal {
    uint32_t address = 0;  // index * 256 + subindex
    std::string name;
    std::string unit;
    bool autoScale = true;
    double scale = 1.0;   // shown units per division
    double offset = 0.0;  // the value on the centre line
    std::unique_ptr<TrendRing> ring;
};

// A signal's pixel columns as last computed: the auto scale and the curve of one redraw read
// the same columns, and a redraw with no new sample and the same view computes none.
struct TrendColumnCache {
    const TrendRing* ring = nullptr;
    uint64_t version = 0;
    double from = 0.0;
    double to = 0.0;
    int width = 0;
    std::vector<TrendColumn> columns;
};

// What the two cursors read on one signal: the values where they stand (none in a gap or
// outside the history) and the differences second minus first.
struct TrendCursorReadout {
    double firstTime = 0.0;
    double secondTime = 0.0;
    double timeDifference = 0.0;
    std::optional<double> firstValue;
    std::optional<double> secondValue;
    std::optional<double> valueDifference;
};

// The trend's plot without any drawing: up to eight signals, the time window that scrolls
// with the newest sample (or stands still while paused or zoomed), the scales, the
// decimated curves in pixels, the time labels and the cursors. A painter draws what it
// computes. Times are seconds since the trend started.
class TrendPlot {
public:
    static constexpr int kMaxSignals = 8;
    static constexpr int kDivisionsY = 8;
    static constexpr double kShortestWindow = 10.0;
    static constexpr double kLongestWindow = 3600.0;

    explicit TrendPlot(size_t ringCapacity = TrendRing::kDefaultCapacity)
        : ringCapacity_(ringCapacity) {}

    // The signal's position, or -1 when it is present already or eight are shown.
    int AddSignal(uint32_t address, const std::string& name, const std::string& unit);
    bool RemoveSignal(int signal);
    int SignalCount() const { return static_cast<int>(signals_.size()); }
    int Find(uint32_t address) const;
    TrendSignal& At(int signal) { return *signals_[static_cast<size_t>(signal)]; }
    const TrendSignal& At(int signal) const { return *signals_[static_cast<size_t>(signal)]; }

    // The plot's inner area in pixels.
    void SetArea(const PlotRect& area) { area_ = area; }
    const PlotRect& Area() const { return area_; }
    int Width() const { return area_.right - area_.left; }
    int Height() const { return area_.bottom - area_.top; }

    // The clock: the newest time the trend has reached.
    void SetNow(double now) { now_ = now; }
    double Now() const { return now_; }
    // Clamped to 10 s .. 1 h.
    void SetWindow(double seconds);
    double Window() const { return window_; }
    // Sampling goes on while paused; the visible range stops where it was.
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    // Zooms to the columns x1..x2 of the inner area (either order); false when they are
    // less than two pixels apart. Zooming pauses the scrolling until ResetZoom.
    bool Zoom(int x1, int x2);
    void ResetZoom() { zoom_.reset(); }
    bool Zoomed() const { return zoom_.has_value(); }
    double From() const;
    double To() const;

    // Sets the scale and offset of auto-scaled signals from what is visible.
    void ApplyAutoScales();
    // The pixel row of a value of the signal.
    double RowOf(int signal, double value) const;
    // The curve as polylines in window pixels: one min/max pair per column, broken at gaps.
    std::vector<std::vector<PlotPixel>> Polylines(int signal) const;
    // The visible columns in which a gap lies (where the painter marks the reason).
    std::vector<std::pair<int, TrendGapReason>> Gaps(int signal) const;
    std::vector<TrendTimeLabel> TimeLabels() const;

    // Cursor 1 or 2 at a time; both start unset (no cursors shown).
    void SetCursor(int cursor, double time);
    void ClearCursors() { cursors_ = {}; }
    bool CursorsShown() const { return cursors_[0].has_value() && cursors_[1].has_value(); }
    std::optional<double> Cursor(int cursor) const { return cursors_[cursor == 2 ? 1 : 0]; }
    double TimeAtColumn(int x) const;
    int ColumnOfTime(double time) const;
    // The value of a signal at a time, interpolated between the samples on both sides; none
    // in a gap or outside the history.
    std::optional<double> ValueAt(int signal, double time) const;
    TrendCursorReadout Readout(int signal) const;

    // Bytes held by the histories.
    size_t MemoryBytes() const;

private:
    const std::vector<TrendColumn>& ColumnsOf(int signal) const;

    size_t ringCapacity_;
    std::vector<std::unique_ptr<TrendSignal>> signals_;
    PlotRect area_{0, 0, 800, 400};
    double now_ = 0.0;
    double window_ = 60.0;
    bool paused_ = false;
    double pausedAt_ = 0.0;
    std::optional<std::pair<double, double>> zoom_;
    std::array<std::optional<double>, 2> cursors_{};
    mutable std::array<TrendColumnCache, kMaxSignals> columnCache_{};
};

}  // namespace tarvo
