#pragma once

#include <cstdint>
#include <string>

namespace tarvo::canbus {

// What the kernel knows of a SocketCAN interface, read over rtnetlink: whether it is up, its
// kind (can for a real adapter such as a PCAN-USB, vcan for a virtual bus) and its bit rate.
struct CanLinkInfo {
    bool exists = false;
    bool up = false;
    std::string kind;
    uint32_t bitRate = 0;  // 0 when the interface has no bit timing (vcan) or none is set

    // False with the reason when the kernel could not be asked.
    static bool Query(const std::string& interface, CanLinkInfo& info, std::string& error);
};

}  // namespace tarvo::canbus
