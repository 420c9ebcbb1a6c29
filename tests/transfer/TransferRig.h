#pragma once

#include <string>

#include "comm/LinkSwitches.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "tests/dictionary/FakeLinkRequester.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {

// A small dictionary, a recording link and hand-fired timers for the transfer models.
struct TransferRig {
    TransferRig() {
        std::string data;
        auto add = [&data](const char* index, const char* sub, const char* type, const char* name) {
            RecordTexts t;
            t.index = index;
            t.subIndex = sub;
            t.dataType = type;
            t.nameEn = name;
            data += Record(t);
        };
        add("6040", "00", "UNSIGNED16", "Control word");
        add("607A", "00", "INTEGER32", "Target position");
        add("6081", "00", "UNSIGNED32", "Profile velocity");
        add("2011", "01", "INTEGER16", "Position gain");
        add("2012", "01", "INTEGER8", "Offset");
        add("1008", "00", "VISIBLE_STRING", "Device name");
        dictionary.LoadFile(folder.Write("tarvo.dat", data), 2, &box);
        switches.connectionState = ConnectionState::Open;
    }

    TempFolder folder;
    RecordingMessageBox box;
    ObjectDictionary dictionary;
    FakeLinkRequester link;
    LinkSwitches switches;
    ManualTimer watchTimer;
    ManualTimer storeTimer;
};

}  // namespace tarvo::test
