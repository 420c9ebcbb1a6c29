#pragma once

#include <cstdint>

#include "protocol/Rs232Frame.h"

namespace tarvo::serial {

// The bytes a serial port took in since the last request and where the drive's reply
// stands among them. With a 10-byte request frame in flight only its reply counts: stray
// bytes, the request's echo and replies to other requests before it are passed over.
// Without one the first 10 bytes are taken as they are. Knows nothing of the port itself.
class ReplyReceiver {
public:
    static constexpr uint32_t kReplyLength = tarvo::Rs232Frame::kLength;
    static constexpr uint32_t kBufferSize = 32;

    // A new exchange: forgets what came in; a request of 10 bytes is matched (a copy kept).
    void Expect(const uint8_t* request, uint32_t length);
    // Takes bytes as they are (a read without a request).
    void ExpectAnything();
    void Clear();

    // Where the next bytes go and how many fit; a full buffer without a reply starts over.
    uint8_t* Space(uint32_t& room);
    // `count` bytes were put at Space(): true once a reply stands at the front, 10 bytes.
    bool Took(uint32_t count);

    bool Matching() const { return matchReply_; }
    const uint8_t* Bytes() const { return buffer_; }
    uint32_t Count() const { return count_; }

private:
    bool FindReply();

    uint8_t request_[kReplyLength] = {};
    bool matchReply_ = false;
    uint8_t buffer_[kBufferSize] = {};
    uint32_t count_ = 0;
};

}  // namespace tarvo::serial
