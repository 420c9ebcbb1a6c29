#include "comm/forms/CommCanModel.h"

#include <cstdio>

#include "comm/CanBitRates.h"
#include "comm/CommLibrary.h"
#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "comm/forms/ConnectionCommands.h"
#include "platform/AppSettings.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"

namespace tarvo {

int CommCanModel::StatusIcon() const {
    return ConnectionCommands::IsOpenOn(context_, kModeCan) ? 204 : 203;
}

void CommCanModel::Create() {
    std::string stored = context_.settings.CanBitRateCode();
    if (!stored.empty()) {
        if (auto entry = CanBitRates::EntryOfCode(ParseDecimalText(stored))) {
            selectedEntry_ = *entry;
            std::string node = context_.settings.CanNodeId();
            if (!node.empty()) {
                nodeId_ = static_cast<int>(ParseDecimalText(node));
            }
        }
    }
    context_.link.Load(kModeCan);
    context_.link.SetNodeId(static_cast<uint32_t>(nodeId_));
    ShowVersion();
}

bool CommCanModel::QueryVersion(std::string& text) {
    char buffer[256] = {};
    if (context_.link.ReadVersion(buffer) == 0) {
        return false;
    }
    buffer[255] = '\0';
    text = buffer;
    return true;
}

void CommCanModel::ShowVersion() {
    std::string text;
    if (QueryVersion(text)) {
        versionCaption_ = CommLibrary::VersionCaption(text.c_str());
        versionShown_ = true;
    } else {
        context_.messageBox.Show(ConnectionTexts::kNoPeakDriver + std::string("\n") +
                                 FailureReason());
    }
}

std::string CommCanModel::FailureReason() {
    std::string reason = context_.link.CanFailureReason();
    return reason.empty() ? ConnectionTexts::kNoCanReason : reason;
}

std::string CommCanModel::Detail() {
    std::string text;
    if (!QueryVersion(text)) {
        text = FailureReason();
    }
    text += "\nBit rate: ";
    if (selectedEntry_ >= 0) {
        char code[16];
        std::snprintf(code, sizeof code, " (code 0x%04X)",
                      CanBitRates::CodeOfEntry(selectedEntry_));
        text += CanBitRates::EntryText(selectedEntry_) + code;
    } else {
        text += "none chosen";
    }
    text += "\nNode ID: " + std::to_string(nodeId_);
    if (ConnectionCommands::IsOpenOn(context_, kModeCan)) {
        text += "\n" + context_.session.statusText;
    }
    return text;
}

void CommCanModel::SelectBitRate(int entry) {
    selectedEntry_ = (entry >= 0 && entry < CanBitRates::kEntryCount) ? entry : -1;
    if (ConnectionCommands::IsOpenOn(context_, kModeCan)) {
        ConnectionCommands::Close(context_);
    }
}

void CommCanModel::Toggle() {
    context_.link.SetNodeId(static_cast<uint32_t>(nodeId_));
    if (context_.session.connectInProgress != 0) {
        return;
    }
    if (selectedEntry_ < 0) {
        context_.messageBox.Show(ConnectionTexts::kNoCanRate);
        return;
    }
    if (ConnectionCommands::IsOpenOn(context_, kModeCan)) {
        if (context_.mayCloseConnection && !context_.mayCloseConnection()) {
            return;
        }
        ConnectionCommands::Close(context_);
    } else {
        context_.link.Load(kModeCan);
        OpenConnection();
    }
    if (!versionShown_) {
        ShowVersion();
    }
    context_.settings.SetCanBitRateCode(CanBitRates::CodeOfEntry(selectedEntry_));
    if (nodeId_ != 0) {
        context_.settings.SetCanNodeId(nodeId_);
    }
}

bool CommCanModel::OpenConnection() {
    uint32_t code = CanBitRates::CodeOfEntry(selectedEntry_);
    CommSettings settings =
        ConnectionSession::MakeSettings(std::string(), static_cast<uint32_t>(nodeId_), code);
    context_.session.attemptText =
        ConnectionSession::CanAttempt(code, static_cast<uint32_t>(nodeId_));
    // A failed open leaves the connection closed rather than pretending it is open.
    if (context_.link.Open(&settings) != 0) {
        std::string text = ConnectionTexts::kCanOpenFailure + FailureReason() + "\n" +
                           context_.session.attemptText;
        if (ConnectionCommands::OpenFailed(context_)) {
            text += std::string("\n") + ConnectionTexts::kStillOpen;
        }
        context_.messageBox.Show(text);
        return false;
    }
    ConnectionCommands::Opened(context_, std::string(), code, static_cast<uint32_t>(nodeId_),
                               "Comm Status: Open " + CanBitRates::EntryText(selectedEntry_));
    return true;
}

}  // namespace tarvo
