#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ProfileIndex.h"

namespace tarvo {

// A settings file of sections and "key=value" lines, read and written with the rules of
// the Windows profile functions: section and key names compare case-insensitively, names
// and values are trimmed, the first match wins and a value is cut to the caller's buffer.
// The file is read anew on every call, so a value written by another part of the program
// (or another process) is seen at once.
class ProfileFile {
public:
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    // A definition file read once: lookups answer from that reading, and Problem() says
    // what was wrong with the file (it could not be read, was empty, was no settings text),
    // empty when nothing was. A file far larger than any settings file is never read.
    static ProfileFile ReadOnce(std::string path);
    // The same for a file whose bytes the caller has read: nothing is read again.
    static ProfileFile FromContent(std::string path, std::string_view bytes);

    const std::string& Path() const { return path_; }
    const std::string& Problem() const { return problem_; }
    // Problem(), else that the section is missing or holds no keys; empty when it has keys.
    std::string SectionProblem(std::string_view section) const;

    // The value of key in section, or defaultValue when either is missing. At most
    // bufferSize - 1 UTF-16 units are returned, as a buffer of bufferSize characters holds.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, size_t bufferSize) const;

    // Key names of a section in file order (first occurrence of each).
    std::vector<std::string> GetKeys(std::string_view section) const;

    // Replaces the key's line in place, or appends it to its section, or appends a new
    // section. The file is created when missing and replaced atomically; false when it
    // cannot be written (the old file is then left as it was).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    struct KeyValue {
        std::string key;
        std::string value;
    };
    // Writes several keys of one section with a single replacement of the file, with the
    // result of writing them one by one in order. When one of them cannot be written
    // (a line break, an empty key), nothing is written and the result is false.
    bool WriteStrings(std::string_view section, const std::vector<KeyValue>& values);

    // Decodes the bytes of a settings file into lines: UTF-8 with or without BOM, UTF-16
    // with its BOM, else GBK.
    static std::vector<std::string> DecodeLines(std::string_view bytes);

private:
    std::string path_;
    bool held_ = false;
    ProfileIndex heldIndex_;
    std::string problem_;
};

}  // namespace tarvo
