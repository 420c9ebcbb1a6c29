#include "transfer/ParameterFile.h"

namespace tarvo {

namespace {

// A line the export marked "Fail" is known by an 'i' after its first character, wherever it
// stands in the line.
bool FailedAtExport(std::string_view line) {
    return line.size() > 1 && line.find('i', 1) != std::string_view::npos;
}

}  // namespace

std::string ParameterFile::Format(const std::vector<Line>& lines) {
    std::string text;
    text.reserve(lines.size() * 24);
    for (const Line& line : lines) {
        text += line.word;
        text += ',';
        text += line.value;
        text += ',';
        text += line.result;
        text += "\r\n";
    }
    return text;
}

ParameterFile::LoadResult ParameterFile::Parse(std::string_view text) {
    LoadResult result;
    // A file saved by an editor as UTF-8 may begin with a byte-order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.size() > kMaxLineLength) {
            // The rest of a damaged line would be read as a row of its own.
            result.skipped.push_back({lineNumber, Skip::kTooLong});
            continue;
        }
        if (FailedAtExport(line)) {
            result.skipped.push_back({lineNumber, Skip::kFailedAtExport});
            continue;
        }
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            result.skipped.push_back({lineNumber, Skip::kBlank});
            continue;
        }
        size_t comma = line.find(',');
        if (comma == std::string_view::npos || comma == 0) {
            result.skipped.push_back({lineNumber, Skip::kNoComma});
            continue;
        }
        Loaded row;
        row.word = std::string(line.substr(0, comma));
        size_t second = line.find(',', comma + 1);
        if (second != std::string_view::npos) {
            row.value = std::string(line.substr(comma + 1, second - comma - 1));
        }
        row.line = lineNumber;
        result.rows.push_back(std::move(row));
    }
    return result;
}

std::string ParameterFile::SavePath(const std::string& chosen, std::string_view reportedExtension) {
    std::string path = chosen;
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        path.erase(dot);
    }
    return path + (reportedExtension == "cdi" ? ".cdi" : ".txt");
}

}  // namespace tarvo
