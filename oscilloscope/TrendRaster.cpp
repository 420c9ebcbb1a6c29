#include "oscilloscope/TrendRaster.h"

#include <algorithm>
#include <cstdlib>

namespace tarvo {

void TrendRaster::Point(int x, int y, uint32_t colour) {
    if (clip_.Contains(x, y)) {
        pixels_[static_cast<size_t>(y) * stride_ + static_cast<size_t>(x)] = colour;
    }
}

void TrendRaster::Run(int x, int y0, int y1, uint32_t colour) {
    if (x < clip_.left || x > clip_.right) {
        return;
    }
    int low = std::max(std::min(y0, y1), clip_.top);
    int high = std::min(std::max(y0, y1), clip_.bottom);
    uint32_t* pixel = pixels_ + static_cast<size_t>(x);
    for (int y = low; y <= high; ++y) {
        pixel[static_cast<size_t>(y) * stride_] = colour;
    }
}

void TrendRaster::Line(PlotPixel a, PlotPixel b, uint32_t colour) {
    const int64_t dx = static_cast<int64_t>(b.x) - a.x;
    const int64_t dy = static_cast<int64_t>(b.y) - a.y;
    if (dx == 0) {
        Run(a.x, a.y, b.y, colour);
        return;
    }
    if (std::llabs(dy) >= std::llabs(dx)) {
        // Steep: one pixel a row, each row's column rounded from the exact line. Only the
        // rows inside the clip are walked, however far outside an end lies.
        if (dy < 0) {
            std::swap(a, b);
        }
        const int64_t rise = std::llabs(dy);
        const int64_t run = static_cast<int64_t>(b.x) - a.x;
        int first = std::max(a.y, clip_.top);
        int last = std::min(b.y, clip_.bottom);
        for (int y = first; y <= last; ++y) {
            int64_t step = y - a.y;
            // x = a.x + run * step / rise, rounded half away from a.
            int64_t twice = 2 * run * step;
            int64_t offset = (twice >= 0 ? twice + rise : twice - rise) / (2 * rise);
            Point(a.x + static_cast<int>(offset), y, colour);
        }
        return;
    }
    if (dx < 0) {
        std::swap(a, b);
    }
    const int64_t run = static_cast<int64_t>(b.x) - a.x;
    const int64_t rise = static_cast<int64_t>(b.y) - a.y;
    int first = std::max(a.x, clip_.left);
    int last = std::min(b.x, clip_.right);
    for (int x = first; x <= last; ++x) {
        int64_t step = x - a.x;
        int64_t twice = 2 * rise * step;
        int64_t offset = (twice >= 0 ? twice + run : twice - run) / (2 * run);
        Point(x, a.y + static_cast<int>(offset), colour);
    }
}

void TrendRaster::Polyline(const std::vector<PlotPixel>& points, uint32_t colour) {
    if (points.size() == 1) {
        Point(points[0].x, points[0].y, colour);
        return;
    }
    for (size_t i = 1; i < points.size(); ++i) {
        Line(points[i - 1], points[i], colour);
    }
}

}  // namespace tarvo
