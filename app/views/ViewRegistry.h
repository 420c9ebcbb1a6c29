#pragma once

#include <QHash>
#include <QPointer>
#include <functional>
#include <map>

#include "app/ViewCatalog.h"
#include "app/views/ChildFrame.h"
#include "platform/MessageTarget.h"

class QMdiArea;

namespace tarvo {

// The main frame's slots: one child frame per kind of view, created on first use and then
// only hidden and shown again.
class ViewRegistry {
public:
    struct CreatedView {
        QWidget* widget = nullptr;
        MessageTarget* target = nullptr;
    };
    // Makes the view of a kind, or returns no widget when that view is not available.
    using Factory = std::function<CreatedView(const ViewInfo& info)>;
    using PlaceRule = std::function<FramePlace(const ViewInfo& info)>;
    using TitleRule = std::function<QString(const ViewInfo& info)>;

    ViewRegistry(QMdiArea& area, Factory factory, PlaceRule place, TitleRule title);

    // Shows the view's frame, creating it the first time. Returns the frame, or null when
    // the view cannot be made. A view brought back gets WM_LINK_STATE Shown (the forms of
    // the connection get none).
    ChildFrame* ShowOrCreate(const ViewInfo& info);
    // The frame of the first existing view of a kind (list panels: any of them).
    ChildFrame* Frame(ViewKind kind) const;
    bool Exists(ViewKind kind) const { return Frame(kind) != nullptr; }
    // The frame of that very view, or null when it was not made yet.
    ChildFrame* Frame(const ViewInfo& info) const;

    // Sends WM_LINK_STATE with `state` (and `lParam`) to the view of every existing frame.
    void Broadcast(WindowState state, intptr_t lParam = 0);
    // Closes (hides) every existing view's frame.
    void CloseAll();

private:
    static bool IsConnectionForm(ViewKind kind);
    static uint32_t SlotOf(const ViewInfo& info);

    QMdiArea& area_;
    Factory factory_;
    PlaceRule place_;
    TitleRule title_;
    // Keyed by the command (the list panels share a kind); ordered for broadcasts.
    std::map<uint32_t, QPointer<ChildFrame>> frames_;
};

}  // namespace tarvo
