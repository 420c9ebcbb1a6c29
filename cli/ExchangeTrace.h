#pragma once

#include <string>

#include "comm/DriveMessage.h"

namespace tarvo {

// The record of a command's exchanges that --trace FILE asks for: one line per transmission,
// the time of day, the request's bytes and the reply's (or why none came), in hexadecimal.
class ExchangeTrace {
public:
    // Adds the line of one transmission; called on the link's worker.
    void Record(const DriveExchange& exchange);
    // Writes the lines to `target` ("-": standard output). An error text, or empty.
    std::string Write(const std::string& target) const;

    const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace tarvo
