#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "oscilloscope/CurvePlot.h"

namespace tarvo {

// One channel of the table with time and units.
struct TimeTableColumn {
    int channel = 0;  // 1..4
    std::string name;
    std::string unit;
    std::function<std::string(double raw)> value;  // a raw sample in the unit
};

// The oscilloscope's other export forms and the rule for the chosen file name.
class ScopeExport {
public:
    // The table for other tools: a header line ("time (s)", then "chN NAME (UNIT)" per
    // column), then one line per record: the time of its sample in seconds and each
    // column's value in its unit, an empty cell where the record has none.
    static std::string TimeTable(const std::vector<PlotRecord>& records, int32_t samplePeriod,
                                 const std::vector<TimeTableColumn>& columns);

    // A CSV cell: quoted when it holds a comma, a quote or a line end, its quotes doubled.
    static std::string CsvCell(const std::string& text);

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
