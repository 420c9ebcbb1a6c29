// libFuzzer target: any text as an EDS or DCF gives entries or a message with the file name
// (and line), never a crash; accepted entries always fit a data file, and their EDS reads
// back into as many entries.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dictionary/DictionarySource.h"
#include "dictionary/EdsReader.h"
#include "dictionary/EdsWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    tarvo::EdsContents contents;
    std::string error;
    if (!tarvo::EdsReader::Parse(text, "f.eds", {}, contents, error)) {
        if (error.rfind("f.eds:", 0) != 0 || !contents.entries.empty()) {
            std::abort();
        }
        return 0;
    }
    std::string bytes;
    if (!tarvo::DictionarySource::Encode(contents.entries, bytes, error, "f.eds")) {
        std::abort();  // the reader let through an entry the data file cannot hold
    }
    tarvo::EdsWriter::Settings settings;
    settings.defaultsKnown = true;
    std::string eds;
    if (!tarvo::EdsWriter::Write(contents.entries, settings, eds, error)) {
        std::abort();
    }
    tarvo::EdsContents back;
    if (!tarvo::EdsReader::Parse(eds, "back.eds", {}, back, error) ||
        back.entries.size() != contents.entries.size()) {
        std::abort();
    }
    return 0;
}
