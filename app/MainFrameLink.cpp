#include "app/MainFrameLink.h"

#include <chrono>
#include <cstdio>

#include "comm/CanBitRates.h"
#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "comm/PortAccess.h"
#include "dictionary/FormulaEvaluator.h"
#include "platform/AppSettings.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/MessageTarget.h"
#include "platform/Timer.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {
constexpr std::chrono::milliseconds kBlinkPeriod{1200};
}

MainFrameLink::MainFrameLink(const Context& context, ViewHooks hooks)
    : context_(context), hooks_(std::move(hooks)) {}

void MainFrameLink::Start() {
    context_.link.RegisterMonitor(context_.mainFrame, DriveObject::kStatusWord,
                                  MonitorClass::ReadOnly);
    if (hooks_.showStatus) {
        hooks_.showStatus(ConnectionTexts::kStatusClosed);
    }
    context_.blinkTimer.Start(kBlinkPeriod, true, [this] { TimerTick(); });
}

void MainFrameLink::SelectStateImage(int image) {
    stateImage_ = image;
    if (hooks_.selectStateImage) {
        hooks_.selectStateImage(image);
    }
}

void MainFrameLink::OnLinkValue(uint32_t value, uint32_t address) {
    context_.session.connectInProgress = 0;
    if (address != DriveObject::kStatusWord) {
        // A value the formula evaluator asked for.
        context_.formulas.AcceptReferenceValue(address, static_cast<int32_t>(value));
        return;
    }
    if (driveStatus_ == -1) {
        OnConnectionEvent(1);
    }
    if ((value & 0x08) == 0) {
        if (driveStatus_ != 0) {
            SelectStateImage(kImageNoFault);
        }
        driveStatus_ = 0;
    } else {
        if (driveStatus_ != 1) {
            SelectStateImage(kImageFault);
        }
        driveStatus_ = 1;
    }
}

void MainFrameLink::HandleClosed() {
    driveStatus_ = -1;
    SelectStateImage(kImageNoConnection);
    context_.switches.connectionState = ConnectionState::Closed;
    if (hooks_.showStatus) {
        hooks_.showStatus(ConnectionTexts::kStatusClosed);
    }
    context_.link.Close();
}

void MainFrameLink::OnConnectionEvent(uintptr_t wParam) {
    bool lost = wParam != 1 && live_;
    live_ = wParam == 1;
    if (wParam == 1) {
        context_.switches.connectionState = ConnectionState::Open;
        if (hooks_.showStatus) {
            hooks_.showStatus(context_.session.statusText);
        }
    } else {
        HandleClosed();
    }
    if (hooks_.notifySettingsForms) {
        hooks_.notifySettingsForms(WindowState::ConnectionIconChanged);
    }
    if (context_.session.connectInProgress != 0) {
        context_.messageBox.Show(context_.session.NoDriverText());
        context_.session.connectInProgress = 0;
    }
    if (wParam == 1 && hooks_.broadcast) {
        hooks_.broadcast(WindowState::ConnectionChanged);
    }
    if (lost && hooks_.linkLost) {
        hooks_.linkLost();
    }
}

void MainFrameLink::ToggleConnection() {
    if (context_.session.connectInProgress != 0) {
        return;
    }
    // Both ways of closing run the whole closed handling, so that open settings forms
    // redraw their status icon as well.
    if (context_.switches.connectionState == ConnectionState::Open) {
        context_.switches.connectionState = ConnectionState::Closed;
        OnConnectionEvent(0);
        context_.link.Close();
        return;
    }
    if (Reconnect()) {
        context_.switches.connectionState = ConnectionState::Open;
        context_.session.connectInProgress = 1;
    } else {
        context_.link.Close();
        context_.switches.connectionState = ConnectionState::Closed;
        OnConnectionEvent(0);
    }
}

bool MainFrameLink::Reconnect() {
    switch (context_.session.interfaceMode) {
        case kModeRs232:
            return ReconnectSerial();
        case kModeCan:
            return ReconnectCan();
        default:
            context_.messageBox.Show(ConnectionTexts::kOffline);
            return false;
    }
}

bool MainFrameLink::ReconnectSerial() {
    ConnectionSession& session = context_.session;
    context_.link.Load(kModeRs232);
    std::string port;
    uint32_t baud = 0;
    uint32_t node = 0;
    if (hooks_.rs232FormExists && hooks_.rs232FormExists() && session.openedOnce != 0) {
        port = session.lastPortName;
        baud = session.lastRate;
        node = session.lastNodeId;
    } else {
        baud = ParseDecimalText(context_.settings.SerialBaudRate());
        node = ParseDecimalText(context_.settings.SerialNodeId());
        port = context_.settings.SerialPort();
    }
    context_.link.SetNodeId(node);
    session.attemptText = ConnectionSession::SerialAttempt(port, baud, node);
    CommSettings settings = ConnectionSession::MakeSettings(port, node, baud);
    int32_t opened = context_.link.Open(&settings);
    if (opened != 0) {
        std::string why = opened > 0 ? PortAccess::Explain(PortAccess::DevicePath("", port), opened)
                                     : std::string();
        context_.messageBox.Show(ConnectionTexts::kReconnectComFailure + why);
        return false;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Comm Status: Open  %s  %u", port.c_str(), baud);
    session.statusText = text;
    SelectStateImage(kImageNoFault);
    return true;
}

bool MainFrameLink::ReconnectCan() {
    ConnectionSession& session = context_.session;
    if (context_.link.Load(kModeCan) == 0) {
        session.interfaceMode = kModeOffline;
        context_.link.Load(kModeOffline);
        context_.messageBox.Show(ConnectionTexts::kOffline);
        return false;
    }
    uint32_t code = 0;
    uint32_t node = 0;
    if (hooks_.canFormExists && hooks_.canFormExists() && session.openedOnce != 0) {
        code = session.lastRate;
        node = session.lastNodeId;
    } else {
        code = ParseDecimalText(context_.settings.CanBitRateCode());
        node = ParseDecimalText(context_.settings.CanNodeId());
    }
    context_.link.SetNodeId(node);
    session.attemptText = ConnectionSession::CanAttempt(code, node);
    CommSettings settings = ConnectionSession::MakeSettings(std::string(), node, code);
    if (context_.link.Open(&settings) != 0) {
        context_.messageBox.Show(ConnectionTexts::kReconnectCanFailure);
        return false;
    }
    session.statusText = "Comm Status: " + CanBitRates::OpenText(code);
    SelectStateImage(kImageNoFault);
    return true;
}

void MainFrameLink::TimerTick() {
    if (context_.switches.connectionState == ConnectionState::Open) {
        blink_ = !blink_;
        int driveImage = (driveStatus_ == 1) ? kImageFault : kImageNoFault;
        SelectStateImage(blink_ ? driveImage : kImageNoConnection);
        return;
    }
    // Referenced values are read again after the next connection.
    context_.formulas.ClearConstants();
    SelectStateImage(kImageNoConnection);
}

}  // namespace tarvo
