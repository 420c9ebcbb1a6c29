#include "dictionary/EdsDocument.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "platform/InputFile.h"
#include "platform/TextCodec.h"

namespace tarvo {

namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// A control character other than tab in a line marks a file that is no text.
int BinaryByte(std::string_view line) {
    for (char c : line) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            return byte;
        }
    }
    return -1;
}

}  // namespace

const EdsKey* EdsSection::Find(std::string_view key) const {
    for (const EdsKey& k : keys) {
        if (SameName(k.name, key)) {
            return &k;
        }
    }
    return nullptr;
}

std::string EdsDocument::Where(int line) const {
    return fileName_ + ":" + std::to_string(line) + ": ";
}

bool EdsDocument::Load(const std::string& path, std::string& error) {
    std::string text;
    error = InputFile::Read(path, text, kFileLimit);
    if (!error.empty()) {
        return false;
    }
    return Parse(text, path, error);
}

bool EdsDocument::Parse(std::string_view text, const std::string& fileName, std::string& error) {
    fileName_ = fileName;
    sections_.clear();
    index_.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::unordered_map<std::string, int> lineOfSection;
    int lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        ++lineNumber;
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.size() > kLineLimit) {
            error = Where(lineNumber) + "the line is longer than 64 KB (" +
                    std::to_string(line.size()) + " bytes); this is no EDS";
            return false;
        }
        if (int byte = BinaryByte(line); byte >= 0) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", byte);
            error =
                Where(lineNumber) + "the line holds binary data (byte " + hex + "); this is no EDS";
            return false;
        }
        std::string_view trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == ';') {
            continue;
        }
        std::string decoded = TextCodec::IsValidUtf8(trimmed)
                                  ? std::string(trimmed)
                                  : TextCodec::Windows1252ToUtf8(trimmed);
        std::string_view content = decoded;
        if (content.front() == '[') {
            size_t close = content.find(']');
            std::string_view name = close == std::string_view::npos
                                        ? std::string_view()
                                        : Trim(content.substr(1, close - 1));
            if (name.empty() || !Trim(content.substr(close + 1)).empty()) {
                error = Where(lineNumber) + "a section header must read [Name]";
                return false;
            }
            auto [seen, added] = lineOfSection.emplace(Upper(name), lineNumber);
            if (!added) {
                error = Where(lineNumber) + "section [" + std::string(name) +
                        "] is already on line " + std::to_string(seen->second);
                return false;
            }
            sections_.push_back({std::string(name), lineNumber, {}});
            continue;
        }
        size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            error = Where(lineNumber) + "expected Name=Value or [Section]";
            return false;
        }
        if (sections_.empty()) {
            error = Where(lineNumber) + "a key before the first section";
            return false;
        }
        std::string_view name = Trim(content.substr(0, equals));
        if (name.empty()) {
            error = Where(lineNumber) + "a key without a name";
            return false;
        }
        EdsSection& section = sections_.back();
        if (const EdsKey* earlier = section.Find(name)) {
            error = Where(lineNumber) + "key " + std::string(name) + " of [" + section.name +
                    "] is already on line " + std::to_string(earlier->line);
            return false;
        }
        // Long sections hold few keys each; the quadratic look-up above stays small.
        section.keys.push_back(
            {std::string(name), std::string(Trim(content.substr(equals + 1))), lineNumber});
    }
    index_.reserve(sections_.size());
    for (size_t i = 0; i < sections_.size(); ++i) {
        index_.emplace_back(Upper(sections_[i].name), i);
    }
    std::sort(index_.begin(), index_.end());
    return true;
}

const EdsSection* EdsDocument::Find(std::string_view name) const {
    std::string key = Upper(name);
    auto it = std::lower_bound(index_.begin(), index_.end(), key,
                               [](const auto& a, const std::string& b) { return a.first < b; });
    return it != index_.end() && it->first == key ? &sections_[it->second] : nullptr;
}

}  // namespace tarvo
