#include "panels/ioerror/HintPlacement.h"

#include <algorithm>

namespace tarvo {

int HintPlacement::Characters(const std::string& text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

HintPlacement::Box HintPlacement::Place(int ownerWidth, int ownerHeight, const Rect& control,
                                        int lines, int longestLine, bool chinese) {
    Box box;
    box.rect.width = (chinese ? 12 : 6) * longestLine + 10;
    box.rect.height = 13 * lines + 12;
    box.rect.top = control.top + control.height;
    if (box.rect.top + box.rect.height > ownerHeight) {
        if (box.rect.height > ownerHeight) {
            // Too tall for the owner even above the control: a smaller font.
            box.fontHeight = 12;
            box.rect.height = 11 * lines + 12;
            box.rect.width = (chinese ? 14 : 7) * longestLine + 10;
        }
        box.rect.top = control.top - box.rect.height;
    }
    box.rect.left = control.left + control.width > ownerWidth ? 0 : control.left;
    return box;
}

HintPlacement::Box HintPlacement::Place(int ownerWidth, int ownerHeight, const Rect& control,
                                        const std::vector<std::string>& lines, bool chinese) {
    int longest = 0;
    for (const std::string& line : lines) {
        longest = std::max(longest, Characters(line));
    }
    return Place(ownerWidth, ownerHeight, control, static_cast<int>(lines.size()), longest,
                 chinese);
}

}  // namespace tarvo
