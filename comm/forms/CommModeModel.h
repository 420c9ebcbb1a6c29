#pragma once

#include "comm/ConnectionContext.h"

namespace tarvo {

// The interface form (dialog 125): choose RS232, CAN or offline, then "Next" opens the
// settings form of that interface.
class CommModeModel {
public:
    enum Choice { kOffline, kRs232, kCan };

    explicit CommModeModel(const ConnectionContext& context) : context_(context) {}

    // On creation: the radio button to check. CAN is only offered as the current mode when
    // it was chosen in this run.
    Choice Create();
    Choice ChooseCan();
    Choice ChooseRs232();
    Choice ChooseOffline();
    // Stores the mode and asks the main frame for the settings form; offline closes the
    // connection. The view then closes its frame.
    void Next();

    Choice Current() const;

private:
    ConnectionContext context_;
};

}  // namespace tarvo
