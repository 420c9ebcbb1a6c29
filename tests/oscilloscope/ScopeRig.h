#pragma once

#include <deque>
#include <string>
#include <vector>

#include "comm/LinkRequest.h"
#include "comm/LinkSwitches.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "oscilloscope/DriverOscilloModel.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeUnits.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {

// A link that only records what the oscilloscope asks for; tests answer by hand.
class FakeScopeLink : public ScopeLink {
public:
    int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                uint32_t data) override {
        requests.push_back({window, address, data, command});
        return 0;
    }
    DriveSegment Segment() override { return segment; }
    bool DeferredQueueEmpty() override { return deferredEmpty; }

    LinkRequest Take() {
        LinkRequest request = requests.front();
        requests.pop_front();
        return request;
    }

    std::deque<LinkRequest> requests;
    DriveSegment segment;
    bool deferredEmpty = true;
};

// A small dictionary, an Oscilloscope.ini and the oscilloscope's model over a fake link.
struct ScopeRig {
    explicit ScopeRig(const std::string& ini = DefaultIni()) {
        std::string data;
        data += Entry("6041", "00", "Statusword", "UNSIGNED16", "");
        data += Entry("6060", "00", "Modes of operation", "INTEGER8", "");
        data += Entry("6064", "00", "Position actual value", "INTEGER32", "");
        data += Entry("606C", "00", "Velocity actual value", "INTEGER32",
                      "[r rpm]N*60/512;[rpm]N*512/60;[r DEC]N*1");
        data += Entry("6077", "00", "Torque actual value", "INTEGER16", "");
        data += Entry("2010", "0B", "Bus voltage", "UNSIGNED32", "");
        dictionary.LoadFile(folder.Write("tarvo.dat", data), 2, &messages);
        iniPath = folder.Write("Oscilloscope.ini", ini);
        switches.connectionState = ConnectionState::Open;
        model.Create(iniPath);
    }

    static std::string DefaultIni() {
        return "[trigger]\n1=604100\n2=606000\n3=606C00\n[channel]\n1=606400\n2=606C00\n"
               "3=607700\n4=604100\n5=606000\n6=20100B\n";
    }

    static std::string Entry(const std::string& index, const std::string& sub,
                             const std::string& name, const std::string& type,
                             const std::string& units) {
        RecordTexts t;
        t.index = index;
        t.subIndex = sub;
        t.nameEn = name;
        t.nameZh = name;
        t.dataType = type;
        t.unitSpec = units;
        return Record(t);
    }

    // Answers the oldest request as the drive would: a read or write of `value`.
    LinkRequest Answer(uint32_t value) {
        LinkRequest request = link.Take();
        model.onMessage(WM_LINK_VALUE, value, request.address);
        return request;
    }

    TempFolder folder;
    RecordingMessageBox messages;
    ObjectDictionary dictionary;
    std::atomic<MessageTarget*> mainWindow{nullptr};
    FakeScopeLink link;
    FormulaEvaluator evaluator{link, mainWindow, &messages};
    UnitTable unitTable{&messages};
    ScopeUnits units{dictionary, unitTable, evaluator};
    LinkSwitches switches;
    ManualTimer pollTimer;
    ManualTimer restartTimer;
    ManualTimer watchTimer;
    DriverOscilloModel model{
        {dictionary, units, link, switches, messages, pollTimer, restartTimer, watchTimer}};
    std::string iniPath;
};

}  // namespace tarvo::test
