// Measures the dictionary browser's sorts and "Find next" over a generated 10,000-entry
// dictionary (beside the quadratic selection sort they replace), and saving and opening a
// project of 18 panels with 60 rows each (beside writing the same bytes with one write, and
// beside the per-key section writes and reads they replace). Prints figures; asserts nothing.
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

#include "app/ProjectDocument.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/PlacedWindow.h"
#include "dictionary/SdoListModel.h"
#include "dictionary/UnitTable.h"
#include "panels/ParameterList.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

using Clock = std::chrono::steady_clock;

namespace {

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

template <typename F>
double Time(F&& f) {
    auto start = Clock::now();
    f();
    return Millis(Clock::now() - start);
}

// The drive tool's sort: selection sort on the row texts.
void SelectionSort(std::vector<std::string>& keys) {
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        size_t smallest = i + 1;
        for (size_t j = i + 2; j < keys.size(); ++j) {
            if (keys[j] < keys[smallest]) {
                smallest = j;
            }
        }
        if (keys[smallest] < keys[i]) {
            std::swap(keys[i], keys[smallest]);
        }
    }
}

class FixedWindow : public tarvo::PlacedWindow {
public:
    FixedWindow(int left, int top) : frame_{left, top, 400, 300} {}
    tarvo::WindowFrame Frame() const override { return frame_; }
    void SetFrame(const tarvo::WindowFrame& frame) override { frame_ = frame; }

private:
    tarvo::WindowFrame frame_;
};

}  // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 10000;
    tarvo::test::TempFolder folder;
    std::mt19937 random(42);
    std::string bytes;
    const char* words[] = {"Velocity", "position", "Current", "gain", "filter", "time",
                           "limit",    "Mode",     "速度",    "位置", "Error",  "input"};
    for (int i = 0; i < entries; ++i) {
        tarvo::test::RecordTexts t;
        char index[8], sub[4];
        int shuffled = static_cast<int>(random() % 0x10000);
        std::snprintf(index, sizeof index, "%04X", shuffled);
        std::snprintf(sub, sizeof sub, "%02X", i % 256);
        t.index = index;
        t.subIndex = sub;
        t.nameEn = std::string(words[random() % 12]) + " " + words[random() % 12] + " " +
                   std::to_string(i);
        t.attribute = i % 3 == 0 ? "WL" : "S";
        t.unitSpec = i % 2 == 0 ? "[r rpm]N*60/512;[rpm]N*512/60" : "";
        bytes += tarvo::test::Record(t);
    }
    tarvo::RecordingMessageBox box;
    tarvo::ObjectDictionary dictionary;
    dictionary.LoadFile(folder.Write("tarvo.dat", bytes), 2, &box);
    tarvo::SdoListModel model(dictionary, box);
    double fill = Time([&] { model.Fill(); });
    double byName = Time([&] { model.SetSortChoice(tarvo::SdoListModel::kSortByName); });
    double byIndex = Time([&] { model.SetSortChoice(tarvo::SdoListModel::kSortByIndex); });
    // One search that walks the whole list and finds nothing, one that finds the last row.
    double notFound = Time([&] { model.FindNext("no such name"); });
    std::string last = model.RowAt(model.RowCount() - 1).name;
    double findLast = Time([&] { model.FindNext(last); });
    std::vector<std::string> names;
    for (int i = 0; i < model.RowCount(); ++i) {
        names.push_back(tarvo::SdoListModel::SortKey(model.RowAt(i), 1));
    }
    double selection = Time([&] { SelectionSort(names); });
    std::printf(
        "browser, %d entries: fill %.2f ms, sort by name %.2f ms, by index %.2f ms, "
        "find next (not found) %.2f ms, (last row) %.2f ms; selection sort by name "
        "%.0f ms\n",
        model.RowCount(), fill, byName, byIndex, notFound, findLast, selection);

    // A project of 18 panels with 60 rows each.
    tarvo::UnitTable units(&box);
    tarvo::ProjectSections sections(dictionary, units, nullptr);
    FixedWindow mainWindow(100, 50);
    std::map<int, tarvo::ParameterList> lists;
    std::vector<FixedWindow> frames;
    for (int panel = 0; panel < 18; ++panel) {
        tarvo::ParameterList& list = lists[2 + panel];
        for (int row = 0; row < 60; ++row) {
            auto entry = dictionary.EntryAt(panel * 60 + row);
            int r = list.InsertRow(row, "x");
            list.SetText(r, tarvo::ParameterRows::kKeyColumn, std::to_string(entry->key));
            list.SetText(r, tarvo::ParameterRows::kValueColumn, "1234.5");
            list.SetText(r, tarvo::ParameterRows::kUnitColumn, "rpm");
        }
        frames.emplace_back(150 + panel * 10, 200 + panel * 10);
    }
    tarvo::ProjectDocument::Hooks hooks;
    hooks.broadcast = [&](tarvo::WindowState state) {
        int i = 0;
        for (auto& [number, list] : lists) {
            if (state == tarvo::WindowState::SaveProject) {
                sections.SaveListRows(list, number);
                sections.SaveWindowPlace(number, frames[static_cast<size_t>(i++)], 1, mainWindow,
                                         20);
            } else if (state == tarvo::WindowState::ProjectOpened) {
                sections.LoadListRows(list, number, nullptr);
            }
        }
    };
    hooks.captionHeight = [] { return 20; };
    int restored = 0;
    // A view made by the restore reads its rows as it is created.
    hooks.restoreView = [&](int number, const tarvo::WindowPlace&) {
        ++restored;
        sections.LoadListRows(lists[number], number, nullptr);
    };
    tarvo::ProjectDocument document(sections, box, hooks);
    std::string path = folder.File("plant.ksp");
    double save = Time([&] { document.Save(path); });
    std::string content;
    tarvo::AtomicFile::Read(path, content);
    double oneWrite = Time([&] { tarvo::AtomicFile::Write(folder.File("same.ksp"), content); });
    double open = Time([&] { document.Open(path); });
    // The same open with every place and row read from the file by its own reading.
    restored = 0;
    double perKeyOpen = Time([&] {
        sections.SetOpenPath(path);
        for (int number = tarvo::ProjectDocument::kFirstPanelNumber;
             number <= tarvo::ProjectDocument::kLastPanelNumber; ++number) {
            if (sections.LoadWindowPlace(number, 20).open) {
                hooks.restoreView(number, {});
            }
        }
    });
    sections.SetSavePath(folder.File("per-key.ksp"));
    double perKey = Time([&] { hooks.broadcast(tarvo::WindowState::SaveProject); });
    std::printf(
        "project, 18 panels x 60 rows (%zu bytes): save %.2f ms (one write of the "
        "same bytes %.2f ms; the per-key section writes %.0f ms), open with the rows of "
        "%d panels %.2f ms (goal under 10 ms; reading the file for every key %.2f ms)\n",
        content.size(), save, oneWrite, perKey, restored, open, perKeyOpen);
    return 0;
}
