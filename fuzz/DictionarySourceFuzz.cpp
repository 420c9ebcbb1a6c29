// libFuzzer target: any text as the dictionary source gives entries or a message with file
// and line, never a crash; a data file built from accepted entries loads every one of them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "dictionary/DictionarySource.h"
#include "dictionary/ObjectDictionary.h"
#include "fuzz/MemoryFile.h"
#include "platform/MessageBox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<tarvo::SourceEntry> entries;
    std::string error;
    if (!tarvo::DictionarySource::Parse(text, "f.json", entries, error)) {
        if (error.rfind("f.json:", 0) != 0) {
            std::abort();
        }
        return 0;
    }
    std::string bytes;
    if (!tarvo::DictionarySource::Encode(entries, bytes, error, "f.json")) {
        return 0;
    }
    tarvo::fuzz::MemoryFile file(bytes);
    tarvo::RecordingMessageBox box;
    tarvo::ObjectDictionary dictionary;
    dictionary.LoadFile(file.Path(), 2, &box);
    if (static_cast<size_t>(dictionary.EntryCount()) != entries.size()) {
        std::abort();  // a build that reports entries the data file does not hold
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        auto entry = dictionary.EntryAt(static_cast<int>(i));
        if (entry->index != static_cast<int32_t>(std::stoul(entries[i].index, nullptr, 16)) ||
            entry->subIndex != std::stoul(entries[i].subIndex, nullptr, 16)) {
            std::abort();
        }
    }
    return 0;
}
