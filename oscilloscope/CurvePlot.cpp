#include "oscilloscope/CurvePlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "oscilloscope/ScaleText.h"

namespace tarvo {

namespace {

std::string FormatF(double value) {
    char text[400];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

}  // namespace

void CurvePlot::SetArea(const PlotRect& area) {
    area_ = area;
    x0_ = area.left + kMarginLeft;
    y0_ = area.bottom - 2;
    width_ = area.right - 10 - area.left - kMarginLeft - 1;
    height_ = area.bottom - 2 - 2 - area.top - 1;
}

void CurvePlot::AddPoint(int channel, double value, int step) {
    if (!ValidChannel(channel)) {
        return;
    }
    std::vector<CurvePoint>& points = At(channel).points;
    int32_t sample = points.empty() ? 1 : points.back().sample + step;
    points.push_back({sample, 0, value});
    if (firstChannelAdded_ == 0) {
        firstChannelAdded_ = channel;
    }
    if (channel == firstChannelAdded_) {
        ++recordCount_;
    }
    if (value < 0.0) {
        hasNegative_ = true;
    }
}

void CurvePlot::Clear() {
    for (Channel& channel : channels_) {
        channel.points.clear();
        channel.haveRange = false;
    }
    recordCount_ = 0;
    firstChannelAdded_ = 0;
    hasNegative_ = false;
}

void CurvePlot::ResetView() {
    for (Channel& channel : channels_) {
        channel.minimum = 0.0;
        channel.maximum = 0.0;
        channel.haveRange = false;
        channel.visible = true;
        channel.autoScale = true;
    }
    recordCount_ = 0;
    firstChannelAdded_ = 0;
    hasNegative_ = false;
}

bool CurvePlot::Zoom(int mode, int x1, int x2) {
    if (mode == -1) {
        first_ = 1;
        last_ = recordCount_;
        visibleCount_ = recordCount_;
        zoomDepth_ = 0;
        return true;
    }
    if (mode != 1) {
        return false;
    }
    if (x1 >= x2) {
        return Zoom(-1);
    }
    int channel = FirstChannelWithPoints();
    if (channel == 0) {
        return false;
    }
    int from = x1 - kMarginLeft - 1;
    int to = std::min(x2 - kMarginLeft + 1, width_ - 4);
    const CurvePoint* start = nullptr;
    const CurvePoint* end = nullptr;
    for (const CurvePoint& point : At(channel).points) {
        if (point.x == 0) {
            continue;
        }
        if (start == nullptr && point.x >= from) {
            start = &point;
        }
        if (end == nullptr && point.x >= to) {
            end = &point;
        }
        if (start == nullptr || end == nullptr) {
            continue;
        }
        break;
    }
    if (start == nullptr) {
        return false;
    }
    if (end == nullptr) {
        // The corner lies right of the last visible point: the range runs to it.
        for (auto it = At(channel).points.rbegin(); it != At(channel).points.rend(); ++it) {
            if (it->x != 0) {
                end = &*it;
                break;
            }
        }
    }
    if (end->sample - start->sample + 1 < 2) {
        return false;
    }
    first_ = start->sample;
    last_ = end->sample;
    visibleCount_ = last_ - first_ + 1;
    ++zoomDepth_;
    return true;
}

bool CurvePlot::ZoomAround(int x, double factor) {
    int channel = FirstChannelWithPoints();
    if (channel == 0 || recordCount_ < 2 || visibleCount_ < 2 || !(factor > 0.0)) {
        return false;
    }
    int count = static_cast<int>(
        std::clamp(std::lround(visibleCount_ * factor), 2L, static_cast<long>(recordCount_)));
    if (count == visibleCount_) {
        // A step too small to change the count still moves by one record.
        count = std::clamp(factor < 1.0 ? count - 1 : count + 1, 2, recordCount_);
    }
    if (count == visibleCount_) {
        return false;
    }
    int span = std::max(width_ - 4, 1);
    double fraction = std::clamp(double(x - x0_ - 1) / span, 0.0, 1.0);
    double under = ValueAt(channel, x - x0_ - 1).value_or(PlotReading{double(last_), 0}).sample;
    int first = static_cast<int>(std::lround(under - fraction * (count - 1)));
    first = std::clamp(first, 1, recordCount_ - count + 1);
    first_ = first;
    last_ = first + count - 1;
    visibleCount_ = count;
    zoomDepth_ = count == recordCount_ ? 0 : zoomDepth_ + 1;
    return true;
}

void CurvePlot::Recompute() {
    if (visibleCount_ < 2) {
        return;
    }
    int span = std::max(width_ - 4, 1);
    for (Channel& channel : channels_) {
        channel.haveRange = false;
    }
    size_t longest = 0;
    for (const Channel& channel : channels_) {
        longest = std::max(longest, channel.points.size());
    }
    int placed = 0;
    for (size_t record = 0; record < longest; ++record) {
        bool any = false;
        for (Channel& channel : channels_) {
            if (record >= channel.points.size()) {
                continue;
            }
            CurvePoint& point = channel.points[record];
            if (point.sample < first_ || point.sample > last_) {
                point.x = 0;
                continue;
            }
            // The visible records spread over the whole width: the last one lands on the
            // right edge whatever their count, so the time axis reads true at any zoom.
            int64_t x = std::llround(double(placed) * span / (visibleCount_ - 1));
            point.x = static_cast<int32_t>(std::max<int64_t>(x, 1));
            if (!channel.haveRange) {
                channel.minimum = channel.maximum = point.value;
                channel.haveRange = true;
            } else {
                channel.minimum = std::min(channel.minimum, point.value);
                channel.maximum = std::max(channel.maximum, point.value);
            }
            any = true;
        }
        if (any) {
            ++placed;
        }
    }
    for (int channel = 1; channel <= kChannels; ++channel) {
        if (At(channel).autoScale) {
            AutoScale(channel);
        }
    }
}

bool CurvePlot::AutoScale(int channel) {
    if (!ValidChannel(channel) || !At(channel).haveRange) {
        return false;
    }
    Channel& c = At(channel);
    double range = c.maximum - c.minimum;
    c.scale = range < 1e-6 ? 1e-6 : ScaleText::RoundUp125(range * c.coefficient / 6.0);
    c.offset = -(c.minimum + c.maximum) * c.coefficient / 2.0;
    return true;
}

void CurvePlot::NudgeOffset(int channel, double amount, int direction) {
    if (ValidChannel(channel)) {
        At(channel).offset += direction >= 0 ? amount / 2.0 : -amount / 2.0;
    }
}

void CurvePlot::SetCursors(int mode, int x) {
    if (mode == 0) {
        cursorCount_ = std::clamp(x, 0, 2);
    } else if (mode == 1 || mode == 2) {
        cursors_[mode - 1] = x;
    }
}

int CurvePlot::FirstChannelWithPoints() const {
    for (int channel = 1; channel <= kChannels; ++channel) {
        if (!At(channel).points.empty()) {
            return channel;
        }
    }
    return 0;
}

std::optional<PlotReading> CurvePlot::ValueAt(int channel, int x) const {
    if (!ValidChannel(channel)) {
        return std::nullopt;
    }
    const CurvePoint* previous = nullptr;
    for (const CurvePoint& point : At(channel).points) {
        if (point.x == 0) {
            continue;
        }
        if (point.x >= x) {
            if (point.x == x || previous == nullptr) {
                return PlotReading{double(point.sample), point.value};
            }
            double fraction = double(x - previous->x) / double(point.x - previous->x);
            return PlotReading{previous->sample + fraction * (point.sample - previous->sample),
                               previous->value + fraction * (point.value - previous->value)};
        }
        previous = &point;
    }
    return std::nullopt;
}

std::optional<PlotMeasurement> CurvePlot::Measure(int channel, int x1, int x2) const {
    if (!ValidChannel(channel)) {
        return std::nullopt;
    }
    int from = std::min(x1, x2);
    int to = std::max(x1, x2);
    PlotMeasurement m;
    double sum = 0.0;
    for (const CurvePoint& point : At(channel).points) {
        if (point.x == 0 || point.x < from || point.x > to) {
            continue;
        }
        m.minimum = m.count == 0 ? point.value : std::min(m.minimum, point.value);
        m.maximum = m.count == 0 ? point.value : std::max(m.maximum, point.value);
        sum += point.value;
        ++m.count;
    }
    if (m.count == 0) {
        return std::nullopt;
    }
    m.mean = sum / m.count;
    return m;
}

std::optional<double> CurvePlot::SampleAtColumn(int channel, int x) const {
    auto reading = ValueAt(channel, x);
    if (!reading) {
        return std::nullopt;
    }
    return reading->sample;
}

int64_t CurvePlot::RowOf(int channel, double value) const {
    const Channel& c = At(channel);
    double scale = c.scale != 0.0 ? c.scale : 1e-6;
    double shift = (value * c.coefficient + c.offset) * StepY() / scale;
    // Far outside the area is outside all the same; keep the arithmetic in range.
    shift = std::clamp(std::trunc(shift), -1e12, 1e12);
    return int64_t{y0_} - height_ / 2 - static_cast<int64_t>(shift) - 1;
}

int CurvePlot::PixelColumn(int32_t x, bool& beyond) const {
    beyond = x >= width_ - 1;
    return beyond ? x0_ + width_ - 3 : x0_ + x + 1;
}

std::vector<std::vector<PlotPixel>> CurvePlot::Polylines(int channel) const {
    std::vector<std::vector<PlotPixel>> lines;
    if (!ValidChannel(channel) || !At(channel).visible || At(channel).points.size() < 2) {
        return lines;
    }
    const double top = area_.top + 3;
    const double bottom = area_.bottom - 3;
    std::vector<PlotPixel> current;
    bool havePrevious = false;
    double px = 0;
    double py = 0;
    for (const CurvePoint& point : At(channel).points) {
        if (point.x == 0) {
            continue;
        }
        bool beyond = false;
        double qx = PixelColumn(point.x, beyond);
        double qy = static_cast<double>(RowOf(channel, point.value));
        if (havePrevious) {
            double dy = qy - py;
            double enter = 0.0;
            double leave = 1.0;
            bool visible = true;
            if (dy == 0.0) {
                visible = py >= top && py <= bottom;
            } else {
                double a = (top - py) / dy;
                double b = (bottom - py) / dy;
                enter = std::max(0.0, std::min(a, b));
                leave = std::min(1.0, std::max(a, b));
                visible = enter <= leave;
            }
            if (visible) {
                PlotPixel from{static_cast<int>(std::lround(px + enter * (qx - px))),
                               static_cast<int>(std::lround(py + enter * dy))};
                PlotPixel to{static_cast<int>(std::lround(px + leave * (qx - px))),
                             static_cast<int>(std::lround(py + leave * dy))};
                if (enter > 0.0 && !current.empty()) {
                    lines.push_back(std::move(current));
                    current.clear();
                }
                if (current.empty()) {
                    current.push_back(from);
                }
                current.push_back(to);
                if (leave < 1.0) {
                    lines.push_back(std::move(current));
                    current.clear();
                }
            }
        }
        px = qx;
        py = qy;
        havePrevious = true;
        if (beyond) {
            break;
        }
    }
    if (current.size() >= 2) {
        lines.push_back(std::move(current));
    }
    return lines;
}

std::string CurvePlot::UpperLabel(int channel) const {
    const Channel& c = At(channel);
    return FormatF(3.0 * c.scale - c.offset);
}

std::string CurvePlot::LowerLabel(int channel) const {
    const Channel& c = At(channel);
    return FormatF(-c.offset - 3.0 * c.scale);
}

std::vector<std::string> CurvePlot::TimeLabels() const {
    int channel = FirstChannelWithPoints();
    if (channel == 0) {
        return {};
    }
    auto time = [&](int column) {
        return SampleAtColumn(channel, column).value_or(0.0) * samplePeriod_ * 62.5 * 0.001;
    };
    double first = time(StepX() - 1);
    double third = time(3 * StepX() - 1);
    std::vector<std::string> labels;
    for (double value : {first, third, third + (third - first), third + 2 * (third - first),
                         third + 3 * (third - first)}) {
        char text[400];
        std::snprintf(text, sizeof text, "%.4f", value);
        labels.emplace_back(text);
    }
    return labels;
}

}  // namespace tarvo
