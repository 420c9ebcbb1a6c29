#pragma once

#include <QRect>

class QMdiArea;
class QMdiSubWindow;

namespace tarvo {

// The child frames of the main window's client area, kept where the user can see them.
// The area has no scroll bars, so a frame that pokes out of it could not be reached.
class FrameArea {
public:
    // The client area's visible rectangle, in the coordinates of its frames.
    static QRect VisibleRect(const QMdiArea& area);
    // Moves the frame, when it pokes out, the least that shows all of it (a frame larger
    // than the area goes to the top-left corner).
    static void KeepInside(QMdiArea& area, QMdiSubWindow* frame);
    // Tile and cascade the shown frames without resizing them or the main window.
    static void Tile(QMdiArea& area);
    static void Cascade(QMdiArea& area);
};

}  // namespace tarvo
