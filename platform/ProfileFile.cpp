#include "platform/ProfileFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <unordered_map>

#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "platform/TextCase.h"
#include "platform/TextCodec.h"

namespace tarvo {

namespace {

// Settings and definition files are a few kilobytes; one of megabytes is no such file.
constexpr size_t kProfileLimit = size_t{4} << 20;

// What is wrong with the bytes of a settings file; empty when nothing is.
std::string ContentProblem(const std::string& path, std::string_view bytes) {
    bool utf16 = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                       (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
    if (Trim(bytes, kBlanksAndLineEnds).empty()) {
        return path + " is empty";
    }
    if (!utf16 && bytes.find('\0') != std::string::npos) {
        return path +
               " holds zero bytes: it is binary data or text in a form that is "
               "not read (UTF-16 without its byte-order mark), not settings text";
    }
    return {};
}

// The lines of the file; nothing when it cannot be read.
std::vector<std::string> ReadLines(const std::string& path) {
    std::string bytes;
    if (!InputFile::Read(path, bytes, kProfileLimit).empty()) {
        return {};
    }
    return ProfileFile::DecodeLines(bytes);
}

// Position of the first header line naming the section, or lines.size(). The name is
// trimmed as a header's name is, and as a writer trims it.
size_t FindSection(const std::vector<std::string>& lines, std::string_view section) {
    section = Trim(section, kBlanksAndLineEnds);
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = ProfileIndex::SectionOf(lines[i]);
        if (name && SameIgnoringCase(*name, section)) {
            return i;
        }
    }
    return lines.size();
}

}  // namespace

ProfileFile ProfileFile::ReadOnce(std::string path) {
    std::string bytes;
    std::string error = InputFile::Read(path, bytes, kProfileLimit);
    if (!error.empty()) {
        ProfileFile file(std::move(path));
        file.held_ = true;
        file.problem_ = error;
        return file;
    }
    return FromContent(std::move(path), bytes);
}

ProfileFile ProfileFile::FromContent(std::string path, std::string_view bytes) {
    ProfileFile file(std::move(path));
    file.problem_ = ContentProblem(file.path_, bytes);
    file.heldIndex_ = ProfileIndex(DecodeLines(bytes));
    file.held_ = true;
    return file;
}

std::string ProfileFile::SectionProblem(std::string_view section) const {
    if (!problem_.empty()) {
        return problem_;
    }
    bool found = held_ ? heldIndex_.HasSection(section) : [&] {
        std::vector<std::string> lines = ReadLines(path_);
        return FindSection(lines, section) != lines.size();
    }();
    if (!found) {
        return path_ + " has no [" + std::string(section) + "] section";
    }
    if (GetKeys(section).empty()) {
        return path_ + ": section [" + std::string(section) + "] holds no entries";
    }
    return {};
}

std::vector<std::string> ProfileFile::DecodeLines(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    std::string text;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        // Windows writes profile files in UTF-16 with a byte-order mark and reads them so.
        text = TextCodec::Utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFE');
    } else {
        text = TextCodec::IsValidUtf8(bytes) ? std::string(bytes) : TextCodec::GbkToUtf8(bytes);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            if (start < text.size()) {
                lines.push_back(text.substr(start));
            }
            break;
        }
        size_t len = end - start;
        if (len > 0 && text[end - 1] == '\r') {
            --len;
        }
        lines.push_back(text.substr(start, len));
        start = end + 1;
    }
    return lines;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue, size_t bufferSize) const {
    if (bufferSize == 0) {
        return {};
    }
    std::string_view result = Trim(defaultValue, kBlanksAndLineEnds);
    if (held_) {
        result = heldIndex_.Find(section, key).value_or(result);
        return TextCodec::TruncateUtf16(result, bufferSize - 1);
    }
    // Read afresh: a walk over the file's lines as they are now.
    std::vector<std::string> lines = ReadLines(path_);
    size_t at = FindSection(lines, section);
    key = Trim(key, kBlanksAndLineEnds);
    for (size_t i = at + 1; i < lines.size(); ++i) {
        if (ProfileIndex::SectionOf(lines[i])) {
            break;
        }
        auto kl = ProfileIndex::KeyOf(lines[i]);
        if (kl && SameIgnoringCase(kl->key, key)) {
            result = kl->value;
            break;
        }
    }
    return TextCodec::TruncateUtf16(result, bufferSize - 1);
}

