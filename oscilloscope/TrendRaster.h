#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "oscilloscope/CurvePlot.h"

namespace tarvo {

// Draws a trend's curves straight into 32-bit pixels: an hour squeezed into a plot is a
// tall vertical run in almost every column, and setting those pixels one by one costs a
// small fraction of what a general line painter spends on them. Lines are one pixel wide
// and not smoothed; everything outside the clip rectangle (edges included) is left alone.
class TrendRaster {
public:
    // `pixels` holds rows of `stride` pixels each; the clip must lie inside them.
    TrendRaster(uint32_t* pixels, size_t stride, const PlotRect& clip)
        : pixels_(pixels), stride_(stride), clip_(clip) {}

    void Point(int x, int y, uint32_t colour);
    // The line from a to b, both ends drawn.
    void Line(PlotPixel a, PlotPixel b, uint32_t colour);
    // Each point joined to the next; a single point is drawn as a dot.
    void Polyline(const std::vector<PlotPixel>& points, uint32_t colour);

private:
    void Run(int x, int y0, int y1, uint32_t colour);

    uint32_t* pixels_;
    size_t stride_;
    PlotRect clip_;
};

}  // namespace tarvo
