#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "protocol/CanObjectAbi.h"
#include "tests/comm/FakeCanLibrary.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {

// The staged program folder, which holds the real data/libCOM.so.
inline std::string StageFolder() {
    const char* stage = std::getenv("TARVO_STAGE");
    return stage != nullptr ? stage : "stage";
}

// A program folder of its own whose data/ holds the given libraries under the given names.
class LibraryFolder {
public:
    void Put(const std::string& source, const std::string& name) {
        std::filesystem::create_directories(folder_.File("data"));
        std::filesystem::copy_file(source, folder_.File("data/" + name),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    const std::string& Path() const { return folder_.Path(); }

    // The script of the stand-in CAN library loaded from this folder.
    FakeCanState* CanState() {
        void* handle = ::dlopen(folder_.File("data/libCAN.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            return nullptr;
        }
        auto stateOf = reinterpret_cast<FakeCanStateFn>(::dlsym(handle, "FakeCanStateOf"));
        return stateOf != nullptr ? stateOf() : nullptr;
    }

private:
    TempFolder folder_;
};

inline CommSettings SettingsFor(const std::string& port, uint32_t node, uint32_t rate,
                                uint32_t timeoutMs) {
    CommSettings settings{};
    for (size_t i = 0; i < port.size() && i < 7; ++i) {
        settings.portName[i] = static_cast<uint8_t>(port[i]);
    }
    settings.nodeId = node;
    settings.rate = rate;
    settings.replyTimeoutMs = timeoutMs;
    return settings;
}

}  // namespace tarvo::test
