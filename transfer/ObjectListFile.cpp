#include "transfer/ObjectListFile.h"

#include <cctype>

#include "platform/InputFile.h"
#include "platform/LenientNumber.h"

namespace tarvo {

namespace {

bool HasForeignCharacters(std::string_view piece) {
    for (char c : piece) {
        auto u = static_cast<unsigned char>(c);
        if (!std::isxdigit(u) && c != ' ' && c != '\t' && c != '\r') {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<ObjectListFile::Item> ObjectListFile::Parse(std::string_view text) {
    std::vector<Item> items;
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        bool longLine = line.size() > kPieceLength;
        do {
            std::string_view piece = line.substr(0, kPieceLength);
            line.remove_prefix(piece.size());
            items.push_back(
                {ParseHexText(piece), lineNumber, longLine, HasForeignCharacters(piece)});
        } while (!line.empty());
    }
    return items;
}

std::string ObjectListFile::Read(const std::string& path, std::vector<Item>& items) {
    std::string content;
    std::string error = InputFile::Read(path, content);
    if (error.empty()) {
        items = Parse(content);
    }
    return error;
}

}  // namespace tarvo
