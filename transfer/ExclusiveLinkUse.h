#pragma once

#include <cstdint>

#include "platform/MessageTarget.h"

namespace tarvo {

struct LinkSwitches;

// How the export and the import hold the control link: while their view is in front only
// its window's requests are taken, and a run that waits for replies ends when the link
// closes or another window takes it.
class ExclusiveLinkUse {
public:
    // WM_LINK_STATE of the view: Shown, it came to the front and holds the link; Hidden, it
    // left and lets it go (cyclic reads resume). True when it let the link go.
    static bool OnViewState(LinkSwitches& switches, WindowState state, MessageTarget* window);
    // The replies a run waits for can no longer come.
    static bool Lost(const LinkSwitches& switches, const MessageTarget* window);
};

}  // namespace tarvo
