#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionary/SectionSink.h"

namespace tarvo {

// A project file being saved, held in memory: sections and keys in the order they were
// first written, a key written again replaced in place (names compare case-insensitively
// and are trimmed, as in every settings file). Text() gives the whole file.
class ProjectContent : public SectionSink {
public:
    bool Put(std::string_view section, std::string_view key, std::string_view value) override;

    // "[section]" and "key=value" lines with CR LF, a blank line between sections.
    std::string Text() const;
    bool Empty() const { return sections_.empty(); }

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
    };

    std::vector<Section> sections_;
};

}  // namespace tarvo
