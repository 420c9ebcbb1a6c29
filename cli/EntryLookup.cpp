#include "cli/EntryLookup.h"

#include <cctype>
#include <cstdio>
#include <iostream>
#include <vector>

#include "cli/ArgumentText.h"
#include "platform/MessageBox.h"
#include "platform/TextCase.h"

namespace tarvo {

EntryLookup::EntryLookup(const std::string& programFolder)
    : dataFile_(programFolder + "/data/tarvo.dat") {
    RecordingMessageBox quiet;  // the reason is told by Usable()
    loaded_ = dictionary_.LoadFile(dataFile_, 2, &quiet);
    if (loaded_ && !dictionary_.FactsProblem().empty()) {
        // Without its facts every command works as before; the user learns why names and
        // ranges are missing.
        std::cerr << "tarvoctl: note: " << dictionary_.FactsProblem() << '\n';
    }
}

const EntryFacts* EntryLookup::FactsOf(uint32_t key) const {
    return chinese_ ? chineseFacts_.Find(key) : dictionary_.FactsOf(key);
}

void EntryLookup::UseChineseNames() {
    chinese_ = true;
    // A bad file has been noted when the dictionary loaded it in English.
    chineseFacts_.Load(EntryFactsTable::PathBeside(dataFile_), 1);
}

bool EntryLookup::Usable() const {
    if (!loaded_) {
        std::cerr << "tarvoctl: no dictionary: " << dictionary_.LoadProblem() << '\n';
    }
    return loaded_;
}

std::string EntryLookup::KeyText(uint32_t key) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%02X", key >> 8, key & 0xFF);
    return text;
}

bool EntryLookup::Find(const std::string& text, DictionaryEntry& entry) const {
    uint32_t key = 0;
    if (ArgumentText::ParseAddress(text, key)) {
        if (auto found = dictionary_.FindEntry(key)) {
            entry = *found;
        } else {
            entry = DictionaryEntry{};
            entry.key = key;
            entry.index = static_cast<int32_t>(key >> 8);
            entry.subIndex = static_cast<uint8_t>(key & 0xFF);
        }
        return true;
    }
    if (!loaded_) {
        std::cerr << "tarvoctl: \"" << text
                  << "\" is not an entry key (INDEX:SUB in hexadecimal, e.g. 6041:00), and "
                     "without data/tarvo.dat there are no names\n";
        return false;
    }
    std::string wanted = Lower(text);
    std::vector<DictionaryEntry> exact;
    std::vector<DictionaryEntry> partial;
    for (int i = 0; i < dictionary_.EntryCount(); ++i) {
        auto candidate = dictionary_.EntryAt(i);
        std::string name = Lower(candidate->name);
        if (name == wanted) {
            exact.push_back(*candidate);
        } else if (!wanted.empty() && name.find(wanted) != std::string::npos) {
            partial.push_back(*candidate);
        }
    }
    if (exact.size() == 1) {
        entry = exact[0];
        return true;
    }
    const std::vector<DictionaryEntry>& listed = exact.empty() ? partial : exact;
    if (exact.size() > 1) {
        std::cerr << "tarvoctl: \"" << text << "\" names " << exact.size()
                  << " entries; give the key of one:\n";
    } else if (!partial.empty()) {
        std::cerr << "tarvoctl: no entry is named \"" << text
                  << "\"; entries whose name holds it:\n";
    } else {
        std::cerr << "tarvoctl: \"" << text
                  << "\" is neither an entry key (INDEX:SUB, e.g. 6041:00) nor an entry's name\n";
    }
    for (size_t i = 0; i < listed.size() && i < 20; ++i) {
        std::cerr << "  " << KeyText(listed[i].key) << "  " << listed[i].name << '\n';
    }
    if (listed.size() > 20) {
        std::cerr << "  ... and " << listed.size() - 20 << " more\n";
    }
    return false;
}

}  // namespace tarvo
