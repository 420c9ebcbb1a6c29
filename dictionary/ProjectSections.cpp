#include "dictionary/ProjectSections.h"

#include <algorithm>
#include <limits>

#include "dictionary/LeadingNumber.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ParameterRows.h"
#include "dictionary/PlacedWindow.h"
#include "dictionary/SectionSink.h"
#include "dictionary/UnitTable.h"
#include "platform/ProfileFile.h"

namespace tarvo {

namespace {

constexpr size_t kRowBuffer = 256;
constexpr size_t kPlaceBuffer = 64;
constexpr int kPlaceSection = 1;

std::string Section(int number) {
    return ProjectSections::kSectionPrefix + std::to_string(number);
}

// A line break in a value text would end the line in the file; a blank keeps the row.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

int ClampToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

}  // namespace

ProjectSections::ProjectSections(const ObjectDictionary& dictionary, UnitTable& units,
                                 RegisterMonitor registerMonitor)
    : dictionary_(dictionary), units_(units), registerMonitor_(std::move(registerMonitor)) {}

bool ProjectSections::SaveListRows(const ParameterRows& list, int panelNumber) {
    std::vector<ProfileFile::KeyValue> values;
    values.reserve(static_cast<size_t>(list.RowCount()) + 1);
    values.push_back({"num", std::to_string(list.RowCount())});
    for (int row = 0; row < list.RowCount(); ++row) {
        values.push_back(
            {std::to_string(row), OneLine(list.Text(row, ParameterRows::kKeyColumn)) + "," +
                                      OneLine(list.Text(row, ParameterRows::kValueColumn)) + "," +
                                      OneLine(list.Text(row, ParameterRows::kUnitColumn))});
    }
    return Store(Section(panelNumber), values);
}

bool ProjectSections::Store(const std::string& section,
                            const std::vector<ProfileFile::KeyValue>& values) {
    if (saveSink_ != nullptr) {
        bool stored = true;
        for (const auto& [key, value] : values) {
            stored = saveSink_->Put(section, key, value) && stored;
        }
        return stored;
    }
    // One replacement of the file for the whole list: "num" never disagrees with the rows,
    // whenever the program stops.
    return ProfileFile(savePath_).WriteStrings(section, values);
}

int ProjectSections::LoadListRows(ParameterRows& list, int panelNumber, MessageTarget* owner) {
    ProfileFile fresh(openPath_);
    const ProfileFile& file = openProject_ ? *openProject_ : fresh;
    std::string section = Section(panelNumber);
    int64_t count = ReadLeadingInteger(file.GetString(section, "num", "", kRowBuffer));
    if (count <= 0) {
        return 0;
    }
    list.DeleteAllRows();
    int loaded = 0;
    for (int64_t i = 0; i < count; ++i) {
        std::string stored = file.GetString(section, std::to_string(i), "", kRowBuffer);
        size_t firstComma = stored.find(',');
        int64_t key = ReadLeadingInteger(std::string_view(stored).substr(0, firstComma));
        std::optional<DictionaryEntry> entry;
        if (key > 0 && key <= std::numeric_limits<uint32_t>::max()) {
            entry = dictionary_.FindEntry(static_cast<uint32_t>(key));
        }
        if (!entry) {
            break;  // an unknown key ends the list; the rows before it stay
        }
        std::string unusedLabel;
        units_.RegisterUnits(entry->key, entry->unitSpec, unusedLabel);
        bool writable = entry->HasAttribute('W');
        if (entry->HasAttribute('L') && registerMonitor_) {
            registerMonitor_(owner, entry->key,
                             writable ? MonitorClass::Writable : MonitorClass::ReadOnly);
        }
        // The unit label follows the last comma: a value text may hold commas of its own.
        std::string value, unit;
        if (firstComma != std::string::npos) {
            size_t lastComma = stored.rfind(',');
            if (lastComma == firstComma) {
                value = stored.substr(firstComma + 1);
            } else {
                value = stored.substr(firstComma + 1, lastComma - firstComma - 1);
                unit = stored.substr(lastComma + 1);
            }
        }
        int row = list.InsertRow(loaded, std::to_string(loaded + 1) + (writable ? "" : "*"));
        list.SetText(row, ParameterRows::kKeyColumn, std::to_string(entry->key));
        list.SetText(row, ParameterRows::kNameColumn, entry->name);
        list.SetText(row, ParameterRows::kDataTypeColumn, entry->dataType);
        list.SetText(row, ParameterRows::kAttributeColumn, entry->attribute);
        list.SetText(row, ParameterRows::kValueColumn, value);
        list.SetText(row, ParameterRows::kUnitColumn, unit);
        ++loaded;
    }
    return loaded;
}

bool ProjectSections::SaveWindowPlace(int panelNumber, const PlacedWindow& window, int flag,
                                      const PlacedWindow& mainWindow, int captionHeight) {
    WindowFrame frame = window.Frame();
    WindowFrame main = mainWindow.Frame();
    int64_t left = int64_t{frame.left} - main.left;
    int64_t top = int64_t{frame.top} - main.top - captionHeight;
    std::string value =
        std::to_string(flag) + "," + std::to_string(left) + "," + std::to_string(top);
    return Store(Section(kPlaceSection), {{std::to_string(panelNumber), value}});
}

WindowPlace ProjectSections::LoadWindowPlace(int panelNumber, int captionHeight) const {
    ProfileFile fresh(openPath_);
    const ProfileFile& file = openProject_ ? *openProject_ : fresh;
    std::string stored =
        file.GetString(Section(kPlaceSection), std::to_string(panelNumber), "", kPlaceBuffer);
    if (stored.empty() || stored.front() == '0') {
        return {};
    }
    // "flag,left,top": the flag and its comma are dropped.
    std::string_view rest = std::string_view(stored).substr(std::min<size_t>(2, stored.size()));
    size_t comma = rest.find(',');
    int64_t left = ReadLeadingInteger(rest.substr(0, comma));
    int64_t top = comma == std::string_view::npos ? 0 : ReadLeadingInteger(rest.substr(comma + 1));
    return {true, ClampToInt(left - 6), ClampToInt(top - 59 - captionHeight)};
}

}  // namespace tarvo
