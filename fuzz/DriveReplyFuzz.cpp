// libFuzzer target (built twice: Rs232ReplyFuzz over the serial library, CanReplyFuzz over
// the CAN library): a script of reads, writes and segment requests goes through the drive
// message layer to a drive whose replies (and the line's noise) are the fuzzer's bytes.
// Whatever the drive sends:
// - a value, abort code or segment given to the caller comes from a reply that answers the
//   request (node, object, a plausible command), and from bytes that the reply carried;
// - the segments of an upload never add up to more than the size the drive announced, and
//   the last one completes it exactly; no segment is given for an upload not under way.
#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "comm/DriveMessage.h"
#include "fuzz/DriveWire.h"
#include "platform/MessageBox.h"
#include "protocol/DriveObjects.h"

namespace {

using tarvo::DriveMessage;
using tarvo::ReplyKind;
using tarvo::fuzz::DriveWire;

constexpr int32_t kMode = TARVO_FUZZ_MODE;
constexpr bool kCan = kMode == tarvo::CommLibrary::kCan;

DriveWire& Wire() {
    static DriveWire* wire = [] {
        ::unsetenv("TARVO_CAN_INI");
        std::string path =
            std::string(TARVO_FUZZ_DRIVE_FOLDER) + (kCan ? "/data/libCAN.so" : "/data/libCOM.so");
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        auto wireOf =
            handle ? reinterpret_cast<TarvoFuzzWireFn>(::dlsym(handle, "TarvoFuzzWire")) : nullptr;
        if (wireOf == nullptr) {
            std::abort();
        }
        return wireOf();
    }();
    return *wire;
}

uint32_t Little32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

bool IsValueReply(uint8_t command) {
    return command == 0x4F || command == 0x4B || command == 0x47 || command == 0x43 ||
           command == 0x42;
}

// The replies a request may have, as the drive protocol lists them.
bool Answers(uint8_t request, uint8_t reply) {
    if (reply == 0x80) {
        return true;
    }
    if (request == 0x40) {
        return IsValueReply(reply) || reply == 0x41;
    }
    if ((request & 0xE0) == 0x20) {
        return IsValueReply(reply) || reply == 0x60;
    }
    if (request == 0x60 || request == 0x70) {
        return (reply & 0xE0) == 0 && (reply & 0x10) == (request & 0x10);
    }
    return reply != request;
}

// What the caller knows of an entry's uploads from the replies it was given.
struct UploadState {
    bool active = false;  // a 0x41 announced `size` bytes
    uint32_t size = 0;
    uint32_t delivered = 0;
    uint8_t toggle = 0x60;
    int expedited = 0;  // bytes of the last expedited read, served as one segment
};

// A read answered: 0x41 announces an upload of the size in its data bytes, a value reply
// is served as one segment of its bytes, anything else ends what was under way.
void NoteRead(UploadState& upload, const std::array<uint8_t, 8>& reply) {
    upload = UploadState();
    if (reply[0] == 0x41) {
        upload.active = true;
        upload.size = Little32(reply.data() + 4);
    } else if (IsValueReply(reply[0])) {
        upload.expedited = (reply[0] & 1) != 0 ? 4 - ((reply[0] >> 2) & 3) : 4;
    }
}

// TARVO_FUZZ_TRACE=1 prints every exchange, for reading a finding.
bool Tracing() {
    static const bool tracing = std::getenv("TARVO_FUZZ_TRACE") != nullptr;
    return tracing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DriveWire& wire = Wire();
    wire.Reset(data, size);
    tarvo::RecordingMessageBox box;
    std::atomic<int32_t> transmitRetry{1};
    DriveMessage message(TARVO_FUZZ_DRIVE_FOLDER, box, transmitRetry);
    if (message.Load(kMode) != 1) {
        std::abort();
    }
    const uint8_t node = static_cast<uint8_t>(1 + wire.Byte() % 127);
    message.SetNodeId(node);
    CommSettings settings{};
    settings.nodeId = node;
    settings.rate = kCan ? 0x0014 : 115200;
    settings.replyTimeoutMs = 500;
    if (message.Open(&settings) != 0) {
        std::abort();
    }
    transmitRetry = wire.Byte() % 8 != 0 ? 1 : 0;

    constexpr uint32_t kAddresses[4] = {0x100800, tarvo::DriveObject::kVelocityActualValue,
                                        tarvo::ObjectAddressOf(tarvo::DriveObject::kIoIndex, 1),
                                        tarvo::DriveObject::kTargetPosition};
    std::map<uint32_t, UploadState> uploads;
    for (int step = 0; step < 64 && !wire.Empty(); ++step) {
        uint8_t op = wire.Byte();
        uint32_t address = kAddresses[(op >> 4) & 3];
        UploadState& upload = uploads[address];
        uint8_t command = 0x40;
        uint32_t value = 0;
        switch (op % 8) {
            case 0:
            case 1:
                break;
            case 2: {
                static constexpr uint8_t kWrites[4] = {0x2F, 0x2B, 0x27, 0x23};
                command = kWrites[(op >> 6) & 3];
                value = wire.Byte() | uint32_t{wire.Byte()} << 8 | uint32_t{wire.Byte()} << 16 |
                        uint32_t{wire.Byte()} << 24;
                break;
            }
            case 3:
            case 4:
            case 5:
                command = upload.toggle;
                break;
            case 6:
                command = upload.toggle ^ 0x10;  // the wrong toggle
                break;
            default:
                command = wire.Byte();
                break;
        }
        size_t handedBefore = wire.handed.size();
        if (message.Send(address, static_cast<tarvo::SdoCommand>(command), value) !=
            tarvo::ExchangeResult::Answered) {
            continue;  // a failure for the caller: nothing is taken from the reply
        }
        ReplyKind kind = ReplyKind::kUndecoded;
        uint32_t decoded = 0;
        message.Decode(kind, decoded);
        if (Tracing()) {
            std::fprintf(stderr, "send %02X %06X %08X: kind %d value %08X", command, address, value,
                         static_cast<int>(kind), decoded);
            for (size_t i = handedBefore; i < wire.handed.size(); ++i) {
                const DriveWire::Handed& h = wire.handed[i];
                std::fprintf(stderr, "\n  handed req %02X:", h.requestNode);
                for (uint8_t b : h.request) {
                    std::fprintf(stderr, " %02X", b);
                }
                std::fprintf(stderr, " reply %02X:", h.replyNode);
                for (uint8_t b : h.reply) {
                    std::fprintf(stderr, " %02X", b);
                }
                std::fprintf(stderr, " len %d ok %d", h.length, h.wellFormed);
            }
            std::fprintf(stderr, "\n");
        }
        if (kind == ReplyKind::kUndecoded) {
            // A read answered with a reply the caller is not given a value for (0x47) still
            // starts or ends the entry's upload.
            if (wire.handed.size() > handedBefore && wire.handed.back().request[0] == 0x40) {
                NoteRead(upload, wire.handed.back().reply);
            }
            continue;
        }
        const bool isSegmentRequest = command == 0x60 || command == 0x70;
        if (wire.handed.size() == handedBefore) {
            // Only the segment of an expedited read is served without a reply of its own.
            if (kind != ReplyKind::kSegment || command != 0x60 || upload.expedited == 0) {
                std::abort();
            }
            tarvo::DriveSegment segment = message.GetSegment();
            if (!segment.last || segment.count != upload.expedited) {
                std::abort();
            }
            upload.expedited = 0;
            continue;
        }
        const DriveWire::Handed& reply = wire.handed.back();
        const uint8_t replyCommand = reply.reply[0];
        uint32_t replyAddress =
            uint32_t{reply.request[2]} << 16 | uint32_t{reply.request[1]} << 8 | reply.request[3];
        if (!reply.wellFormed || reply.replyNode != node || reply.requestNode != node ||
            replyAddress != address || !Answers(reply.request[0], replyCommand) ||
            (reply.request[0] != 0x60 && reply.request[0] != 0x70 &&
             std::memcmp(reply.reply.data() + 1, reply.request.data() + 1, 3) != 0)) {
            std::abort();  // given to the caller, though it answers another request
        }
        if (kind == ReplyKind::kAbort) {
            if (replyCommand != 0x80 || decoded != Little32(reply.reply.data() + 4) ||
                reply.length < 8) {
                std::abort();
            }
        } else if (kind == ReplyKind::kValue) {
            // The value is the reply's data bytes, as many as the drive sent.
            int bytes = decoded <= 0xFF ? 1 : decoded <= 0xFFFF ? 2 : 4;
            uint32_t mask = bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1;
            if ((Little32(reply.reply.data() + 4) & mask) != decoded || 4 + bytes > reply.length ||
                isSegmentRequest) {
                std::abort();
            }
        } else if (kind == ReplyKind::kSegment) {
            tarvo::DriveSegment segment = message.GetSegment();
            if (!isSegmentRequest || reply.request[0] != command ||
                std::memcmp(segment.bytes.data(), reply.reply.data() + 1, 7) != 0 ||
                1 + segment.count > reply.length) {
                std::abort();
            }
            // Only an upload under way gives segments, with the toggle it expects, and never
            // more than announced.
            if (!upload.active || command != upload.toggle) {
                std::abort();
            }
            upload.delivered += segment.count;
            upload.toggle ^= 0x10;
            bool ends = segment.last || segment.count < 7;
            if (upload.delivered > upload.size || (ends && upload.delivered != upload.size)) {
                std::abort();
            }
            if (ends) {
                upload = UploadState();
            }
            continue;
        }
        // A read answered (the caller's, or the one that follows a write) starts or ends the
        // entry's upload.
        if (reply.request[0] == 0x40) {
            NoteRead(upload, reply.reply);
        }
    }
    return 0;
}
