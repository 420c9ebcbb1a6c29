// libFuzzer target: any bytes as a settings, panel definition or project file read without
// a crash; a value written into such a file is read back as written and every other key
// keeps its value.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzFolder.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "platform/TextCase.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tarvo::fuzz::FuzzFolder::Path() + "/p.ini";
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!tarvo::AtomicFile::Write(path, bytes).empty()) {
        return 0;
    }
    tarvo::ProfileFile file(path);
    std::vector<std::string> lines = tarvo::ProfileFile::DecodeLines(bytes);
    std::string section = "s";
    for (const std::string& line : lines) {
        if (line.size() > 2 && line.front() == '[' && line.find(']') != std::string::npos) {
            section = line.substr(1, line.find(']') - 1);
            break;
        }
    }
    // The program writes only section names of printable ASCII characters.
    for (char c : section) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
            return 0;
        }
    }
    std::vector<std::string> keys = file.GetKeys(section);
    std::vector<std::string> before;
    for (const std::string& key : keys) {
        before.push_back(file.GetString(section, key, "", 4096));
    }
    if (!file.WriteStrings(section, {{"fuzzkey", "v 1"}, {"num", "2"}})) {
        return 0;  // a section name the format cannot hold
    }
    if (file.GetString(section, "fuzzkey", "", 64) != "v 1" ||
        file.GetString(section, "num", "", 64) != "2") {
        std::abort();
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        std::string lower = tarvo::Lower(keys[i]);
        bool written = lower == "fuzzkey" || lower == "num";
        if (!written && file.GetString(section, keys[i], "", 4096) != before[i]) {
            std::abort();
        }
    }
    return 0;
}
