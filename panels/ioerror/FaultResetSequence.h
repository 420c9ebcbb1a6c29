#pragma once

#include <cstdint>
#include <functional>

#include "comm/LinkRequester.h"
#include "platform/MessageTarget.h"

namespace tarvo {

// A fault reset through the drive profile's control word 6040h: read the word, write it with
// bit 7 set (cleared first when it was already set, so that the bit rises), then write the
// previous word again without bit 7. Receives its own replies.
class FaultResetSequence : public MessageTarget {
public:
    enum class Outcome { kDone, kRefused };

    explicit FaultResetSequence(LinkRequester& requester) : requester_(requester) {}

    // Starts a reset, abandoning one that waits for a reply that never came.
    void Start();
    bool Running() const { return step_ != Step::kIdle; }
    void SetFinished(std::function<void(Outcome)> finished) { finished_ = std::move(finished); }

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

private:
    enum class Step { kIdle, kReading, kClearing, kRising, kRestoring };

    void Write(Step next, uint32_t word);
    void Finish(Outcome outcome);

    LinkRequester& requester_;
    std::function<void(Outcome)> finished_;
    Step step_ = Step::kIdle;
    uint32_t previous_ = 0;  // the control word without bit 7
};

}  // namespace tarvo
