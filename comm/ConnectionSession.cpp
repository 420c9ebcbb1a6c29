#include "comm/ConnectionSession.h"

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

}  // namespace tarvo
