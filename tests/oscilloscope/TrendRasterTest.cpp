#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oscilloscope/TrendRaster.h"

namespace tarvo {
namespace {

// A 9 x 7 canvas clipped to columns 1..7 and rows 1..5: a '#' marks a set pixel.
std::string Draw(const std::vector<PlotPixel>& points) {
    constexpr int kWidth = 9;
    constexpr int kHeight = 7;
    std::vector<uint32_t> pixels(kWidth * kHeight, 0);
    TrendRaster raster(pixels.data(), kWidth, {1, 1, 7, 5});
    raster.Polyline(points, 0xFF00FF00u);
    std::string text;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint32_t pixel = pixels[static_cast<size_t>(y * kWidth + x)];
            EXPECT_TRUE(pixel == 0 || pixel == 0xFF00FF00u);
            text += pixel != 0 ? '#' : '.';
        }
        text += '/';
    }
    return text;
}

TEST(TrendRaster, LinesRunsAndDotsStayInsideTheClip) {
    struct Case {
        const char* what;
        std::vector<PlotPixel> points;
        const char* expected;
    };
    const Case cases[] = {
        {"a column span, ends given bottom first",
         {{3, 4}, {3, 2}},
         ".........|.........|...#.....|...#.....|...#.....|.........|.........|"},
        {"a span far beyond the clip on both sides",
         {{2, -100000}, {2, 100000}},
         ".........|..#......|..#......|..#......|..#......|..#......|.........|"},
        {"steep: one pixel a row, halves rounded away from the first end",
         {{2, 1}, {3, 5}},
         ".........|..#......|..#......|...#.....|...#.....|...#.....|.........|"},
        {"the same line drawn the other way",
         {{3, 5}, {2, 1}},
         ".........|..#......|..#......|...#.....|...#.....|...#.....|.........|"},
        {"shallow: one pixel a column",
         {{1, 2}, {5, 3}},
         ".........|.........|.##......|...###...|.........|.........|.........|"},
        {"a shallow line leaving the clip on the right, coming back, a span beyond the top",
         {{4, 1}, {20, 5}, {7, 5}, {7, -30}},
         ".........|....##.#.|......##.|.......#.|.......#.|.......#.|.........|"},
        {"the edges of the clip drawn, beyond them nothing",
         {{0, 0}, {8, 0}, {8, 6}, {0, 6}, {0, 0}},
         ".........|.........|.........|.........|.........|.........|.........|"},
        {"a single point is a dot",
         {{7, 5}},
         ".........|.........|.........|.........|.........|.......#.|.........|"},
        {"a single point outside is nothing",
         {{8, 5}},
         ".........|.........|.........|.........|.........|.........|.........|"},
        {"min/max pairs joined column to column",
         {{1, 5}, {1, 3}, {2, 1}, {2, 4}},
         ".........|..#......|.##......|.##......|.##......|.#.......|.........|"},
    };
    for (const Case& c : cases) {
        std::string expected = c.expected;
        for (char& ch : expected) {
            ch = ch == '|' ? '/' : ch;
        }
        EXPECT_EQ(Draw(c.points), expected) << c.what;
    }
}

}  // namespace
}  // namespace tarvo
