#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "protocol/CanObjectAbi.h"
#include "tests/support/TempFolder.h"

namespace tarvo::canbus::test {

// libCAN.so as the program loads it: copied into data/ of a test's own program folder, so
// that it reads that folder's sys/can.ini, opened by path and reached through its table.
class LoadedCanLibrary {
public:
    explicit LoadedCanLibrary(const tarvo::test::TempFolder& folder) {
        std::filesystem::create_directories(folder.File("data"));
        std::string path = folder.File("data/libCAN.so");
        std::filesystem::copy_file(TARVO_LIBCAN_PATH, path,
                                   std::filesystem::copy_options::overwrite_existing);
        handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(handle_, nullptr) << ::dlerror();
        if (handle_ != nullptr) {
            create_ = reinterpret_cast<CanCreateObjectFn>(::dlsym(handle_, "CreateCanObject"));
            lastError_ = reinterpret_cast<uint32_t (*)(CanObject*, char*, uint32_t)>(
                ::dlsym(handle_, "TarvoCanLastError"));
        }
    }
    ~LoadedCanLibrary() {
        if (object_ != nullptr) {
            object_->ops->Release(object_);
        }
        if (handle_ != nullptr) {
            ::dlclose(handle_);
        }
    }

    CanObject* Object() {
        if (object_ == nullptr && create_ != nullptr) {
            create_(&object_);
        }
        return object_;
    }
    // A drive that answers ends each wait at once; the default bound only has to outlast a
    // simulated drive slowed by a sanitizer on a loaded machine.
    uint32_t Open(uint32_t node, uint32_t code, uint32_t timeoutMs = 5000) {
        CommSettings settings{};
        settings.nodeId = node;
        settings.rate = code;
        settings.replyTimeoutMs = timeoutMs;
        return Object()->ops->Open(Object(), &settings);
    }
    // Transmits one request to `node`; 0 and the reply, or the transmit's result.
    uint32_t Exchange(uint8_t command, uint32_t key, uint32_t data, CanMessage& reply,
                      uint32_t node = 1) {
        CanMessage request{};
        request.id = 0x600 + node;
        request.length = 8;
        request.data[0] = command;
        request.data[1] = static_cast<uint8_t>(key >> 8);
        request.data[2] = static_cast<uint8_t>(key >> 16);
        request.data[3] = static_cast<uint8_t>(key);
        for (int i = 0; i < 4; ++i) {
            request.data[4 + i] = static_cast<uint8_t>(data >> (8 * i));
        }
        uint32_t sent = Object()->ops->Transmit(Object(), &request);
        if (sent != 0) {
            return sent;
        }
        reply = CanMessage{};
        EXPECT_EQ(Object()->ops->Receive(Object(), &reply), 0u);
        return 0;
    }
    std::string LastError() {
        char text[512] = {};
        if (lastError_ != nullptr) {
            lastError_(Object(), text, sizeof text);
        }
        return text;
    }
    std::string Version() {
        char text[256];
        std::memset(text, 0, sizeof text);
        return Object()->ops->ReadVersion(Object(), text) != 0 ? text : "";
    }

    static uint32_t Value(const CanMessage& reply) {
        return static_cast<uint32_t>(reply.data[4]) | static_cast<uint32_t>(reply.data[5]) << 8 |
               static_cast<uint32_t>(reply.data[6]) << 16 |
               static_cast<uint32_t>(reply.data[7]) << 24;
    }
    static uint32_t Key(const CanMessage& reply) {
        return static_cast<uint32_t>(reply.data[2]) << 16 |
               static_cast<uint32_t>(reply.data[1]) << 8 | reply.data[3];
    }

private:
    void* handle_ = nullptr;
    CanCreateObjectFn create_ = nullptr;
    uint32_t (*lastError_)(CanObject*, char*, uint32_t) = nullptr;
    CanObject* object_ = nullptr;
};

}  // namespace tarvo::canbus::test
