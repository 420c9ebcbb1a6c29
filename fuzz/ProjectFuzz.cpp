// libFuzzer target: any bytes as a project file (.ksp) open through the project document
// without a crash: every restored view lands inside the area of child frames, every panel
// lists only entries of the dictionary, and the rows a project gives back are saved and
// read back unchanged.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/ProjectContent.h"
#include "app/ProjectDocument.h"
#include "dictionary/ProjectSections.h"
#include "dictionary/UnitTable.h"
#include "fuzz/FuzzDictionary.h"
#include "fuzz/FuzzFolder.h"
#include "panels/ParameterList.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "platform/TextCase.h"

namespace {

using tarvo::ParameterRows;
using tarvo::fuzz::FuzzFolder;

constexpr int kFirst = tarvo::ProjectDocument::kFirstPanelNumber;
constexpr int kLast = tarvo::ProjectDocument::kLastPanelNumber;
constexpr std::array<int, 6> kColumns = {
    ParameterRows::kLabelColumn,    ParameterRows::kKeyColumn,   ParameterRows::kNameColumn,
    ParameterRows::kDataTypeColumn, ParameterRows::kValueColumn, ParameterRows::kUnitColumn};

// The panel numbers whose row section the file may hold; the others have nothing to load.
std::vector<int> PanelSections(std::string_view bytes) {
    std::vector<int> numbers;
    for (const std::string& line : tarvo::ProfileFile::DecodeLines(bytes)) {
        std::string name = tarvo::Lower(line);
        name.erase(0, name.find_first_not_of(" \t"));
        if (name.empty() || name.front() != '[') {
            continue;
        }
        for (int number = kFirst; number <= kLast; ++number) {
            if (name.find("tarvostep:" + std::to_string(number)) != std::string::npos) {
                numbers.push_back(number);
            }
        }
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

// A line break in a row's text is saved as a blank (the row stays one line of the file), and
// the reader trims a line's trailing blanks: a row whose last text ends in line breaks (a
// cut text can) comes back without them.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::string_view WithoutTrailingBlanks(std::string_view text) {
    return text.substr(0, text.find_last_not_of(" \t") + 1);
}

void CheckRows(const tarvo::ParameterList& list) {
    const tarvo::ObjectDictionary& dictionary = tarvo::fuzz::FamilyDictionary();
    for (int row = 0; row < list.RowCount(); ++row) {
        auto entry = dictionary.FindEntry(
            tarvo::ParseDecimalText(list.Text(row, ParameterRows::kKeyColumn)));
        if (!entry || list.Text(row, ParameterRows::kLabelColumn) !=
                          std::to_string(row + 1) + (entry->HasAttribute('W') ? "" : "*")) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = FuzzFolder::Write("plant.ksp", bytes);
    const tarvo::ObjectDictionary& dictionary = tarvo::fuzz::FamilyDictionary();
    tarvo::RecordingMessageBox box;
    tarvo::UnitTable units(&box);
    int monitors = 0;
    tarvo::ProjectSections sections(dictionary, units, [&](auto...) { ++monitors; });

    const tarvo::ProjectDocument::AreaGeometry area{100, 50, 104, 120, 800, 600, 23};
    std::vector<int> numbers = PanelSections(bytes);
    std::vector<tarvo::ParameterList> lists(numbers.size());
    tarvo::ProjectDocument::Hooks hooks;
    hooks.captionHeight = [] { return 23; };
    hooks.localTime = [] { return std::tm{}; };
    hooks.restoreView = [&](int number, const tarvo::WindowPlace& place) {
        tarvo::ProjectDocument::Point at = tarvo::ProjectDocument::RestoredPosition(place, area);
        if (number < kFirst || number > kLast || !place.open || at.x < 0 || at.y < 0 ||
            at.x > area.areaWidth || at.y > area.areaHeight) {
            std::abort();
        }
    };
    int restored = 0;
    hooks.restoreView = [&, restore = hooks.restoreView](int number,
                                                         const tarvo::WindowPlace& place) {
        ++restored;
        restore(number, place);
    };
    hooks.broadcast = [](tarvo::WindowState) {
        std::abort();  // opening a project tells no view to reload: new views load their rows
    };
    tarvo::ProjectDocument document(sections, box, hooks);
    const bool opened = document.Open(path);
    if (opened != box.texts.empty() || box.texts.size() > 1) {
        std::abort();  // a project opens without a message; anything else is refused with one
    }
    if (!opened) {
        if (restored != 0) {
            std::abort();  // a refused file changes nothing
        }
        return 0;
    }
    // The views made by the restore read their rows as they are created.
    for (size_t i = 0; i < numbers.size(); ++i) {
        int loaded = sections.LoadListRows(lists[i], numbers[i], nullptr);
        if (loaded != lists[i].RowCount() && loaded != 0) {
            std::abort();
        }
    }

    // Saved into a project of their own and read back, the rows stay as they were.
    tarvo::ProjectContent content;
    sections.SetSaveSink(&content);
    for (size_t i = 0; i < numbers.size(); ++i) {
        CheckRows(lists[i]);
        if (!sections.SaveListRows(lists[i], numbers[i])) {
            std::abort();
        }
    }
    sections.SetSaveSink(nullptr);
    sections.SetOpenPath(FuzzFolder::Write("again.ksp", content.Text()));
    for (size_t i = 0; i < numbers.size(); ++i) {
        tarvo::ParameterList again;
        sections.LoadListRows(again, numbers[i], nullptr);
        if (again.RowCount() != lists[i].RowCount()) {
            std::abort();
        }
        for (int row = 0; row < again.RowCount(); ++row) {
            for (int column : kColumns) {
                const std::string back = again.Text(row, column);
                const std::string first = OneLine(lists[i].Text(row, column));
                if (WithoutTrailingBlanks(back) != WithoutTrailingBlanks(first)) {
                    std::abort();
                }
            }
        }
    }
    return 0;
}
