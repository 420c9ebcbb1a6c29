// Measures writing the EDS of the shipped 484-entry dictionary and reading a generated
// 3,000-line EDS into dictionary entries and data-file bytes (the goal is under 50 ms
// each). Prints the best and median of several runs; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "dictionary/DictionarySource.h"
#include "dictionary/EdsReader.h"
#include "dictionary/EdsWriter.h"

using Clock = std::chrono::steady_clock;

namespace {

template <class Work>
void Measure(const char* what, Work work) {
    std::vector<double> ms;
    for (int run = 0; run < 15; ++run) {
        auto start = Clock::now();
        if (!work()) {
            std::printf("%s: failed\n", what);
            return;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s best %7.2f ms  median %7.2f ms  (goal < 50 ms)\n", what, ms.front(),
                ms[ms.size() / 2]);
}

// An EDS of `lines` lines or a little more: VAR objects of eight lines each.
std::string GeneratedEds(int lines) {
    int objects = lines / 8;
    std::string text =
        "[FileInfo]\r\nEDSVersion=4.0\r\n[DeviceInfo]\r\nVendorName=Bench\r\n"
        "[MandatoryObjects]\r\nSupportedObjects=0\r\n[ManufacturerObjects]\r\n"
        "SupportedObjects=" +
        std::to_string(objects) + "\r\n";
    char line[160];
    for (int i = 0; i < objects; ++i) {
        std::snprintf(line, sizeof line, "%d=0x%04X\r\n", i + 1, 0x2000 + i);
        text += line;
    }
    for (int i = 0; i < objects; ++i) {
        std::snprintf(line, sizeof line,
                      "[%04X]\r\nParameterName=Parameter number %d\r\nObjectType=0x7\r\n"
                      "DataType=0x%04X\r\nAccessType=%s\r\nDefaultValue=%d\r\nPDOMapping=%d\r\n"
                      "\r\n",
                      0x2000 + i, i, 5 + i % 3, i % 2 ? "rw" : "ro", i % 200, i % 2);
        text += line;
    }
    return text;
}

}  // namespace

int main() {
    std::vector<tarvo::SourceEntry> entries;
    std::string error;
    if (!tarvo::DictionarySource::Load(TARVO_SOURCE_DICTIONARY, entries, error)) {
        std::printf("%s\n", error.c_str());
        return 1;
    }
    tarvo::EdsWriter::Settings settings;
    settings.fileName = "tarvo.eds";
    settings.defaultsKnown = true;
    std::string eds;
    char label[64];
    std::snprintf(label, sizeof label, "EDS export of %zu entries", entries.size());
    Measure(label, [&] { return tarvo::EdsWriter::Write(entries, settings, eds, error); });

    std::string generated = GeneratedEds(3000);
    int lines = static_cast<int>(std::count(generated.begin(), generated.end(), '\n'));
    std::snprintf(label, sizeof label, "EDS import of %d lines (to data file bytes)", lines);
    Measure(label, [&] {
        tarvo::EdsContents contents;
        std::string bytes;
        return tarvo::EdsReader::Parse(generated, "bench.eds", {}, contents, error) &&
               tarvo::DictionarySource::Encode(contents.entries, bytes, error, "bench.eds");
    });
    return 0;
}
