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

// The section name of a header line "[name]", or nothing for other lines.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line, kBlanksAndLineEnds);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(1, close - 1), kBlanksAndLineEnds);
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyOf(std::string_view line) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    KeyLine kl{Trim(line.substr(0, eq), kBlanksAndLineEnds),
               Trim(line.substr(eq + 1), kBlanksAndLineEnds)};
    // A value enclosed in matching quotes is given without them.
    if (kl.value.size() >= 2 && (kl.value.front() == '"' || kl.value.front() == '\'') &&
        kl.value.back() == kl.value.front()) {
        kl.value = kl.value.substr(1, kl.value.size() - 2);
    }
    return kl;
}

// Settings and definition files are a few kilobytes; one of megabytes is no such file.
constexpr size_t kProfileLimit = size_t{4} << 20;

// The lines of the file and, in `problem`, what is wrong with it.
std::vector<std::string> ReadLines(const std::string& path, std::string* problem) {
    std::string bytes;
    std::string error = InputFile::Read(path, bytes, kProfileLimit);
    if (!error.empty()) {
        if (problem != nullptr) {
            *problem = error;
        }
        return {};
    }
    if (problem != nullptr) {
        bool utf16 = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                           (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
        if (Trim(bytes, kBlanksAndLineEnds).empty()) {
            *problem = path + " is empty";
        } else if (!utf16 && bytes.find('\0') != std::string::npos) {
            *problem = path +
                       " holds zero bytes: it is binary data or text in a form that is "
                       "not read (UTF-16 without its byte-order mark), not settings text";
        }
    }
    return ProfileFile::DecodeLines(bytes);
}

// Position of the first header line naming the section, or lines.size(). The name is
// trimmed as a header's name is, and as a writer trims it.
size_t FindSection(const std::vector<std::string>& lines, std::string_view section) {
    section = Trim(section, kBlanksAndLineEnds);
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = SectionOf(lines[i]);
        if (name && SameIgnoringCase(*name, section)) {
            return i;
        }
    }
    return lines.size();
}

}  // namespace

ProfileFile ProfileFile::ReadOnce(std::string path) {
    ProfileFile file(std::move(path));
    file.heldLines_ = ReadLines(file.path_, &file.problem_);
    file.held_ = true;
    return file;
}

const std::vector<std::string>& ProfileFile::Lines(std::vector<std::string>& scratch) const {
    if (held_) {
        return heldLines_;
    }
    scratch = ReadLines(path_, nullptr);
    return scratch;
}

std::string ProfileFile::SectionProblem(std::string_view section) const {
    if (!problem_.empty()) {
        return problem_;
    }
    std::vector<std::string> scratch;
    const std::vector<std::string>& lines = Lines(scratch);
    if (FindSection(lines, section) == lines.size()) {
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
    std::string_view result = Trim(defaultValue, kBlanksAndLineEnds);
    std::vector<std::string> scratch;
    const std::vector<std::string>& lines = Lines(scratch);
    size_t at = FindSection(lines, section);
    key = Trim(key, kBlanksAndLineEnds);
    for (size_t i = at + 1; i < lines.size(); ++i) {
        if (SectionOf(lines[i])) {
            break;
        }
        auto kl = KeyOf(lines[i]);
        if (kl && SameIgnoringCase(kl->key, key)) {
            result = kl->value;
            break;
        }
    }
    if (bufferSize == 0) {
        return {};
    }
    return TextCodec::TruncateUtf16(result, bufferSize - 1);
}

std::vector<std::string> ProfileFile::GetKeys(std::string_view section) const {
    std::vector<std::string> keys;
    std::vector<std::string> scratch;
    const std::vector<std::string>& lines = Lines(scratch);
    size_t at = FindSection(lines, section);
    for (size_t i = at + 1; i < lines.size(); ++i) {
        if (SectionOf(lines[i])) {
            break;
        }
        auto kl = KeyOf(lines[i]);
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
        if (SectionOf(lines[i])) {
            break;
        }
        if (auto kl = KeyOf(lines[i])) {
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
