#pragma once

#include <cstdint>

#include "comm/LinkRequester.h"

namespace tarvo::fuzz {

// Stands in for the control link: counts the reads a conversion asks for.
class CountingLink : public LinkRequester {
public:
    int Request(MessageTarget*, SdoCommand, uint32_t, uint32_t) override {
        ++requests;
        return 0;
    }
    int requests = 0;
};

}  // namespace tarvo::fuzz
