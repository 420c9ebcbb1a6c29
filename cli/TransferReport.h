#pragma once

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "transfer/ObjectListFile.h"
#include "transfer/ParameterFile.h"

namespace tarvo::TransferReport {

// "6081:00" for the key of an object word.
inline std::string KeyText(uint32_t key) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%02X", key >> 8, key & 0xFF);
    return text;
}

// What loading a parameter file left out, one line each on standard error.
inline void SkippedLines(const std::string& file,
                         const std::vector<ParameterFile::Skipped>& lines) {
    for (const ParameterFile::Skipped& skipped : lines) {
        const char* why = skipped.reason == ParameterFile::Skip::kFailedAtExport
                              ? "the export could not read this entry"
                          : skipped.reason == ParameterFile::Skip::kTooLong
                              ? "longer than 255 characters"
                              : "no object word and comma";
        std::cerr << "tarvoctl: " << file << " line " << skipped.line << " not loaded: " << why
                  << '\n';
    }
}

}  // namespace tarvo::TransferReport
