#include "app/FramePlacement.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

bool Inside(const FramePlace& frame, const FramePlace& area) {
    return frame.left >= area.left && frame.top >= area.top &&
           frame.left + frame.width <= area.left + area.width &&
           frame.top + frame.height <= area.top + area.height;
}

bool Overlap(const FramePlace& a, const FramePlace& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

TEST(FramePlacementTest, KeepInsideMovesOnlyWhatPokesOut) {
    const FramePlace area{10, 20, 1000, 700};
    struct Case {
        FramePlace frame;
        int left;
        int top;
    } cases[] = {
        {{50, 40, 400, 300}, 50, 40},        // fits: stays
        {{610, 420, 400, 300}, 610, 420},    // touches the right and bottom edges exactly
        {{611, 421, 400, 300}, 610, 420},    // one pixel out on both sides
        {{2965, 2319, 400, 300}, 610, 420},  // far off, as saved from a larger window
        {{-50, 5, 400, 300}, 10, 20},        // above and left of the area
        {{300, 100, 1200, 300}, 10, 100},    // wider than the area: its left edge shows
        {{300, 100, 400, 900}, 300, 20},     // taller than the area: its caption shows
    };
    for (const Case& c : cases) {
        FramePlace placed = FramePlacement::KeepInside(c.frame, area);
        EXPECT_EQ(placed.left, c.left) << c.frame.left << "," << c.frame.top;
        EXPECT_EQ(placed.top, c.top) << c.frame.left << "," << c.frame.top;
        EXPECT_EQ(placed.width, c.frame.width);
        EXPECT_EQ(placed.height, c.frame.height);
    }
}

TEST(FramePlacementTest, TileAndCascadeKeepEveryFrameInsideAtItsSize) {
    const FramePlace area{0, 0, 1300, 700};
    for (int count : {1, 2, 5, 20}) {
        std::vector<FramePlace> frames;
        for (int i = 0; i < count; ++i) {
            frames.push_back({5000, 5000, 380 + 40 * (i % 4), 260 + 60 * (i % 3)});
        }
        for (const auto& placed :
             {FramePlacement::Tile(frames, area), FramePlacement::Cascade(frames, area, 24)}) {
            ASSERT_EQ(placed.size(), frames.size());
            for (size_t i = 0; i < placed.size(); ++i) {
                EXPECT_TRUE(Inside(placed[i], area)) << count << " frames, #" << i;
                EXPECT_EQ(placed[i].width, frames[i].width);
                EXPECT_EQ(placed[i].height, frames[i].height);
            }
        }
    }
    // A frame larger than the whole area keeps the area's corner.
    auto big = FramePlacement::Tile({{300, 300, 2000, 900}}, area);
    EXPECT_EQ(big[0].left, 0);
    EXPECT_EQ(big[0].top, 0);
}

TEST(FramePlacementTest, TileUsesTheCellsSoSmallFramesDoNotOverlap) {
    const FramePlace area{0, 0, 1000, 600};
    std::vector<FramePlace> frames(5, FramePlace{0, 0, 300, 250});
    auto placed = FramePlacement::Tile(frames, area);
    for (size_t i = 0; i < placed.size(); ++i) {
        for (size_t j = i + 1; j < placed.size(); ++j) {
            EXPECT_FALSE(Overlap(placed[i], placed[j])) << i << " and " << j;
        }
    }
    EXPECT_EQ(placed[0].left, 0);
    EXPECT_EQ(placed[1].left, 333);  // three columns of 333 pixels, two rows of 300
    EXPECT_EQ(placed[3].top, 300);
}

TEST(FramePlacementTest, CascadeStepsAndStartsANewStaircaseAtTheBottom) {
    const FramePlace area{0, 0, 800, 400};
    std::vector<FramePlace> frames(4, FramePlace{0, 0, 300, 320});
    auto placed = FramePlacement::Cascade(frames, area, 30);
    EXPECT_EQ(placed[0].left, 0);
    EXPECT_EQ(placed[0].top, 0);
    EXPECT_EQ(placed[1].left, 30);
    EXPECT_EQ(placed[1].top, 30);
    EXPECT_EQ(placed[2].left, 60);
    EXPECT_EQ(placed[2].top, 60);
    // 90 + 320 passes the bottom: a new staircase one step right of the last one's start.
    EXPECT_EQ(placed[3].left, 30);
    EXPECT_EQ(placed[3].top, 0);
}

}  // namespace
}  // namespace tarvo
