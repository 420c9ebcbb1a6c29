#pragma once

#include "platform/MessageTarget.h"

namespace tarvo {

// The link's window for a modal dialog that lives on the stack: it outlives the dialog and
// hands each reply to the dialog while one is attached, dropping replies that arrive after
// the dialog has gone (a poll or store answered after its window closed).
// User-interface thread only, as the link's deliveries are.
class DialogRelay : public MessageTarget {
public:
    void Attach(MessageTarget* dialog) { dialog_ = dialog; }
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
        return dialog_ != nullptr ? dialog_->onMessage(message, wParam, lParam) : 0;
    }

private:
    MessageTarget* dialog_ = nullptr;
};

}  // namespace tarvo
