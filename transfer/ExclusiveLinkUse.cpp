#include "transfer/ExclusiveLinkUse.h"

#include "comm/LinkSwitches.h"

namespace tarvo {

bool ExclusiveLinkUse::OnViewState(LinkSwitches& switches, WindowState state,
                                   MessageTarget* window) {
    // The window is set before the mode goes on and cleared after it goes off: the link
    // never sees the mode on without this window.
    if (state == WindowState::Shown) {
        switches.exclusiveWindow = window;
        switches.exclusiveMode = 1;
    } else if (state == WindowState::Hidden) {
        switches.exclusiveMode = 0;
        switches.exclusiveWindow = nullptr;
        switches.cyclicReadEnabled = 1;
        return true;
    }
    return false;
}

bool ExclusiveLinkUse::Lost(const LinkSwitches& switches, const MessageTarget* window) {
    MessageTarget* owner = switches.exclusiveWindow.load();
    bool taken = switches.exclusiveMode != 0 && owner != nullptr && owner != window;
    return switches.connectionState != ConnectionState::Open || taken;
}

}  // namespace tarvo
