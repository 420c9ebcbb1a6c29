#pragma once

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "transfer/ImportDrvDataModel.h"
#include "transfer/ParameterFile.h"

namespace tarvo::TransferReport {

// "6081:00" for the key of an object word.
inline std::string KeyText(uint32_t key) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%02X", key >> 8, key & 0xFF);
    return text;
}

// The warnings about the lines of one input file, on standard error: the first few, then how
// many more there were, so that a damaged or foreign file cannot flood the terminal.
class LineWarnings {
public:
    static constexpr int kShown = 10;

    explicit LineWarnings(std::string file) : file_(std::move(file)) {}
    LineWarnings(const LineWarnings&) = delete;
    LineWarnings& operator=(const LineWarnings&) = delete;
    ~LineWarnings() {
        if (count_ > kShown) {
            std::cerr << "tarvoctl: " << file_ << ": " << count_ - kShown
                      << " more lines like these\n";
        }
    }

    void Add(int line, const std::string& why) {
        if (++count_ <= kShown) {
            std::cerr << "tarvoctl: " << file_ << " line " << line << ": " << why << '\n';
        }
    }

private:
    std::string file_;
    int count_ = 0;
};

// Checks a loaded parameter file before anything is sent: every line that is neither blank nor
// a row the export marked failed must be a row that can be written as it stands. Reports each
// problem with its line; false when there is one, or when the file holds no row at all.
inline bool CheckParameterRows(const std::string& file, const ImportDrvDataModel& model) {
    int bad = 0;
    {
        LineWarnings warnings(file);
        for (const ParameterFile::Skipped& skipped : model.SkippedLines()) {
            switch (skipped.reason) {
                case ParameterFile::Skip::kBlank:
                    break;
                case ParameterFile::Skip::kFailedAtExport:
                    warnings.Add(skipped.line, "not loaded: the export could not read this entry");
                    break;
                case ParameterFile::Skip::kTooLong:
                    ++bad;
                    warnings.Add(skipped.line, "longer than 255 characters, no parameter row");
                    break;
                case ParameterFile::Skip::kNoComma:
                    ++bad;
                    warnings.Add(skipped.line, "no parameter row (object word,value)");
                    break;
            }
        }
        for (const ImportDrvDataModel::Row& row : model.Rows()) {
            std::string problem = model.RowProblem(row);
            if (!problem.empty()) {
                ++bad;
                warnings.Add(row.line, row.wordText + ": " + problem);
            }
        }
    }
    if (bad > 0) {
        std::cerr << "tarvoctl: " << file << ": " << bad << (bad == 1 ? " line" : " lines")
                  << " cannot be used; nothing was sent to the drive\n";
        return false;
    }
    if (model.Rows().empty()) {
        std::cerr << "tarvoctl: " << file
                  << " holds no parameter row (object word,value); nothing was sent\n";
        return false;
    }
    return true;
}

}  // namespace tarvo::TransferReport
