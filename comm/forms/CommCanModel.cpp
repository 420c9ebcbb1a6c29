#include "comm/forms/CommCanModel.h"

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
    return context_.switches.connectionState == ConnectionState::Open ? 204 : 203;
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
        context_.messageBox.Show(ConnectionTexts::kNoPeakDriver);
    }
}

std::string CommCanModel::Detail() {
    std::string text;
    return QueryVersion(text) ? text : std::string();
}

void CommCanModel::SelectBitRate(int entry) {
    selectedEntry_ = (entry >= 0 && entry < CanBitRates::kEntryCount) ? entry : -1;
    if (context_.switches.connectionState == ConnectionState::Open) {
        ConnectionCommands::Close(context_);
    }
}

void CommCanModel::Toggle() {
    context_.link.SetNodeId(static_cast<uint32_t>(nodeId_));
    if (selectedEntry_ < 0 || context_.session.connectInProgress != 0) {
        return;
    }
    if (context_.switches.connectionState == ConnectionState::Open) {
        ConnectionCommands::Close(context_);
    } else {
        context_.link.Load(kModeCan);
        if (!OpenConnection()) {
            ConnectionCommands::Close(context_);
        }
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
    // A failed open leaves the connection closed rather than pretending it is open.
    if (context_.link.Open(&settings) != 0) {
        context_.messageBox.Show(ConnectionTexts::kCanOpenFailure);
        return false;
    }
    ConnectionCommands::Opened(context_, std::string(), code, static_cast<uint32_t>(nodeId_),
                               "Comm Status: Open " + CanBitRates::EntryText(selectedEntry_));
    return true;
}

}  // namespace tarvo
