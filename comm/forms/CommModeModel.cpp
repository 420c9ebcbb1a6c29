#include "comm/forms/CommModeModel.h"

#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "comm/forms/ConnectionCommands.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"

namespace tarvo {

CommModeModel::Choice CommModeModel::Current() const {
    switch (context_.session.interfaceMode) {
        case kModeRs232:
            return kRs232;
        case kModeCan:
            return kCan;
        default:
            return kOffline;
    }
}

CommModeModel::Choice CommModeModel::Create() {
    if (context_.switches.canChosen.load() == 0 && context_.session.interfaceMode == kModeCan) {
        context_.session.interfaceMode = kModeOffline;
    }
    return Current();
}

CommModeModel::Choice CommModeModel::ChooseCan() {
    context_.session.interfaceMode = kModeCan;
    if (context_.link.Load(kModeCan) == 0) {
        std::string reason = context_.link.CanFailureReason();
        context_.messageBox.Show(reason.empty() ? std::string(ConnectionTexts::kPcanFailure)
                                                : ConnectionTexts::kPcanFailure + ("\n" + reason));
        return ChooseOffline();
    }
    return kCan;
}

CommModeModel::Choice CommModeModel::ChooseRs232() {
    context_.session.interfaceMode = kModeRs232;
    context_.link.Load(kModeRs232);
    return kRs232;
}

CommModeModel::Choice CommModeModel::ChooseOffline() {
    context_.session.interfaceMode = kModeOffline;
    context_.link.Load(kModeOffline);
    return kOffline;
}

void CommModeModel::Next() {
    int mode = context_.session.interfaceMode;
    if (mode != kModeRs232 && mode != kModeCan) {
        mode = kModeOffline;
    }
    // Going offline ends the connection; choosing an interface keeps it until the settings
    // form opens a new one.
    if (mode == kModeOffline) {
        ConnectionCommands::Close(context_);
    }
    context_.settings.SetInterfaceMode(mode);
    if (context_.mainFrame != nullptr && mode != kModeOffline) {
        context_.mainFrame->onMessage(WM_OPEN_VIEW, mode == kModeRs232 ? 0 : 1, 0);
    }
}

}  // namespace tarvo
