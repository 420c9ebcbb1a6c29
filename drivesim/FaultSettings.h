#pragma once

#include <cstdint>

namespace tarvo::sim {

// Faults on demand, for tests and benchmarks. Counts are of exchanges: requests addressed
// to the drive while it is up, starting at 1; "every N" hits exchanges N, 2N, 3N, ...
struct FaultSettings {
    uint32_t lineBaud = 0;          // RS232 line-rate emulation (10 bits a byte); 0 off
    uint32_t turnaroundUs = 0;      // before every reply
    uint32_t dropEvery = 0;         // no reply
    uint32_t badChecksumEvery = 0;  // RS232 reply with a wrong checksum
    uint32_t delayEvery = 0;        // reply held back by delayUs more
    uint32_t delayUs = 0;
    bool echo = false;        // RS232: the request comes back before the reply
    uint32_t splitBytes = 0;  // RS232 reply written in pieces of this many bytes
    uint32_t splitGapUs = 2000;
    uint32_t strayEvery = 0;  // stray bytes (RS232) or frames (CAN) before the reply
    uint32_t strayBytes = 3;
    uint64_t stopAfter = 0;   // silent after this many exchanges
    uint64_t closeAfter = 0;  // port or bus closed after this many exchanges
};

}  // namespace tarvo::sim
