#include "oscilloscope/TrendPlot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "oscilloscope/ScaleText.h"
#include "oscilloscope/TrendDecimation.h"

namespace tarvo {

int TrendPlot::AddSignal(uint32_t address, const std::string& name, const std::string& unit) {
    if (Find(address) >= 0 || SignalCount() >= kMaxSignals) {
        return -1;
    }
    auto signal = std::make_unique<TrendSignal>();
    signal->address = address;
    signal->name = name;
    signal->unit = unit;
    signal->ring = std::make_unique<TrendRing>(ringCapacity_);
    signals_.push_back(std::move(signal));
    return SignalCount() - 1;
}

bool TrendPlot::RemoveSignal(int signal) {
    if (signal < 0 || signal >= SignalCount()) {
        return false;
    }
    signals_.erase(signals_.begin() + signal);
    // A new ring may take the freed one's address: nothing computed before is reused.
    columnCache_ = {};
    return true;
}

int TrendPlot::Find(uint32_t address) const {
    for (int i = 0; i < SignalCount(); ++i) {
        if (At(i).address == address) {
            return i;
        }
    }
    return -1;
}

void TrendPlot::SetWindow(double seconds) {
    window_ = std::clamp(seconds, kShortestWindow, kLongestWindow);
}

void TrendPlot::SetPaused(bool paused) {
    if (paused && !paused_) {
        pausedAt_ = now_;
    }
    paused_ = paused;
}

double TrendPlot::To() const {
    if (zoom_) {
        return zoom_->second;
    }
    // Until a whole window has passed the plot shows it from the start.
    return std::max(paused_ ? pausedAt_ : now_, window_);
}

double TrendPlot::From() const {
    return zoom_ ? zoom_->first : To() - window_;
}

double TrendPlot::TimeAtColumn(int x) const {
    int width = std::max(Width(), 1);
    return From() + (To() - From()) * (x - area_.left) / width;
}

int TrendPlot::ColumnOfTime(double time) const {
    double span = To() - From();
    return area_.left + static_cast<int>(std::lround((time - From()) / span * Width()));
}

bool TrendPlot::Zoom(int x1, int x2) {
    if (std::abs(x2 - x1) < 2) {
        return false;
    }
    double from = TimeAtColumn(std::min(x1, x2));
    double to = TimeAtColumn(std::max(x1, x2));
    // Below a tenth of a second a millisecond history has nothing more to show.
    if (to - from < 0.1) {
        return false;
    }
    zoom_ = {from, to};
    return true;
}

void TrendPlot::ApplyAutoScales() {
    for (int i = 0; i < SignalCount(); ++i) {
        TrendSignal& signal = At(i);
        if (!signal.autoScale) {
            continue;
        }
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (const TrendColumn& column : ColumnsOf(i)) {
            if (column.count > 0) {
                low = std::min(low, column.minimum);
                high = std::max(high, column.maximum);
            }
        }
        if (low > high) {
            continue;
        }
        signal.offset = (low + high) / 2;
        double range = high - low;
        if (range == 0.0) {
            range = std::max(std::fabs(low), 1.0);
        }
        // The curve fills at most six of the eight divisions.
        signal.scale = ScaleText::AtLeast125(range / (kDivisionsY - 2));
    }
}

const std::vector<TrendColumn>& TrendPlot::ColumnsOf(int signal) const {
    const TrendRing& ring = *At(signal).ring;
    TrendColumnCache& cache = columnCache_[static_cast<size_t>(signal)];
    const int width = std::max(Width(), 1);
    if (cache.ring != &ring || cache.version != ring.Version() || cache.from != From() ||
        cache.to != To() || cache.width != width) {
        cache = {&ring, ring.Version(), From(),
                 To(),  width,          TrendDecimation::Columns(ring, From(), To(), width)};
    }
    return cache.columns;
}

double TrendPlot::RowOf(int signal, double value) const {
    const TrendSignal& s = At(signal);
    double centre = (area_.top + area_.bottom) / 2.0;
    double divisionHeight = Height() / static_cast<double>(kDivisionsY);
    double scale = s.scale > 0 ? s.scale : 1.0;
    return centre - (value - s.offset) / scale * divisionHeight;
}

std::vector<std::vector<PlotPixel>> TrendPlot::Polylines(int signal) const {
    std::vector<std::vector<PlotPixel>> lines;
    if (signal < 0 || signal >= SignalCount()) {
        return lines;
    }
    // Rows far outside the area are held near it, so that a huge value cannot overflow.
    auto row = [&](double value) {
        double y = std::clamp(RowOf(signal, value), area_.top - 10000.0, area_.bottom + 10000.0);
        return static_cast<int>(std::lround(y));
    };
    const std::vector<TrendColumn>& columns = ColumnsOf(signal);
    std::vector<PlotPixel> line;
    for (size_t c = 0; c < columns.size(); ++c) {
        const TrendColumn& column = columns[c];
        if (column.gapBefore && !line.empty()) {
            lines.push_back(std::move(line));
            line.clear();
        }
        if (column.count == 0) {
            continue;
        }
        int x = area_.left + static_cast<int>(c);
        if (column.count == 1) {
            line.push_back({x, row(column.first)});
        } else if (column.first <= column.last) {
            // Two points a column: the span, walked the way the curve goes through it.
            line.push_back({x, row(column.minimum)});
            line.push_back({x, row(column.maximum)});
        } else {
            line.push_back({x, row(column.maximum)});
            line.push_back({x, row(column.minimum)});
        }
    }
    if (!line.empty()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::pair<int, TrendGapReason>> TrendPlot::Gaps(int signal) const {
    std::vector<std::pair<int, TrendGapReason>> gaps;
    const TrendRing& ring = *At(signal).ring;
    size_t last = ring.LowerBound(To() + 0.0005);
    for (size_t i = ring.LowerBound(From()); i < last; ++i) {
        // Blocks without a gap are passed over whole, their samples never read.
        const TrendRing::Block* block = ring.WholeBlockAt(i);
        if (block != nullptr && block->gaps == 0) {
            i += TrendRing::kBlock - 1;
            continue;
        }
        const TrendStoredSample& sample = ring.Stored(i);
        if (sample.gap) {
            gaps.emplace_back(ColumnOfTime(sample.milliseconds * 0.001), sample.reason);
        }
    }
    return gaps;
}

std::vector<TrendTimeLabel> TrendPlot::TimeLabels() const {
    std::vector<TrendTimeLabel> labels = TrendTimeAxis::Labels(From(), To(), Width());
    for (TrendTimeLabel& label : labels) {
        label.x += area_.left;
    }
    return labels;
}

void TrendPlot::SetCursor(int cursor, double time) {
    if (cursor == 1 || cursor == 2) {
        cursors_[static_cast<size_t>(cursor - 1)] = time;
    }
}

std::optional<double> TrendPlot::ValueAt(int signal, double time) const {
    if (signal < 0 || signal >= SignalCount()) {
        return std::nullopt;
    }
    const TrendRing& ring = *At(signal).ring;
    size_t after = ring.LowerBound(time);
    if (after == ring.Size()) {
        return std::nullopt;
    }
    TrendSample next = ring.At(after);
    if (next.gap) {
        return std::nullopt;
    }
    if (next.time == time) {
        return next.value;
    }
    if (after == 0) {
        return std::nullopt;
    }
    TrendSample before = ring.At(after - 1);
    if (before.gap) {
        return std::nullopt;
    }
    double part = (time - before.time) / (next.time - before.time);
    return before.value + (next.value - before.value) * part;
}

TrendCursorReadout TrendPlot::Readout(int signal) const {
    TrendCursorReadout readout;
    readout.firstTime = cursors_[0].value_or(0.0);
    readout.secondTime = cursors_[1].value_or(0.0);
    readout.timeDifference = readout.secondTime - readout.firstTime;
    if (cursors_[0]) {
        readout.firstValue = ValueAt(signal, *cursors_[0]);
    }
    if (cursors_[1]) {
        readout.secondValue = ValueAt(signal, *cursors_[1]);
    }
    if (readout.firstValue && readout.secondValue) {
        readout.valueDifference = *readout.secondValue - *readout.firstValue;
    }
    return readout;
}

size_t TrendPlot::MemoryBytes() const {
    size_t bytes = 0;
    for (const auto& signal : signals_) {
        bytes += signal->ring->MemoryBytes();
    }
    return bytes;
}

}  // namespace tarvo
