#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "oscilloscope/CurvePlot.h"

namespace tarvo {

// The oscilloscope's other two export forms and the rule for the chosen file name.
class ScopeExport {
public:
    // The sample table: one line per record, each channel that has a point in it printed
    // "%.0f," in channel order; no header, no length limit.
    static std::string SampleTable(const std::vector<PlotRecord>& records);

    // A Windows device-independent bitmap of 24 bits per pixel: 14-byte file header,
    // 40-byte information header, rows bottom-up padded to 4 bytes. `rgb` holds the rows
    // top-down, three bytes (red, green, blue) a pixel.
    static std::string Bitmap(int width, int height, const std::vector<uint8_t>& rgb);

    // The file name the export writes: the extension is taken off, then the file name is
    // cut at its first "." and the extension put back, so run.1.csv becomes run.csv.
    // Points in folder names stay.
    static std::string NormalisePath(std::string_view path, std::string_view extension);
};

}  // namespace tarvo
