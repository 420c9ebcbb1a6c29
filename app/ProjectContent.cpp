#include "app/ProjectContent.h"

#include <algorithm>
#include <cctype>

#include "platform/TextCase.h"

namespace tarvo {

bool ProjectContent::Put(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    value = Trim(value);
    if (section.empty() || key.empty() || section.find_first_of("[]\r\n") != section.npos ||
        key.find_first_of("=\r\n") != key.npos || value.find_first_of("\r\n") != value.npos) {
        return false;
    }
    auto found = std::find_if(sections_.begin(), sections_.end(), [section](const Section& s) {
        return SameIgnoringCase(s.name, section);
    });
    if (found == sections_.end()) {
        sections_.push_back({std::string(section), {}});
        found = std::prev(sections_.end());
    }
    for (auto& [name, stored] : found->values) {
        if (SameIgnoringCase(name, key)) {
            stored = value;
            return true;
        }
    }
    found->values.emplace_back(key, value);
    return true;
}

std::string ProjectContent::Text() const {
    std::string text;
    for (const Section& section : sections_) {
        if (!text.empty()) {
            text += "\r\n";
        }
        text += "[" + section.name + "]\r\n";
        for (const auto& [key, value] : section.values) {
            text += key + "=" + value + "\r\n";
        }
    }
    return text;
}

}  // namespace tarvo
