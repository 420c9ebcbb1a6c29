#include "can/PcanBitRate.h"

namespace tarvo::canbus {

uint32_t PcanBitRate::BitsPerSecond(uint32_t code) {
    struct Rate {
        uint32_t code;
        uint32_t bitsPerSecond;
    };
    static constexpr Rate kRates[] = {
        {0x0014, 1000000}, {0x0016, 800000}, {0x001C, 500000}, {0x011C, 250000}, {0x031C, 125000},
        {0x432F, 100000},  {0xC34E, 95238},  {0x852B, 83333},  {0x472F, 50000},  {0x1414, 47619},
        {0x8B2F, 33333},   {0x532F, 20000},  {0x672F, 10000},  {0x7F7F, 5000},
    };
    for (const Rate& rate : kRates) {
        if (rate.code == code) {
            return rate.bitsPerSecond;
        }
    }
    return 0;
}

}  // namespace tarvo::canbus
