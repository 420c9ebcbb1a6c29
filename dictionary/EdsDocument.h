#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// One "Name=Value" line of an EDS or DCF section, trimmed, with the line it stands on.
struct EdsKey {
    std::string name;
    std::string value;
    int line = 0;
};

// One "[Name]" section of an EDS or DCF with its keys in file order.
struct EdsSection {
    std::string name;
    int line = 0;
    std::vector<EdsKey> keys;

    // The key of that name (case-insensitive), or nullptr.
    const EdsKey* Find(std::string_view key) const;
};

// The section-and-key layout of an electronic data sheet (CiA 306): "[Section]" headers,
// "Key=Value" lines and ";" comments, CR LF or LF line ends, an optional UTF-8 byte-order
// mark. Texts that are no UTF-8 are taken as Windows-1252. Everything else (binary data,
// a line over 64 KB, a key outside any section, a section or key given twice) is refused
// with the file and line, as "<file>:<line>: <problem>".
class EdsDocument {
public:
    static constexpr size_t kLineLimit = size_t{64} << 10;
    static constexpr size_t kFileLimit = size_t{32} << 20;

    bool Parse(std::string_view text, const std::string& fileName, std::string& error);
    // Reads and parses a file; a missing or oversized file is refused with its name.
    bool Load(const std::string& path, std::string& error);

    // The section of that name (case-insensitive), or nullptr.
    const EdsSection* Find(std::string_view name) const;
    const std::vector<EdsSection>& Sections() const { return sections_; }
    const std::string& FileName() const { return fileName_; }
    // "<file>:<line>: " for messages about the document.
    std::string Where(int line) const;

private:
    std::string fileName_;
    std::vector<EdsSection> sections_;
    std::vector<std::pair<std::string, size_t>> index_;  // upper-case name -> section, sorted
};

}  // namespace tarvo
