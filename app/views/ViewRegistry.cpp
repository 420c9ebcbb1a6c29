#include "app/views/ViewRegistry.h"

#include <QMdiArea>
#include <vector>

#include "app/views/FrameArea.h"

namespace tarvo {

ViewRegistry::ViewRegistry(QMdiArea& area, Factory factory, PlaceRule place, TitleRule title)
    : area_(area),
      factory_(std::move(factory)),
      place_(std::move(place)),
      title_(std::move(title)) {}

bool ViewRegistry::IsConnectionForm(ViewKind kind) {
    return kind == ViewKind::kCommMode || kind == ViewKind::kCommRs232 ||
           kind == ViewKind::kCommCan;
}

uint32_t ViewRegistry::SlotOf(const ViewInfo& info) {
    // "New" and "Interface Change" show the same form.
    return info.kind == ViewKind::kCommMode ? 1212 : info.command;
}

ChildFrame* ViewRegistry::Frame(ViewKind kind) const {
    for (const auto& [slot, frame] : frames_) {
        const ViewInfo* info = ViewCatalog::ByCommand(slot);
        if (info != nullptr && info->kind == kind && frame) {
            return frame;
        }
    }
    return nullptr;
}

ChildFrame* ViewRegistry::Frame(const ViewInfo& info) const {
    auto it = frames_.find(SlotOf(info));
    return it != frames_.end() ? it->second.data() : nullptr;
}

ChildFrame* ViewRegistry::ShowOrCreate(const ViewInfo& info) {
    uint32_t slot = SlotOf(info);
    auto it = frames_.find(slot);
    if (it != frames_.end() && it->second) {
        ChildFrame* frame = it->second;
        frame->showNormal();
        FrameArea::KeepInside(area_, frame);
        area_.setActiveSubWindow(frame);
        if (!IsConnectionForm(info.kind) && frame->ViewTarget() != nullptr) {
            frame->ViewTarget()->onMessage(WM_LINK_STATE, ToWParam(WindowState::Shown), 0);
        }
        return frame;
    }
    CreatedView view = factory_(info);
    if (view.widget == nullptr) {
        return nullptr;
    }
    auto policy = info.kind == ViewKind::kCommMode
                      ? ChildFrame::ClosePolicy::kDestroy
                      : (IsConnectionForm(info.kind) ? ChildFrame::ClosePolicy::kHideSilently
                                                     : ChildFrame::ClosePolicy::kHideAndTell);
    auto* frame = new ChildFrame(view.widget, view.target, policy);
    FramePlace place = place_(info);
    frame->setWindowTitle(title_(info));
    area_.addSubWindow(frame);
    frame->SetFixedFrameSize(QSize(place.width, place.height));
    frame->move(place.left, place.top);
    frames_[slot] = frame;
    if (policy == ChildFrame::ClosePolicy::kDestroy) {
        // The frame is deleted only later; "New" shows the form again at once, so the slot
        // must be free as soon as it closes.
        QObject::connect(frame, &ChildFrame::destroyedByClose, &area_,
                         [this, slot](ChildFrame* closed) {
                             auto it = frames_.find(slot);
                             if (it != frames_.end() && it->second == closed) {
                                 frames_.erase(it);
                             }
                         });
    }
    frame->show();
    FrameArea::KeepInside(area_, frame);
    area_.setActiveSubWindow(frame);
    return frame;
}

void ViewRegistry::Broadcast(WindowState state, intptr_t lParam) {
    for (const auto& [slot, frame] : frames_) {
        if (frame && frame->ViewTarget() != nullptr) {
            frame->ViewTarget()->onMessage(WM_LINK_STATE, ToWParam(state), lParam);
        }
    }
}

void ViewRegistry::CloseAll() {
    // Closing the interface form frees its slot, so walk a copy.
    std::vector<QPointer<ChildFrame>> frames;
    for (const auto& [slot, frame] : frames_) {
        frames.push_back(frame);
    }
    for (const QPointer<ChildFrame>& frame : frames) {
        if (frame && frame->isVisible()) {
            frame->close();
        }
    }
}

}  // namespace tarvo
