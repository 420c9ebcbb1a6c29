#include "CommRs232Model.h"

#include <algorithm>
#include <cstdio>

#include "AppSettings.h"
#include "ConnectionCommands.h"
#include "ConnectionSession.h"
#include "ControlLink.h"
#include "LenientNumber.h"
#include "MessageBox.h"
#include "MessageTarget.h"

namespace tarvo {

namespace {

int IndexOf(const std::vector<std::string>& entries, const std::string& text) {
    auto it = std::find(entries.begin(), entries.end(), text);
    return it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
}

}  // namespace

CommRs232Model::CommRs232Model(const ConnectionContext& context, PortLister listPorts,
                               std::vector<std::string> baudEntries)
    : context_(context), listPorts_(std::move(listPorts)), baudEntries_(std::move(baudEntries)) {}

int CommRs232Model::StatusIcon() const {
    return context_.switches.connectionState == 1 ? 204 : 203;
}

void CommRs232Model::FillPorts() {
    std::string remembered = (selectedPort_ >= 0 && selectedPort_ < static_cast<int>(ports_.size()))
                                 ? ports_[selectedPort_]
                                 : std::string();
    ports_ = listPorts_ ? listPorts_() : std::vector<std::string>();
    selectedPort_ =
        remembered.empty() ? (ports_.empty() ? -1 : selectedPort_) : IndexOf(ports_, remembered);
    if (selectedPort_ >= static_cast<int>(ports_.size())) {
        selectedPort_ = -1;
    }
}

void CommRs232Model::Create() {
    FillPorts();
    // The stored texts must match an entry exactly ("115200" is not "115200 ").
    selectedPort_ = IndexOf(ports_, context_.settings.SerialPort());
    selectedBaud_ = IndexOf(baudEntries_, context_.settings.SerialBaudRate());
    std::string node = context_.settings.SerialNodeId();
    if (!node.empty()) {
        nodeId_ = static_cast<int>(ParseDecimalText(node));
    }
    context_.link.SetNodeId(static_cast<uint32_t>(nodeId_));
}

void CommRs232Model::Redraw() {
    if (context_.switches.connectionState != 1) {
        FillPorts();
    }
}

void CommRs232Model::SelectPort(int index) {
    selectedPort_ = (index >= 0 && index < static_cast<int>(ports_.size())) ? index : -1;
    if (context_.switches.connectionState == 1) {
        ConnectionCommands::Close(context_);
    }
}

void CommRs232Model::SelectBaud(int index) {
    selectedBaud_ = (index >= 0 && index < static_cast<int>(baudEntries_.size())) ? index : -1;
    if (context_.switches.connectionState == 1) {
        ConnectionCommands::Close(context_);
    }
}

void CommRs232Model::Toggle() {
    context_.link.SetNodeId(static_cast<uint32_t>(nodeId_));
    if (selectedPort_ < 0 || selectedBaud_ < 0 || context_.session.connectInProgress != 0) {
        return;
    }
    if (context_.switches.connectionState == 1) {
        ConnectionCommands::Close(context_);
    } else {
        context_.link.Load(kModeRs232);
        if (!OpenConnection()) {
            ConnectionCommands::Close(context_);
        }
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
    if (context_.link.Open(&settings) != 0) {
        context_.messageBox.Show(ConnectionTexts::kComOpenFailure);
        return false;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Comm Status: Open  %s  %u", port.c_str(), baud);
    ConnectionCommands::Opened(context_, port, baud, static_cast<uint32_t>(nodeId_), text);
    return true;
}

}  // namespace tarvo
