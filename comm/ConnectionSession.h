#pragma once

#include <cstdint>
#include <string>

#include "protocol/CanObjectAbi.h"

namespace tarvo {

// What the connection forms and the main frame share about the connection beyond the
// link's switches. Used on the user-interface thread only.
struct ConnectionSession {
    int32_t interfaceMode = 0;      // 1 offline, 2 RS232, 5 CAN (low byte of "comm")
    int32_t connectInProgress = 0;  // set by an open; cleared by the first reply or failure
    int32_t openedOnce = 0;         // a connection was opened in this run
    std::string lastPortName;       // of the last successful open
    uint32_t lastRate = 0;          // baud rate or CAN bit-rate code
    uint8_t lastNodeId = 0;
    std::string statusText;  // "Comm Status: Open ..." for the status bar
    // What the last open tried, shown under "Not Find Driver! Please Check..." when the
    // drive does not answer it.
    std::string attemptText;

    // The settings record of an open: the port name in UTF-16 units (RS232) or all zero. A
    // full path or a longer name is replaced by its short link (PortAlias).
    static CommSettings MakeSettings(const std::string& portName, uint32_t nodeId, uint32_t rate);
    static std::string SerialAttempt(const std::string& portName, uint32_t baud, uint32_t nodeId);
    static std::string CanAttempt(uint32_t code, uint32_t nodeId);
    // "Not Find Driver! Please Check..." with the attempt on its second line.
    std::string NoDriverText() const;
};

// The interface modes of "comm".
enum : int32_t { kModeOffline = 1, kModeRs232 = 2, kModeCan = 5 };

// Texts of the connection forms and of the main frame's reconnect.
namespace ConnectionTexts {
inline constexpr const char* kStatusClosed = "Comm Status: Closed";
inline constexpr const char* kNoDriver = "Not Find Driver! Please Check...";
inline constexpr const char* kPcanFailure = "Open PCAN_USB failure!!";
inline constexpr const char* kNoComPort = "Must choose a COM port or Baud rate!!";
inline constexpr const char* kNoCanRate = "Must choose a COMM port or Baud rate!!";
inline constexpr const char* kComOpenFailure = "open COM port failure!! \n";
inline constexpr const char* kNoPeakDriver = "Your PC doesn't have Peak CAN-USB driver!! ";
inline constexpr const char* kOffline = "The connecting mode is Offline!!";
inline constexpr const char* kReconnectComFailure =
    "open COM port failure! comm setting might wrong! \n";
inline constexpr const char* kReconnectCanFailure =
    "open CAN port failure! comm setting might wrong! \n";
inline constexpr const char* kCanOpenFailure = "open CAN port failure!! \n";
inline constexpr const char* kStillOpen = "The open connection stays open.";
inline constexpr const char* kNoCanReason = "The CAN library gave no reason.";
}  // namespace ConnectionTexts

}  // namespace tarvo
