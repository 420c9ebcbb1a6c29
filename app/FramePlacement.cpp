#include "app/FramePlacement.h"

#include <algorithm>
#include <cmath>

namespace tarvo {

namespace {

int KeepInsideSpan(int start, int length, int areaStart, int areaLength) {
    int last = areaStart + std::max(0, areaLength - length);
    return std::clamp(start, areaStart, last);
}

}  // namespace

FramePlace FramePlacement::KeepInside(FramePlace frame, const FramePlace& area) {
    frame.left = KeepInsideSpan(frame.left, frame.width, area.left, area.width);
    frame.top = KeepInsideSpan(frame.top, frame.height, area.top, area.height);
    return frame;
}

std::vector<FramePlace> FramePlacement::Tile(std::vector<FramePlace> frames,
                                             const FramePlace& area) {
    const int count = static_cast<int>(frames.size());
    if (count == 0) {
        return frames;
    }
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    const int rows = (count + columns - 1) / columns;
    const int cellWidth = std::max(1, area.width / columns);
    const int cellHeight = std::max(1, area.height / rows);
    for (int i = 0; i < count; ++i) {
        frames[i].left = area.left + (i % columns) * cellWidth;
        frames[i].top = area.top + (i / columns) * cellHeight;
        frames[i] = KeepInside(frames[i], area);
    }
    return frames;
}

std::vector<FramePlace> FramePlacement::Cascade(std::vector<FramePlace> frames,
                                                const FramePlace& area, int step) {
    step = std::max(1, step);
    int column = 0;  // the left edge of the current staircase, from the area's left
    int stair = 0;   // frames on the current staircase so far
    for (FramePlace& frame : frames) {
        int left = column + stair * step;
        int top = stair * step;
        bool leaves = left + frame.width > area.width || top + frame.height > area.height;
        if (leaves && stair > 0) {
            column += step;
            stair = 0;
            left = column;
            top = 0;
        }
        if (left + frame.width > area.width) {
            column = 0;  // no room further right: start again at the left edge
            left = 0;
        }
        frame.left = area.left + left;
        frame.top = area.top + top;
        frame = KeepInside(frame, area);
        ++stair;
    }
    return frames;
}

}  // namespace tarvo
