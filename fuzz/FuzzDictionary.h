#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "dictionary/DictionarySource.h"
#include "dictionary/ObjectDictionary.h"
#include "fuzz/FuzzFolder.h"
#include "platform/MessageBox.h"

namespace tarvo::fuzz {

// The drive family's dictionary, built from the source in the repository once per process
// (English texts), so that the keys in panel, project and transfer files name real entries.
inline const ObjectDictionary& FamilyDictionary() {
    static const ObjectDictionary* dictionary = [] {
        std::vector<SourceEntry> entries;
        std::string error;
        std::string bytes;
        if (!DictionarySource::Load(TARVO_SOURCE_DIR "/drivedata/dictionary.json", entries,
                                    error) ||
            !DictionarySource::Encode(entries, bytes, error, "dictionary.json")) {
            std::abort();
        }
        auto* loaded = new ObjectDictionary;
        RecordingMessageBox box;
        if (!loaded->LoadFile(FuzzFolder::Write("data/tarvo.dat", bytes), 2, &box) ||
            loaded->EntryCount() == 0) {
            std::abort();
        }
        return loaded;
    }();
    return *dictionary;
}

}  // namespace tarvo::fuzz
