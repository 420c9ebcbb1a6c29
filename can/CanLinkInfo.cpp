#include "can/CanLinkInfo.h"

#include <linux/can/netlink.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvo::canbus {

namespace {

void ParseLinkInfo(const rtattr* nested, int length, CanLinkInfo& info) {
    for (const rtattr* attribute = static_cast<const rtattr*>(RTA_DATA(nested));
         RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == IFLA_INFO_KIND) {
            info.kind.assign(
                static_cast<const char*>(RTA_DATA(attribute)),
                strnlen(static_cast<const char*>(RTA_DATA(attribute)), RTA_PAYLOAD(attribute)));
        } else if (attribute->rta_type == IFLA_INFO_DATA) {
            int dataLength = static_cast<int>(RTA_PAYLOAD(attribute));
            for (const rtattr* data = static_cast<const rtattr*>(RTA_DATA(attribute));
                 RTA_OK(data, dataLength); data = RTA_NEXT(data, dataLength)) {
                if (data->rta_type == IFLA_CAN_BITTIMING &&
                    RTA_PAYLOAD(data) >= sizeof(can_bittiming)) {
                    can_bittiming timing;
                    std::memcpy(&timing, RTA_DATA(data), sizeof timing);
                    info.bitRate = timing.bitrate;
                }
            }
        }
    }
}

}  // namespace

bool CanLinkInfo::Query(const std::string& interface, CanLinkInfo& info, std::string& error) {
    info = CanLinkInfo();
    unsigned index = ::if_nametoindex(interface.c_str());
    if (index == 0) {
        return true;
    }
    info.exists = true;
    int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0) {
        error =
            std::string("cannot ask the kernel about ") + interface + ": " + std::strerror(errno);
        return false;
    }
    struct {
        nlmsghdr header;
        ifinfomsg link;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = 1;
    request.link.ifi_family = AF_UNSPEC;
    request.link.ifi_index = static_cast<int>(index);
    timeval timeout{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (::send(fd, &request, request.header.nlmsg_len, 0) < 0) {
        error =
            std::string("cannot ask the kernel about ") + interface + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    alignas(nlmsghdr) char buffer[32768];
    ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
    ::close(fd);
    if (count <= 0) {
        error = "the kernel did not tell about " + interface;
        return false;
    }
    int left = static_cast<int>(count);
    for (const nlmsghdr* message = reinterpret_cast<const nlmsghdr*>(buffer);
         NLMSG_OK(message, static_cast<unsigned>(left)); message = NLMSG_NEXT(message, left)) {
        if (message->nlmsg_type == NLMSG_ERROR) {
            const nlmsgerr* failure = static_cast<const nlmsgerr*>(NLMSG_DATA(message));
            error = "the kernel did not tell about " + interface + ": " +
                    std::strerror(-failure->error);
            return false;
        }
        if (message->nlmsg_type != RTM_NEWLINK) {
            continue;
        }
        const ifinfomsg* link = static_cast<const ifinfomsg*>(NLMSG_DATA(message));
        info.up = (link->ifi_flags & IFF_UP) != 0;
        int attributesLength = static_cast<int>(IFLA_PAYLOAD(message));
        for (const rtattr* attribute = IFLA_RTA(link); RTA_OK(attribute, attributesLength);
             attribute = RTA_NEXT(attribute, attributesLength)) {
            if (attribute->rta_type == IFLA_LINKINFO) {
                ParseLinkInfo(attribute, static_cast<int>(RTA_PAYLOAD(attribute)), info);
            }
        }
        return true;
    }
    error = "the kernel did not tell about " + interface;
    return false;
}

}  // namespace tarvo::canbus
