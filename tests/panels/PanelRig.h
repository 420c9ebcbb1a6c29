#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ProjectSections.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"
#include "panels/PanelLink.h"
#include "panels/PanelServices.h"
#include "platform/MessageBox.h"
#include "tests/dictionary/FakeLinkRequester.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {

// Records what a panel asks of the control link.
class FakePanelLink : public PanelLink {
public:
    struct Monitor {
        MessageTarget* window;
        uint32_t key;
        MonitorClass monitorClass;
        bool operator==(const Monitor&) const = default;
    };

    int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                uint32_t data) override {
        requests.push_back({window, command, address, data});
        return 0;
    }
    int RegisterMonitor(MessageTarget* window, uint32_t key, MonitorClass monitorClass) override {
        monitors.push_back({window, key, monitorClass});
        return 1;
    }
    int EnableMonitor(MessageTarget*) override { return ++enables, 1; }
    int DisableMonitor(MessageTarget*) override { return ++disables, 1; }
    DriveSegment GetSegment() override { return segment; }

    std::vector<SentRequest> requests;
    std::vector<Monitor> monitors;
    int enables = 0;
    int disables = 0;
    DriveSegment segment;
};

// A small dictionary, a program folder with sys/, and the services a panel works with.
class PanelRig {
public:
    static constexpr uint32_t kMode = 0x606000;      // INTEGER8, W
    static constexpr uint32_t kStatus = 0x604100;    // UNSIGNED16, L (read-only, real-time)
    static constexpr uint32_t kVelocity = 0x608100;  // UNSIGNED32, WL, units rpm/DEC
    static constexpr uint32_t kPosition = 0x606400;  // INTEGER32, read-only
    static constexpr uint32_t kName = 0x100800;      // VISIBLE STRING, read-only
    static constexpr uint32_t kOdd = 0x200100;       // a type without valid width
    static constexpr const char* kModeHelp = "1 profile position, 3 profile velocity";

    // With `facts`, the text of a facts file beside the data file.
    explicit PanelRig(const std::string& facts = {}) {
        if (!facts.empty()) {
            folder.Write("tarvo.facts.json", facts);
        }
        std::string data = Entry("6060", "00", "Mode", "INTEGER8", "WS", "", kModeHelp) +
                           Entry("6041", "00", "Status word", "UNSIGNED16", "L", "") +
                           Entry("6081", "00", "Profile velocity", "UNSIGNED32", "WL",
                                 "[r rpm]N*60/512;[rpm]N*512/60;[r DEC]N*1;[DEC]N*1") +
                           Entry("6064", "00", "Position actual", "INTEGER32", "S", "") +
                           Entry("1008", "00", "Device name", "VISIBLE STRING", "", "") +
                           Entry("2001", "00", "Odd", "INTEGER24", "W", "");
        dictionary.LoadFile(folder.Write("tarvo.dat", data), 2, &box);
        folder.Write("sys/.keep", "");
        project.SetSavePath(folder.File("plant.ksp"));
        project.SetOpenPath(folder.File("plant.ksp"));
    }

    static std::string Entry(const char* index, const char* sub, const char* name, const char* type,
                             const char* attribute, const char* units, const char* help = "") {
        RecordTexts t;
        t.helpEn = help;
        t.index = index;
        t.subIndex = sub;
        t.nameEn = name;
        t.dataType = type;
        t.attribute = attribute;
        t.unitSpec = units;
        return Record(t);
    }

    void Definition(const std::string& panelName, const std::string& lines) {
        folder.Write("sys/" + panelName + ".ini", "[" + panelName + "]\r\n" + lines);
    }

    PanelServices Services() {
        return {dictionary,
                units,
                values,
                project,
                link,
                connection,
                mainWindow,
                folder.Path(),
                [this] { return projectOpened; },
                [this](MessageTarget* target) { pickTarget = target; },
                [this](const std::string& problem) { box.Show(problem); }};
    }

    TempFolder folder;
    RecordingMessageBox box;
    FakePanelLink link;
    DummyWindow mainFrame;
    std::atomic<MessageTarget*> mainWindow{&mainFrame};
    std::atomic<ConnectionState> connection{ConnectionState::Open};
    ObjectDictionary dictionary;
    FormulaEvaluator evaluator{link, mainWindow, &box};
    UnitTable units{&box};
    std::atomic<uint8_t> language{2};  // the interface language: 1 Chinese, 2 English
    ValueText values{{dictionary, evaluator, units, link, &box, &language}};
    ProjectSections project{dictionary, units,
                            [this](MessageTarget* w, uint32_t key, MonitorClass c) {
                                link.RegisterMonitor(w, key, c);
                            }};
    bool projectOpened = false;
    MessageTarget* pickTarget = nullptr;
};

}  // namespace tarvo::test
