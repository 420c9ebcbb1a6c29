#pragma once

#include <string>

namespace tarvo {

// The process's current directory.
class WorkingFolder {
public:
    // The current directory, or "." when it cannot be told.
    static std::string Current();
};

}  // namespace tarvo
