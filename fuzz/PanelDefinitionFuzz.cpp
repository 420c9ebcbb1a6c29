// libFuzzer target: any bytes as the sys files of the panels (a panel definition file, the
// I/O function names, the error names and the oscilloscope's lists) are read by the code
// that reads them without a crash or a hang; a panel lists only entries of the dictionary,
// each once, labelled by its place and writability, and registers monitors for its live
// entries only.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "dictionary/FormulaEvaluator.h"
#include "dictionary/LeadingNumber.h"
#include "dictionary/ProjectSections.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"
#include "fuzz/CountingLink.h"
#include "fuzz/FuzzDictionary.h"
#include "fuzz/FuzzFolder.h"
#include "oscilloscope/ScopeItemLists.h"
#include "panels/PanelFamily.h"
#include "panels/PanelLink.h"
#include "panels/ParameterPanel.h"
#include "panels/ioerror/IoFunctionNames.h"
#include "panels/ioerror/RealtimeErrorModel.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

namespace {

using tarvo::fuzz::FuzzFolder;

// Records what a panel asks of the control link.
class RecordingPanelLink : public tarvo::PanelLink {
public:
    int Request(tarvo::MessageTarget*, tarvo::SdoCommand, uint32_t, uint32_t) override { return 0; }
    int RegisterMonitor(tarvo::MessageTarget*, uint32_t key,
                        tarvo::MonitorClass monitorClass) override {
        monitors.push_back({key, monitorClass});
        return 1;
    }
    int EnableMonitor(tarvo::MessageTarget*) override { return 1; }
    int DisableMonitor(tarvo::MessageTarget*) override { return 1; }
    tarvo::DriveSegment GetSegment() override { return {}; }

    std::vector<std::pair<uint32_t, tarvo::MonitorClass>> monitors;
};

// One file under every name the readers look for.
const std::string& SysFile() {
    static const std::string path = [] {
        std::string file = FuzzFolder::Write("sys/panel.ini", "");
        for (const char* name :
             {"PositionLoop", "RPDO1", "DataInOut", "RealTimeError", "Oscilloscope"}) {
            std::filesystem::create_symlink("panel.ini",
                                            FuzzFolder::Path() + "/sys/" + name + ".ini");
        }
        return file;
    }();
    return path;
}

void CheckPanel(const tarvo::PanelDescription& description) {
    const tarvo::ObjectDictionary& dictionary = tarvo::fuzz::FamilyDictionary();
    tarvo::RecordingMessageBox box;
    tarvo::fuzz::CountingLink requests;
    std::atomic<tarvo::MessageTarget*> mainWindow{nullptr};
    tarvo::FormulaEvaluator evaluator(requests, mainWindow, &box);
    tarvo::UnitTable units(&box);
    tarvo::ValueText values({dictionary, evaluator, units, requests, &box});
    tarvo::ProjectSections project(dictionary, units, nullptr);
    RecordingPanelLink link;
    std::atomic<tarvo::ConnectionState> connectionState{tarvo::ConnectionState::Closed};
    tarvo::ParameterPanel panel(
        description, {dictionary, units, values, project, link, connectionState, mainWindow,
                      FuzzFolder::Path(), nullptr, nullptr});
    panel.Create();

    const tarvo::ParameterList& list = panel.List();
    std::set<uint32_t> keys;
    int64_t lastNumber = -1;
    for (int row = 0; row < list.RowCount(); ++row) {
        uint32_t key = tarvo::ParseDecimalText(list.Text(row, tarvo::ParameterRows::kKeyColumn));
        auto entry = dictionary.FindEntry(key);
        if (!entry || !keys.insert(key).second) {
            std::abort();  // a row of no entry, or an entry listed twice
        }
        // A row is labelled with the line it came from (rows of a file with gaps keep
        // the numbers of their lines), and "*" when the entry is not writable.
        bool writable = entry->HasAttribute('W');
        const std::string& label = list.Text(row, tarvo::ParameterRows::kLabelColumn);
        int64_t number = tarvo::ReadLeadingInteger(label);
        int least = description.traits.labelsFromZero ? row : row + 1;
        if (number < least || number <= lastNumber ||
            label != std::to_string(number) + (writable ? "" : "*") ||
            list.Text(row, tarvo::ParameterRows::kNameColumn) != entry->name) {
            std::abort();
        }
        lastNumber = number;
    }
    for (const auto& [key, monitorClass] : link.monitors) {
        auto entry = dictionary.FindEntry(key);
        if (!keys.count(key) || !entry || !entry->HasAttribute('L') ||
            monitorClass != (entry->HasAttribute('W') ? tarvo::MonitorClass::Writable
                                                      : tarvo::MonitorClass::ReadOnly)) {
            std::abort();
        }
    }
}

void CheckIoNames(const std::string& path, bool chinese) {
    tarvo::IoFunctionNames names(path, chinese);
    for (auto kind :
         {tarvo::IoFunctionNames::Kind::kInput, tarvo::IoFunctionNames::Kind::kOutput}) {
        tarvo::IoFunctionNames::Description all = names.Describe(kind, 0xFFFFFFFFu);
        if (all.lines.size() > 32 || (all.text == "NULL") != all.lines.empty()) {
            std::abort();
        }
    }
}

void CheckErrorNames(const std::string& path, bool chinese) {
    tarvo::fuzz::CountingLink requests;
    std::atomic<tarvo::ConnectionState> connectionState{tarvo::ConnectionState::Closed};
    auto any = [](auto...) { return 1; };
    tarvo::RealtimeErrorModel errors(
        {{requests, any, any, any, connectionState}, nullptr, path, chinese});
    errors.Create();
    for (int bit = 0; bit < tarvo::RealtimeErrorModel::kBits; ++bit) {
        if (tarvo::TextCodec::Utf16Length(errors.Name(bit)) > 31) {
            std::abort();  // more than its 32-character buffer holds
        }
    }
}

void CheckScopeLists() {
    tarvo::ScopeItemLists lists(tarvo::fuzz::FamilyDictionary());
    lists.Load(FuzzFolder::Path() + "/sys/Oscilloscope.ini");
    for (int position = 1; position < lists.TriggerBoxSize(); ++position) {
        const tarvo::ScopeItem* item = lists.TriggerAt(position);
        if (item == nullptr ||
            lists.FindTriggerAddress(tarvo::ScopeItemCode::Address(item->code)) < 1) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = SysFile();
    FuzzFolder::Write("sys/panel.ini", std::string_view(reinterpret_cast<const char*>(data), size));

    for (const char* name : {"PositionLoop", "RPDO1"}) {
        for (const tarvo::PanelDescription& description : tarvo::PanelFamily::Members()) {
            if (std::string_view(description.panelName) == name) {
                CheckPanel(description);
            }
        }
    }

    // Every name costs a read of the file: one of the other readers runs, by the size.
    switch (size % 3) {
        case 0:
            CheckIoNames(path, size % 2 == 0);
            break;
        case 1:
            CheckErrorNames(path, size % 2 == 0);
            break;
        default:
            CheckScopeLists();
            break;
    }
    return 0;
}
