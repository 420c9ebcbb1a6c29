#pragma once

#include <string>
#include <vector>

namespace tarvo {

// Where the hint box of a control stands on its owner and how big it is, from the number of
// lines and the longest line in characters.
class HintPlacement {
public:
    struct Rect {
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        bool operator==(const Rect&) const = default;
    };
    struct Box {
        Rect rect;
        int fontHeight = 14;
        bool operator==(const Box&) const = default;
    };

    // `control` in owner coordinates; the owner's client area starts at 0, 0.
    static Box Place(int ownerWidth, int ownerHeight, const Rect& control, int lines,
                     int longestLine, bool chinese);
    static Box Place(int ownerWidth, int ownerHeight, const Rect& control,
                     const std::vector<std::string>& lines, bool chinese);
    // Characters (not bytes) of a UTF-8 text.
    static int Characters(const std::string& text);
};

}  // namespace tarvo
