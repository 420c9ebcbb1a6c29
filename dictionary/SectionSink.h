#pragma once

#include <string_view>

namespace tarvo {

// Where the sections of a project being saved gather before the project file is written
// at once. False when the key or value cannot be stored (a line break, an empty name).
class SectionSink {
public:
    virtual ~SectionSink() = default;
    virtual bool Put(std::string_view section, std::string_view key, std::string_view value) = 0;
};

}  // namespace tarvo