std::vector<std::string> ProfileFile::GetKeys(std::string_view section) const {
    if (held_) {
        return heldIndex_.Keys(section);
    }
    std::vector<std::string> keys;
    std::vector<std::string> lines = ReadLines(path_);
    size_t at = FindSection(lines, section);
    for (size_t i = at + 1; i < lines.size(); ++i) {
        if (ProfileIndex::SectionOf(lines[i])) {
            break;
        }
        auto kl = ProfileIndex::KeyOf(lines[i]);
        if (!kl || kl->key.empty()) {
            continue;
        }
        bool seen = std::any_of(keys.begin(), keys.end(),
                                [&](const std::string& k) { return SameIgnoringCase(k, kl->key); });
        if (!seen) {
            keys.emplace_back(kl->key);
        }
    }
    return keys;
}

bool ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    return WriteStrings(section, {{std::string(key), std::string(value)}});
}

bool ProfileFile::WriteStrings(std::string_view section, const std::vector<KeyValue>& values) {
    section = Trim(section, kBlanksAndLineEnds);
    // A zero byte ends a line's text when the file is read again, like a line break.
    if (section.empty() || section.find_first_of(std::string_view("[]\r\n\0", 5)) != section.npos) {
        return false;
    }
    for (const KeyValue& kv : values) {
        std::string_view key = Trim(kv.key, kBlanksAndLineEnds);
        if (key.empty() || key.find_first_of(std::string_view("=\r\n\0", 4)) != key.npos ||
            kv.value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            return false;
        }
    }
    std::string bytes;
    struct stat st {};
    bool exists = ::stat(path_.c_str(), &st) == 0;
    if (exists && !InputFile::Read(path_, bytes, kProfileLimit).empty()) {
        return false;  // never replace a file we could not read
    }
    std::vector<std::string> lines = DecodeLines(bytes);
    size_t at = FindSection(lines, section);
    if (at == lines.size()) {
        if (!lines.empty() && !Trim(lines.back(), kBlanksAndLineEnds).empty()) {
            lines.emplace_back();
        }
        lines.push_back("[" + std::string(section) + "]");
        at = lines.size() - 1;
    }
    // The first line of each key in the section (a later duplicate is never read), and the
    // last non-blank line, after which new keys go.
    std::unordered_map<std::string, size_t> keyLines;
    size_t lastKeyLine = at;
    for (size_t i = at + 1; i < lines.size(); ++i) {
        if (ProfileIndex::SectionOf(lines[i])) {
            break;
        }
        if (auto kl = ProfileIndex::KeyOf(lines[i])) {
            keyLines.try_emplace(Lower(kl->key), i);
        }
        if (!Trim(lines[i], kBlanksAndLineEnds).empty()) {
            lastKeyLine = i;
        }
    }
    std::vector<std::string> added;
    std::unordered_map<std::string, size_t> addedKeys;
    for (const KeyValue& kv : values) {
        std::string key(Trim(kv.key, kBlanksAndLineEnds));
        std::string newLine = key + "=" + std::string(Trim(kv.value, kBlanksAndLineEnds));
        std::string lower = Lower(key);
        if (auto it = keyLines.find(lower); it != keyLines.end()) {
            lines[it->second] = std::move(newLine);
        } else if (auto a = addedKeys.find(lower); a != addedKeys.end()) {
            added[a->second] = std::move(newLine);
        } else {
            addedKeys.emplace(lower, added.size());
            added.push_back(std::move(newLine));
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastKeyLine + 1),
                 std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    std::string content;
    for (const std::string& line : lines) {
        content += line;
        content += "\r\n";
    }
    // The settings folder may not exist yet on a first start.
    size_t slash = path_.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        ::mkdir(path_.substr(0, slash).c_str(), 0755);
    }
    return AtomicFile::Write(path_, content).empty();
}

}  // namespace tarvo
