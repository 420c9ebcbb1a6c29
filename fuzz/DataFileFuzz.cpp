// libFuzzer target: any bytes as data/tarvo.dat load in both languages without a crash, or are
// refused with one message; every entry loaded is found by its key (the first of equal keys).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dictionary/DataFileRecord.h"
#include "dictionary/ObjectDictionary.h"
#include "fuzz/MemoryFile.h"
#include "platform/MessageBox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tarvo::fuzz::MemoryFile file(std::string_view(reinterpret_cast<const char*>(data), size));
    for (int language : {1, 2}) {
        tarvo::RecordingMessageBox box;
        tarvo::ObjectDictionary dictionary;
        const bool loaded = dictionary.LoadFile(file.Path(), language, &box);
        if (loaded != box.texts.empty() || box.texts.size() > 1) {
            std::abort();  // a file loads without a message, or is refused with one
        }
        int count = dictionary.EntryCount();
        if (static_cast<size_t>(count) > size / tarvo::DataFileRecord::kSize + 1) {
            std::abort();
        }
        for (int i = 0; i < count; ++i) {
            auto entry = dictionary.EntryAt(i);
            auto found = entry ? dictionary.FindEntry(entry->key) : std::nullopt;
            if (!found || found->key != entry->key || found->index == 0) {
                std::abort();
            }
        }
    }
    return 0;
}
