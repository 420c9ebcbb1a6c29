#include "comm/forms/CommRs232Model.h"

#include <algorithm>
#include <cstdio>

#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "comm/PortAccess.h"
#include "comm/forms/ConnectionCommands.h"
#include "platform/AppSettings.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/TextCase.h"

namespace tarvo {

namespace {

int IndexOf(const std::vector<std::string>& entries, const std::string& text) {
    auto it = std::find(entries.begin(), entries.end(), text);
    return it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
}

// The settings file keeps values trimmed while the English baud list spells "115200 ": a
// stored text selects the entry it equals with surrounding blanks ignored, so that a rate
// stored in either language selects its entry in both.
int IndexOfStored(const std::vector<std::string>& entries, const std::string& stored) {
    std::string_view wanted = Trim(stored);
    if (wanted.empty()) {
        return -1;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Trim(entries[i]) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

CommRs232Model::CommRs232Model(const ConnectionContext& context, PortLister listPorts,
                               std::vector<std::string> baudEntries)
    : context_(context), listPorts_(std::move(listPorts)), baudEntries_(std::move(baudEntries)) {}

int CommRs232Model::StatusIcon() const {
    return ConnectionCommands::IsOpenOn(context_, kModeRs232) ? 204 : 203;
}

void CommRs232Model::FillPorts() {
    std::string remembered = (selectedPort_ >= 0 && selectedPort_ < static_cast<int>(ports_.size()))
                                 ? ports_[selectedPort_]
                                 : std::string();
    bool wasEmpty = ports_.empty();
    ports_ = listPorts_ ? listPorts_() : std::vector<std::string>();
    // The chosen port stays chosen where it moved to; a list filled from empty starts at
    // its first entry.
    if (!remembered.empty()) {
        selectedPort_ = IndexOf(ports_, remembered);
    } else {
        selectedPort_ = (wasEmpty && !ports_.empty()) ? 0 : -1;
    }
}

void CommRs232Model::Create() {
    FillPorts();
    selectedPort_ = IndexOfStored(ports_, context_.settings.SerialPort());
    selectedBaud_ = IndexOfStored(baudEntries_, context_.settings.SerialBaudRate());
    std::string node = context_.settings.SerialNodeId();
    if (!node.empty()) {
        nodeId_ = static_cast<int>(ParseDecimalText(node));
    }
    context_.link.SetNodeId(static_cast<uint32_t>(nodeId_));
}

void CommRs232Model::Redraw() {
    if (context_.switches.connectionState != ConnectionState::Open) {
        FillPorts();
    }
}

void CommRs232Model::SelectPort(int index) {
    selectedPort_ = (index >= 0 && index < static_cast<int>(ports_.size())) ? index : -1;
    if (ConnectionCommands::IsOpenOn(context_, kModeRs232)) {
        ConnectionCommands::Close(context_);
    }
}

void CommRs232Model::SelectBaud(int index) {
    selectedBaud_ = (index >= 0 && index < static_cast<int>(baudEntries_.size())) ? index : -1;
    if (ConnectionCommands::IsOpenOn(context_, kModeRs232)) {
        ConnectionCommands::Close(context_);
    }
}

void CommRs232Model::Toggle() {
    context_.link.SetNodeId(static_cast<uint32_t>(nodeId_));
    if (context_.session.connectInProgress != 0) {
        return;
    }
    if (selectedPort_ < 0 || selectedBaud_ < 0) {
        context_.messageBox.Show(ConnectionTexts::kNoComPort);
        return;
    }
    if (ConnectionCommands::IsOpenOn(context_, kModeRs232)) {
        if (context_.mayCloseConnection && !context_.mayCloseConnection()) {
            return;
        }
        ConnectionCommands::Close(context_);
    } else {
        context_.link.Load(kModeRs232);
        OpenConnection();
    }
    context_.settings.SetSerial(ports_[selectedPort_], baudEntries_[selectedBaud_]);
    if (nodeId_ != 0) {
        context_.settings.SetSerialNodeId(nodeId_);
    }
}

bool CommRs232Model::OpenConnection() {
    const std::string& port = ports_[selectedPort_];
    uint32_t baud = ParseDecimalText(baudEntries_[selectedBaud_]);
    CommSettings settings =
        ConnectionSession::MakeSettings(port, static_cast<uint32_t>(nodeId_), baud);
    context_.session.attemptText = ConnectionSession::SerialAttempt(port, baud, nodeId_);
    int32_t opened = context_.link.Open(&settings);
    if (opened != 0) {
        std::string text = ConnectionTexts::kComOpenFailure + context_.session.attemptText;
        // The program folder is the current directory.
        std::string why = opened > 0 ? PortAccess::Explain(PortAccess::DevicePath("", port), opened)
                                     : std::string();
        if (!why.empty()) {
            text += "\n" + why;
        }
        if (ConnectionCommands::OpenFailed(context_)) {
            text += std::string("\n") + ConnectionTexts::kStillOpen;
        }
        context_.messageBox.Show(text);
        return false;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Comm Status: Open  %s  %u", port.c_str(), baud);
    ConnectionCommands::Opened(context_, port, baud, static_cast<uint32_t>(nodeId_), text);
    return true;
}

}  // namespace tarvo
