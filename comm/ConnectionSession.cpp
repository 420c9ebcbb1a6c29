#include "ConnectionSession.h"

namespace tarvo {

CommSettings ConnectionSession::MakeSettings(const std::string& portName, uint32_t nodeId,
                                             uint32_t rate) {
    CommSettings settings{};
    // Port names are plain ASCII device names of at most 7 characters.
    for (size_t i = 0; i < portName.size() && i < 7; ++i) {
        settings.portName[i] = static_cast<uint8_t>(portName[i]);
    }
    settings.nodeId = nodeId;
    settings.rate = rate;
    settings.replyTimeoutMs = 500;
    return settings;
}

}  // namespace tarvo
