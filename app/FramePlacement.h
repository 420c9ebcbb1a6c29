#pragma once

#include <vector>

#include "app/ViewCatalog.h"

namespace tarvo {

// Where the fixed-size child frames go inside the visible part of the main window's client
// area. Frames never change size here and the main window is never asked to grow: a frame
// larger than the area keeps the area's top-left corner.
class FramePlacement {
public:
    // The frame moved the least that puts all of it inside the area; a frame that already
    // fits keeps its place.
    static FramePlace KeepInside(FramePlace frame, const FramePlace& area);
    // Frames in a grid of near-square cells, each at its cell's top-left corner, moved
    // inside the area where the frame is larger than its cell.
    static std::vector<FramePlace> Tile(std::vector<FramePlace> frames, const FramePlace& area);
    // Frames stepped down and right by `step`; a frame that would leave the area starts a
    // new staircase at the top, one step further right.
    static std::vector<FramePlace> Cascade(std::vector<FramePlace> frames, const FramePlace& area,
                                           int step);
};

}  // namespace tarvo
