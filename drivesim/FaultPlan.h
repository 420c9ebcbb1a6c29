#pragma once

#include <cstdint>

#include "drivesim/FaultSettings.h"

namespace tarvo::sim {

// Decides, exchange by exchange, which of the configured faults hit the reply.
class FaultPlan {
public:
    struct Decision {
        uint64_t exchange = 0;
        bool answer = true;
        bool badChecksum = false;
        bool stray = false;
        uint64_t delayUs = 0;
        bool closeAfter = false;  // the port closes once this reply is out
    };

    explicit FaultPlan(const FaultSettings& settings) : settings_(settings) {}

    Decision Next();
    const FaultSettings& Settings() const { return settings_; }
    uint64_t Exchanges() const { return exchanges_; }

private:
    static bool Hits(uint64_t count, uint64_t every) { return every != 0 && count % every == 0; }

    FaultSettings settings_;
    uint64_t exchanges_ = 0;
};

}  // namespace tarvo::sim
