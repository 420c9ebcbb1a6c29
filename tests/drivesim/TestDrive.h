#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/DictionarySource.h"
#include "drivesim/DriveModel.h"
#include "drivesim/SdoServer.h"

namespace tarvo::sim::test {

inline SourceEntry Entry(const char* index, const char* subIndex, const char* type,
                         const char* attribute, int64_t value, int64_t minimum, int64_t maximum,
                         const char* text = "") {
    SourceEntry entry;
    entry.index = index;
    entry.subIndex = subIndex;
    entry.dataType = type;
    entry.attribute = attribute;
    entry.defaultValue = value;
    entry.minimum = minimum;
    entry.maximum = maximum;
    entry.defaultText = text;
    return entry;
}

// The drive family's own dictionary source, as the simulator serves it.
inline std::vector<SourceEntry> FamilySource() {
    const char* root = std::getenv("TARVO_SOURCE");
    std::string path =
        std::string(root != nullptr ? root : TARVO_SOURCE_DIR) + "/drivedata/dictionary.json";
    std::vector<SourceEntry> entries;
    std::string error;
    EXPECT_TRUE(DictionarySource::Load(path, entries, error)) << error;
    return entries;
}

// A started drive model with short store and reboot times, and a server on it; time is
// moved on by hand.
class TestDrive {
public:
    explicit TestDrive(std::vector<SourceEntry> entries, std::string storeFile = {},
                       bool changingInputs = false) {
        DriveModel::Settings settings;
        settings.storeBusyMs = 30;
        settings.rebootSilenceMs = 50;
        settings.changingInputs = changingInputs;
        settings.storeFile = std::move(storeFile);
        model = std::make_unique<DriveModel>(std::move(entries), settings);
        std::string error;
        started = model->Start(error);
        EXPECT_TRUE(started) << error;
        server = std::make_unique<SdoServer>(*model);
    }

    SdoReply Send(uint8_t command, uint32_t key, uint32_t data = 0) {
        SdoRequest request;
        request.command = command;
        request.index = static_cast<uint16_t>(key >> 8);
        request.subIndex = static_cast<uint8_t>(key);
        request.data = data;
        model->AdvanceTo(nowUs);
        return server->Handle(request);
    }
    uint32_t Read(uint32_t key) { return Send(0x40, key).Data(); }
    SdoReply Write(uint32_t key, uint32_t value, int width) {
        return Send(width == 1 ? 0x2F : width == 2 ? 0x2B : 0x23, key, value);
    }
    void Wait(uint64_t microseconds) {
        nowUs += microseconds;
        model->AdvanceTo(nowUs);
    }

    std::unique_ptr<DriveModel> model;
    std::unique_ptr<SdoServer> server;
    uint64_t nowUs = 0;
    bool started = false;
};

}  // namespace tarvo::sim::test
