#include "drivesim/FaultPlan.h"

namespace tarvo::sim {

FaultPlan::Decision FaultPlan::Next() {
    Decision decision;
    decision.exchange = ++exchanges_;
    if (settings_.stopAfter != 0 && exchanges_ > settings_.stopAfter) {
        decision.answer = false;
        return decision;
    }
    decision.answer = !Hits(exchanges_, settings_.dropEvery);
    decision.badChecksum = Hits(exchanges_, settings_.badChecksumEvery);
    decision.stray = Hits(exchanges_, settings_.strayEvery);
    decision.delayUs =
        settings_.turnaroundUs + (Hits(exchanges_, settings_.delayEvery) ? settings_.delayUs : 0);
    decision.closeAfter = settings_.closeAfter != 0 && exchanges_ == settings_.closeAfter;
    return decision;
}

}  // namespace tarvo::sim
