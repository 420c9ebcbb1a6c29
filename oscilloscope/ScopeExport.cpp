#include "oscilloscope/ScopeExport.h"

#include "oscilloscope/ScopeFormat.h"

namespace tarvo {

namespace {

void Put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8 & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

std::string ScopeExport::SampleTable(const std::vector<PlotRecord>& records) {
    std::string text;
    text.reserve(records.size() * 24);
    for (const PlotRecord& record : records) {
        for (int n = 0; n < 4; ++n) {
            if ((record.mask & (1u << n)) != 0) {
                text += ScopePrintf("%.0f", record.values[n]);
                text += ',';
            }
        }
        text += '\n';
    }
    return text;
}

std::string ScopeExport::CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string ScopeExport::TimeTable(const std::vector<PlotRecord>& records, int32_t samplePeriod,
                                   const std::vector<TimeTableColumn>& columns) {
    std::string text = "time (s)";
    for (const TimeTableColumn& column : columns) {
        text += ',';
        text += CsvCell("ch" + std::to_string(column.channel) + " " + column.name + " (" +
                        column.unit + ")");
    }
    text += '\n';
    for (size_t k = 0; k < records.size(); ++k) {
        // As on the time axis: sample number k (from 1) times the period of 62.5 us units.
        text += ScopePrintf("%.7f", double(k + 1) * samplePeriod * 62.5e-6);
        for (const TimeTableColumn& column : columns) {
            text += ',';
            unsigned bit = 1u << (column.channel - 1);
            if (column.channel >= 1 && column.channel <= 4 && (records[k].mask & bit) != 0) {
                text += CsvCell(
                    column.value(records[k].values[static_cast<size_t>(column.channel - 1)]));
            }
        }
        text += '\n';
    }
    return text;
}

std::string ScopeExport::Bitmap(int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 ||
        rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
        return {};
    }
    const uint32_t bits = 24;
    const uint32_t rowBytes = ((bits * static_cast<uint32_t>(width) + 31) / 32) * 4;
    const uint32_t imageSize = rowBytes * static_cast<uint32_t>(height);
    const uint32_t offset = 54;  // no colour table above 8 bits per pixel
    std::string out;
    out.reserve(offset + imageSize);
    out += "BM";
    Put32(out, offset + imageSize);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, bits);
    for (int i = 0; i < 6; ++i) {
        Put32(out, 0);  // compression, image size, resolutions, colour counts
    }
    for (int row = height - 1; row >= 0; --row) {
        const uint8_t* pixel = rgb.data() + static_cast<size_t>(row) * width * 3;
        for (int x = 0; x < width; ++x, pixel += 3) {
            out.push_back(static_cast<char>(pixel[2]));
            out.push_back(static_cast<char>(pixel[1]));
            out.push_back(static_cast<char>(pixel[0]));
        }
        out.append(rowBytes - static_cast<uint32_t>(width) * 3, '\0');
    }
    return out;
}

std::string ScopeExport::NormalisePath(std::string_view path, std::string_view extension) {
    std::string stem(path);
    std::string suffix = "." + std::string(extension);
    if (!extension.empty() && stem.size() >= suffix.size() &&
        stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0) {
        stem.resize(stem.size() - suffix.size());
    }
    size_t slash = stem.find_last_of('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t point = stem.find('.', nameStart);
    if (point != std::string::npos) {
        stem.resize(point);
    }
    return stem + suffix;
}

}  // namespace tarvo
