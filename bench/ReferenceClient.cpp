// The plainest client of the drive's RS232 protocol, the yardstick of the link benchmarks:
// open the port, write a request frame, read the ten bytes of its reply, go on. No queue,
// no thread, no retry. Reads a list of entries, or uploads one entry segment by segment,
// and prints the exchanges, the bytes uploaded and the milliseconds taken.
//   reference_client PORT NODE read IIII:SS...
//   reference_client PORT NODE upload IIII:SS
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "protocol/DriveProtocol.h"
#include "protocol/Rs232Frame.h"

namespace {

int port = -1;
uint8_t node = 1;

// One exchange; false when no well-formed reply came within a second.
bool Exchange(uint8_t command, uint32_t address, tarvo::Rs232Frame::Fields& reply) {
    auto frame = tarvo::Rs232Frame::Encode(node, command, address, 0);
    if (::write(port, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
        return false;
    }
    uint8_t bytes[tarvo::Rs232Frame::kLength];
    for (size_t got = 0; got < sizeof bytes;) {
        pollfd wait{port, POLLIN, 0};
        ssize_t n =
            ::poll(&wait, 1, 1000) == 1 ? ::read(port, bytes + got, sizeof bytes - got) : -1;
        if (n <= 0) {
            return false;
        }
        got += static_cast<size_t>(n);
    }
    auto fields = tarvo::Rs232Frame::Decode(bytes);
    if (!fields) {
        return false;
    }
    reply = *fields;
    return true;
}

uint32_t Address(const char* text) {
    unsigned index = 0, sub = 0;
    std::sscanf(text, "%x:%x", &index, &sub);
    return index << 8 | sub;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: reference_client PORT NODE read|upload IIII:SS...\n");
        return 2;
    }
    port = ::open(argv[1], O_RDWR | O_NOCTTY);
    termios raw{};
    if (port < 0 || ::tcgetattr(port, &raw) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    ::cfmakeraw(&raw);
    ::cfsetspeed(&raw, B115200);
    ::tcsetattr(port, TCSANOW, &raw);
    node = static_cast<uint8_t>(std::atoi(argv[2]));
    const std::string mode = argv[3];
    auto start = std::chrono::steady_clock::now();
    int exchanges = 0;
    size_t uploaded = 0;
    tarvo::Rs232Frame::Fields reply;
    if (mode == "read") {
        for (int i = 4; i < argc; ++i, ++exchanges) {
            if (!Exchange(tarvo::ToByte(tarvo::SdoCommand::Read), Address(argv[i]), reply)) {
                std::fprintf(stderr, "reference_client: no reply to %s\n", argv[i]);
                return 1;
            }
        }
    } else {
        uint32_t address = Address(argv[4]);
        bool ok = Exchange(tarvo::ToByte(tarvo::SdoCommand::Read), address, reply) &&
                  reply.command == tarvo::ToByte(tarvo::SdoReplyCommand::UploadInitiate);
        const uint32_t announced = reply.data;
        ++exchanges;
        for (bool toggle = false, last = !ok; !last; toggle = !toggle, ++exchanges) {
            auto command = toggle ? tarvo::SdoCommand::SegmentToggleSet
                                  : tarvo::SdoCommand::SegmentToggleClear;
            // A segment reply has 000 in its top three bits and echoes the toggle.
            ok = Exchange(tarvo::ToByte(command), address, reply) && (reply.command & 0xE0) == 0 &&
                 ((reply.command & tarvo::kSegmentToggleBit) != 0) == toggle;
            last = !ok || (reply.command & tarvo::kSegmentLastBit) != 0;
            uploaded += ok ? tarvo::SegmentByteCount(reply.command) : 0;
        }
        if (!ok || uploaded != announced) {
            std::fprintf(stderr, "reference_client: the upload of %s failed\n", argv[4]);
            return 1;
        }
    }
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d exchanges, %zu bytes, %.1f ms\n", exchanges, uploaded, ms);
    return 0;
}
