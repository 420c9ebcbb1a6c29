#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarvo {

// The sections and keys of a settings file's lines, indexed once so that each lookup costs
// no walk over the file. It answers as a walk over the lines does: the first header naming a
// section holds it (a later header of the same name is never read), names compare with
// their ASCII letters lowered once trimmed, and the first line of a key wins.
class ProfileIndex {
public:
    struct KeyLine {
        std::string_view key;
        std::string_view value;
    };

    ProfileIndex() = default;
    explicit ProfileIndex(const std::vector<std::string>& lines);

    // The section name of a header line "[name]", or nothing for other lines.
    static std::optional<std::string_view> SectionOf(std::string_view line);
    // The trimmed key and value of a "key=value" line, a value in matching quotes given
    // without them; nothing for a line without '='.
    static std::optional<KeyLine> KeyOf(std::string_view line);

    bool HasSection(std::string_view section) const;
    // The value of the key's first line in the section; nothing when either is missing.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
    // Key names of the section in file order (first occurrence of each, empty names left out).
    std::vector<std::string> Keys(std::string_view section) const;

private:
    struct Section {
        std::vector<std::pair<std::string, std::string>> values;  // first line of each key
        std::unordered_map<std::string, size_t> byKey;            // lowered key: its place
    };
    const Section* FindSection(std::string_view section) const;

    std::unordered_map<std::string, Section> sections_;  // by lowered name
};

}  // namespace tarvo
