#include "app/views/FrameArea.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>

#include "app/FramePlacement.h"

namespace tarvo {

namespace {

FramePlace PlaceOf(const QRect& rect) {
    return {rect.left(), rect.top(), rect.width(), rect.height()};
}

// The shown frames that are not minimized, in the order they were added.
QList<QMdiSubWindow*> ArrangedFrames(const QMdiArea& area) {
    QList<QMdiSubWindow*> frames;
    for (QMdiSubWindow* frame : area.subWindowList(QMdiArea::CreationOrder)) {
        if (frame->isVisible() && !frame->isMinimized()) {
            frames << frame;
        }
    }
    return frames;
}

void Apply(const QList<QMdiSubWindow*>& frames, const std::vector<FramePlace>& places) {
    for (qsizetype i = 0; i < frames.size(); ++i) {
        frames[i]->move(places[static_cast<size_t>(i)].left, places[static_cast<size_t>(i)].top);
    }
}

std::vector<FramePlace> PlacesOf(const QList<QMdiSubWindow*>& frames) {
    std::vector<FramePlace> places;
    for (QMdiSubWindow* frame : frames) {
        places.push_back(PlaceOf(frame->geometry()));
    }
    return places;
}

}  // namespace

QRect FrameArea::VisibleRect(const QMdiArea& area) {
    return area.viewport()->rect();
}

void FrameArea::KeepInside(QMdiArea& area, QMdiSubWindow* frame) {
    if (frame == nullptr) {
        return;
    }
    FramePlace place =
        FramePlacement::KeepInside(PlaceOf(frame->geometry()), PlaceOf(VisibleRect(area)));
    if (place.left != frame->x() || place.top != frame->y()) {
        frame->move(place.left, place.top);
    }
}

void FrameArea::Tile(QMdiArea& area) {
    QList<QMdiSubWindow*> frames = ArrangedFrames(area);
    Apply(frames, FramePlacement::Tile(PlacesOf(frames), PlaceOf(VisibleRect(area))));
}

void FrameArea::Cascade(QMdiArea& area) {
    QList<QMdiSubWindow*> frames = ArrangedFrames(area);
    int step = area.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
    Apply(frames, FramePlacement::Cascade(PlacesOf(frames), PlaceOf(VisibleRect(area)), step));
    for (QMdiSubWindow* frame : frames) {
        frame->raise();  // the last one on top, its caption under none of the others
    }
}

}  // namespace tarvo
