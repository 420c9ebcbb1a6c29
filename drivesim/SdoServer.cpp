#include "drivesim/SdoServer.h"

#include <algorithm>

#include "protocol/DriveProtocol.h"

namespace tarvo::sim {

namespace {

uint8_t ValueCommand(int widthBytes) {
    const SdoReplyCommand command = widthBytes == 1   ? SdoReplyCommand::Value8
                                    : widthBytes == 2 ? SdoReplyCommand::Value16
                                                      : SdoReplyCommand::Value32;
    return ToByte(command);
}

}  // namespace

SdoReply SdoServer::Handle(const SdoRequest& request) {
    switch (request.command) {
        case ToByte(SdoCommand::Read):
            return Read(request);
        case ToByte(SdoCommand::Write8):
            return Write(request, 1);
        case ToByte(SdoCommand::Write16):
            return Write(request, 2);
        case ToByte(SdoCommand::Write24):
            return Write(request, 3);
        case ToByte(SdoCommand::Write32):
            return Write(request, 4);
        case ToByte(SdoCommand::SegmentToggleClear):
        case ToByte(SdoCommand::SegmentToggleSet):
            return Segment(request);
        default:
            return SdoReply::Abort(request.Key(), AbortCode::kUnknownCommand);
    }
}

SdoReply SdoServer::Read(const SdoRequest& request) {
    uint32_t key = request.Key();
    const SimObject* object = drive_.Find(key);
    if (object == nullptr) {
        return SdoReply::Abort(key, AbortCode::kNoSuchObject);
    }
    if (object->IsNumber()) {
        uint32_t raw = 0;
        uint32_t abort = drive_.Read(key, raw);
        return abort != AbortCode::kNone
                   ? SdoReply::Abort(key, abort)
                   : SdoReply::Expedited(ValueCommand(object->width), key, raw);
    }
    std::string bytes;
    uint32_t abort = drive_.ReadBlock(key, bytes);
    if (abort != AbortCode::kNone) {
        return SdoReply::Abort(key, abort);
    }
    // A new upload replaces one that was left unfinished.
    upload_ = Upload{true, key, std::move(bytes), 0, 0};
    return SdoReply::Expedited(ToByte(SdoReplyCommand::UploadInitiate), key,
                               static_cast<uint32_t>(upload_.bytes.size()));
}

SdoReply SdoServer::Write(const SdoRequest& request, int widthBytes) {
    uint32_t key = request.Key();
    uint32_t held = 0;
    uint32_t abort = drive_.Write(key, widthBytes, request.data, held);
    if (abort != AbortCode::kNone) {
        return SdoReply::Abort(key, abort);
    }
    const SimObject* object = drive_.Find(key);
    return SdoReply::Expedited(ValueCommand(object != nullptr ? object->width : 4), key, held);
}

SdoReply SdoServer::Segment(const SdoRequest& request) {
    uint8_t toggle = (request.command & kSegmentToggleBit) != 0 ? 1 : 0;
    if (!upload_.running) {
        return SdoReply::Abort(request.Key(), AbortCode::kUnknownCommand);
    }
    if (toggle != upload_.toggle) {
        upload_.running = false;
        return SdoReply::Abort(upload_.key, AbortCode::kToggleNotAlternated);
    }
    size_t count = std::min<size_t>(7, upload_.bytes.size() - upload_.offset);
    bool last = upload_.offset + count == upload_.bytes.size();
    SdoReply reply;
    reply.command = SegmentReplyByte(toggle != 0, static_cast<int>(count), last);
    std::copy_n(upload_.bytes.begin() + static_cast<std::ptrdiff_t>(upload_.offset), count,
                reply.bytes);
    upload_.offset += count;
    upload_.toggle ^= 1;
    if (last) {
        upload_.running = false;
    }
    return reply;
}

}  // namespace tarvo::sim
