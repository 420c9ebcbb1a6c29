#include "comm/ConnectionSession.h"

#include <cstdio>

#include "comm/CanBitRates.h"
#include "comm/PortAlias.h"

namespace tarvo {

CommSettings ConnectionSession::MakeSettings(const std::string& portName, uint32_t nodeId,
                                             uint32_t rate) {
    CommSettings settings{};
    // A name that does not fit the field is never cut (ttyUSB10 is not ttyUSB1): it opens
    // through its short link under dev/ of the program folder, the current directory. A
    // name that cannot be linked stays empty, and the open fails.
    std::string name;
    if (!portName.empty() && PortAlias::ShortName(".", portName, name) != 0) {
        name.clear();
    }
    for (size_t i = 0; i < name.size() && i < 7; ++i) {
        settings.portName[i] = static_cast<uint8_t>(name[i]);
    }
    settings.nodeId = nodeId;
    settings.rate = rate;
    settings.replyTimeoutMs = 500;
    return settings;
}

std::string ConnectionSession::SerialAttempt(const std::string& portName, uint32_t baud,
                                             uint32_t nodeId) {
    return "Tried port " + (portName.empty() ? std::string("(none)") : portName) + " at " +
           std::to_string(baud) + " baud, node ID " + std::to_string(nodeId);
}

std::string ConnectionSession::CanAttempt(uint32_t code, uint32_t nodeId) {
    std::string rate;
    if (auto entry = CanBitRates::EntryOfCode(code)) {
        rate = CanBitRates::EntryText(*entry);
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "bit-rate code 0x%04X", code);
        rate = text;
    }
    return "Tried CAN at " + rate + ", node ID " + std::to_string(nodeId);
}

std::string ConnectionSession::NoDriverText() const {
    std::string text = ConnectionTexts::kNoDriver;
    if (!attemptText.empty()) {
        text += "\n" + attemptText;
    }
    return text;
}

}  // namespace tarvo
