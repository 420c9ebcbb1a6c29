#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// A parameter file (.cdi or .txt): one line per row, "object word,value,result" with CR LF,
// for example 60400010,15,True. The export writes it; the import loads it, leaving out the
// rows that failed at export.
class ParameterFile {
public:
    static constexpr size_t kMaxLineLength = 255;

    struct Line {
        std::string word;    // column 1, the object word as text
        std::string value;   // column 2
        std::string result;  // column 3
    };

    struct Loaded {
        std::string word;   // text before the first comma
        std::string value;  // text between the first and second comma, empty without one
        int line = 0;       // from 1
    };

    // kBlank: an empty line or one of blanks only, which holds nothing to read.
    enum class Skip { kFailedAtExport, kNoComma, kTooLong, kBlank };
    struct Skipped {
        int line = 0;
        Skip reason = Skip::kNoComma;
    };

    struct LoadResult {
        std::vector<Loaded> rows;
        std::vector<Skipped> skipped;
    };

    static std::string Format(const std::vector<Line>& lines);
    // True for the reasons that mean a line could not be read (not a blank line, not a row
    // the export marked failed).
    static bool Unreadable(Skip reason) {
        return reason == Skip::kNoComma || reason == Skip::kTooLong;
    }
    static LoadResult Parse(std::string_view text);

    // The name the file is saved under: the chosen path without the extension of its file
    // name, then ".cdi" when the dialog reports the extension "cdi", else ".txt".
    static std::string SavePath(const std::string& chosen, std::string_view reportedExtension);
};

}  // namespace tarvo
