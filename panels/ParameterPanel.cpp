#include "panels/ParameterPanel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include "dictionary/LeadingNumber.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ProjectSections.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"
#include "panels/PanelLink.h"
#include "platform/LenientNumber.h"
#include "platform/ProfileFile.h"
#include "platform/TextCodec.h"

namespace tarvo {

namespace {

constexpr size_t kDefinitionBuffer = 32;

bool IsTextType(std::string_view dataType) {
    std::string upper(dataType);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper == "VISIBLE STRING";
}

std::string RowLabel(int position, bool writable, bool fromZero) {
    return std::to_string(fromZero ? position : position + 1) + (writable ? "" : "*");
}

// The line numbers from 1 to `count` that a definition section holds, ascending: the
// lines between them are missing and add no row, so a huge "num" costs nothing.
std::vector<int64_t> DefinitionLines(const ProfileFile& file, std::string_view section,
                                     int64_t count) {
    std::vector<int64_t> lines;
    for (const std::string& key : file.GetKeys(section)) {
        // Only the decimal text of a number names its line ("01" is not line 1).
        if (key.empty() || key.size() > 10 || key.front() == '0' ||
            !std::all_of(key.begin(), key.end(), [](unsigned char c) { return std::isdigit(c); })) {
            continue;
        }
        int64_t line = std::stoll(key);
        if (line <= count) {
            lines.push_back(line);
        }
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

}  // namespace

ParameterPanel::ParameterPanel(const PanelDescription& description, PanelServices services)
    : description_(description), services_(std::move(services)) {}

// The link keeps the panel's real-time entries; they must not be read for a panel that is
// gone.
ParameterPanel::~ParameterPanel() {
    services_.link.DisableMonitor(this);
}

bool ParameterPanel::Connected() const {
    return services_.connectionState.load() == ConnectionState::Open;
}

uint32_t ParameterPanel::KeyOfRow(int row) const {
    return ParseDecimalText(list_.Text(row, ParameterRows::kKeyColumn));
}

void ParameterPanel::Create() {
    const PanelTraits& traits = description_.traits;
    if (!traits.definitionOnly && services_.projectOpened && services_.projectOpened()) {
        services_.project.LoadListRows(list_, description_.panelNumber, this);
    }
    if (list_.RowCount() == 0) {
        LoadPanelDefinition();
    }
    active_ = true;
    if (traits.firstPassNeedsConnection && !Connected()) {
        passCursor_ = 0;
        return;
    }
    StartPass();
}

void ParameterPanel::LoadPanelDefinition() {
    ProfileFile file =
        ProfileFile::ReadOnce(services_.programFolder + "/sys/" + description_.panelName + ".ini");
    std::string_view section = description_.panelName;
    std::string problem = file.SectionProblem(section);
    int64_t count = ReadLeadingInteger(file.GetString(section, "num", "", kDefinitionBuffer));
    if (problem.empty() && count <= 0) {
        problem =
            file.Path() + ": section [" + std::string(section) + "] gives no row count (num=)";
    }
    if (!problem.empty() && services_.reportProblem) {
        services_.reportProblem(problem);
    }
    if (count <= 0) {
        return;
    }
    // "num" is a 32-bit number to the settings reader; so is every row's position.
    count = std::min<int64_t>(count, std::numeric_limits<int32_t>::max());
    for (int64_t line : DefinitionLines(file, section, count)) {
        std::string text = file.GetString(section, std::to_string(line), "", kDefinitionBuffer);
        if (!text.empty()) {
            AddEntryRow(ParseHexText(text), static_cast<int>(line - 1), true);
        }
    }
}

std::string ParameterPanel::HelpOfRow(int row) const {
    if (row < 0 || row >= list_.RowCount()) {
        return {};
    }
    std::optional<DictionaryEntry> entry = services_.dictionary.FindEntry(KeyOfRow(row));
    return entry ? entry->help : std::string();
}

const EntryFacts* ParameterPanel::FactsOfRow(int row) const {
    if (row < 0 || row >= list_.RowCount()) {
        return nullptr;
    }
    return services_.dictionary.FactsOf(KeyOfRow(row));
}

bool ParameterPanel::ContainsKey(uint32_t key) const {
    for (int row = 0; row < list_.RowCount(); ++row) {
        if (KeyOfRow(row) == key) {
            return true;
        }
    }
    return false;
}

void ParameterPanel::AddEntryRow(uint32_t key, int position, bool fromDefinition) {
    if (position < 0 || ContainsKey(key)) {
        return;
    }
    std::optional<DictionaryEntry> entry = services_.dictionary.FindEntry(key);
    if (!entry || (!fromDefinition && IsTextType(entry->dataType))) {
        return;
    }
    std::string unitLabel;
    if (!services_.units.RegisterUnits(entry->key, entry->unitSpec, unitLabel)) {
        return;
    }
    if (IsTextType(entry->dataType)) {
        unitLabel.clear();  // a text has no unit to show or choose
    }
    bool writable = entry->HasAttribute('W');
    if (entry->HasAttribute('L')) {
        services_.link.RegisterMonitor(this, entry->key,
                                       writable ? MonitorClass::Writable : MonitorClass::ReadOnly);
    }
    int row =
        list_.InsertRow(position, RowLabel(position, writable, description_.traits.labelsFromZero));
    list_.SetText(row, ParameterRows::kKeyColumn, std::to_string(entry->key));
    list_.SetText(row, ParameterRows::kNameColumn, entry->name);
    list_.SetText(row, ParameterRows::kDataTypeColumn, entry->dataType);
    list_.SetText(row, ParameterRows::kAttributeColumn, entry->attribute);
    list_.SetText(row, ParameterRows::kUnitColumn, unitLabel);
    if (Connected()) {
        services_.link.Request(this, SdoCommand::Read, entry->key, 0);
    }
    // A fieldbus page numbers its rows by place: a row appended after a definition line
    // that named no entry sits before `position` and is labelled by its own place.
    RenumberRows(description_.traits.labelsFromZero ? std::min(row, position) : position);
}

void ParameterPanel::RenumberRows(int from) {
    for (int row = std::max(from, 0); row < list_.RowCount(); ++row) {
        bool writable =
            list_.Text(row, ParameterRows::kAttributeColumn).find('W') != std::string::npos;
        std::string label = RowLabel(row, writable, description_.traits.labelsFromZero);
        if (list_.Text(row, ParameterRows::kLabelColumn) != label) {
            list_.SetText(row, ParameterRows::kLabelColumn, label);
        }
    }
}

void ParameterPanel::DeleteSelectedRows() {
    std::vector<int> selected = list_.SelectedRows();
    while (!selected.empty()) {
        int row = selected.front();
        list_.DeleteRow(row);
        // The pass reads on with the row that moved into the place of the next one.
        if (passCursor_ > 1 && row < passCursor_ - 1) {
            --passCursor_;
        }
        if (description_.traits.deleteRenumbers) {
            RenumberRows(row);
        }
        selected = list_.SelectedRows();
    }
}

bool ParameterPanel::IsReadOnlyRow(int row) const {
    return list_.Text(row, ParameterRows::kLabelColumn).find('*') != std::string::npos;
}

void ParameterPanel::StartPass() {
    passCursor_ = 1;
    passKey_ = 0;
    ReadNextRow();
}

void ParameterPanel::ReadNextRow() {
    if (passCursor_ > list_.RowCount()) {
        passCursor_ = 0;
        passKey_ = 0;
        return;
    }
    passKey_ = KeyOfRow(passCursor_ - 1);
    ++passCursor_;
    services_.link.Request(this, SdoCommand::Read, passKey_, 0);
}

// Only the answer to the pass's own read moves it on, so that monitor values and write
// replies arriving meanwhile never put a second read of the pass in flight.
void ParameterPanel::ContinuePass(uint32_t key) {
    if (passCursor_ != 0 && key == passKey_) {
        ReadNextRow();
    }
}

intptr_t ParameterPanel::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto key = static_cast<uint32_t>(lParam);
    switch (message) {
        case WM_LINK_VALUE:
            OnLinkValue(static_cast<uint32_t>(wParam), key);
            break;
        case WM_LINK_ABORT:
            OnLinkAbort(key);
            break;
        case WM_LINK_SEGMENT:
            OnLinkSegment(key);
            break;
        case WM_LINK_STATE:
            if (static_cast<WindowState>(wParam) == WindowState::LinkLost) {
                list_.MarkAllStale(lParam);
            }
            OnLinkState(static_cast<WindowState>(wParam));
            break;
        case WM_OBJECT_PICKED:
            OnObjectPicked(key);
            break;
        case WM_ROW_EDITED:
            OnRowEdited(static_cast<int>(wParam), static_cast<int>(lParam));
            break;
        default:
            break;
    }
    return 0;
}

void ParameterPanel::ShowText(uint32_t key, const std::string& text) {
    int row = ValueText::FindRowByKey(&list_, key).row;
    if (row != -1 && list_.Text(row, ParameterRows::kValueColumn) != text) {
        list_.SetText(row, ParameterRows::kValueColumn, text);
    }
    list_.SetFresh(row);  // the drive answered: the text is live again
}

void ParameterPanel::OnLinkValue(uint32_t raw, uint32_t key) {
    RowLookup found = ValueText::FindRowByKey(&list_, key);
    if (description_.traits.segmentedText && found.row != -1 && IsTextType(found.dataType)) {
        // The read announced a text; its bytes follow in segments.
        uploadKey_ = key;
        uploadText_.clear();
        upload_.Start();
        services_.link.Request(this, upload_.NextCommand(), key, 0);
        return;
    }
    // A value that cannot be converted leaves the row's text as it was; the pass goes on
    // with the next row so that one such row cannot keep the rows below it empty.
    std::optional<double> number = ValueText::RawToNumber(found.dataType, raw);
    if (number) {
        double value = *number;
        std::string formula;
        bool converted = false;
        if (services_.values.ApplyUnit(this, key, found.unitLabel, value, formula, converted) &&
            found.row != -1) {
            std::string text;
            if (converted) {
                text = ValueText::NumberToText(found.unitLabel, found.dataType, formula, value);
            } else {
                char buffer[64];
                std::snprintf(buffer, sizeof buffer, "%.0f", value);
                text = buffer;
            }
            ShowText(key, text);
            list_.SetRawValue(found.row, static_cast<int64_t>(*number));
        }
    }
    ContinuePass(key);
}

void ParameterPanel::OnLinkAbort(uint32_t key) {
    ShowText(key, kRefused);
    list_.SetRawValue(ValueText::FindRowByKey(&list_, key).row, std::nullopt);
    if (key == uploadKey_) {
        uploadKey_ = 0;
    }
    ContinuePass(key);
}

void ParameterPanel::OnLinkSegment(uint32_t key) {
    if (!description_.traits.segmentedText || uploadKey_ == 0 || key != uploadKey_) {
        return;
    }
    DriveSegment segment = services_.link.GetSegment();
    size_t count = std::min<size_t>(segment.count, segment.bytes.size());
    // A zero byte ends the segment's part of the text.
    for (size_t i = 0; i < count && segment.bytes[i] != 0; ++i) {
        uploadText_.push_back(static_cast<char>(segment.bytes[i]));
    }
    if (upload_.Take(segment.count, segment.bytes.data(), segment.last) ==
        SegmentedUploadClient::Step::NextSegment) {
        services_.link.Request(this, upload_.NextCommand(), key, 0);
        return;
    }
    uploadKey_ = 0;
    // The drive's texts are in the code page of the interface language.
    ShowText(key, services_.values.CodePageInUse() == ValueText::CodePage::kChinese
                      ? TextCodec::GbkToUtf8(uploadText_)
                      : TextCodec::Windows1252ToUtf8(uploadText_));
    ContinuePass(key);
}

void ParameterPanel::OnLinkState(WindowState state) {
    const PanelTraits& traits = description_.traits;
    switch (state) {
        case WindowState::Shown:
            if (Connected()) {
                StartPass();
            }
            services_.link.EnableMonitor(this);
            active_ = true;
            break;
        case WindowState::Hidden:
            passCursor_ = 0;
            passKey_ = 0;
            active_ = false;
            services_.link.DisableMonitor(this);
            break;
        case WindowState::ConnectionChanged:
            if (!traits.followsConnection || !active_) {
                break;
            }
            if (Connected()) {
                StartPass();
            } else {
                passCursor_ = 0;
                passKey_ = 0;
            }
            break;
        case WindowState::SaveProject:
            if (traits.projectRows) {
                services_.project.SaveListRows(list_, description_.panelNumber);
            }
            if (placeSaver_) {
                placeSaver_(description_.panelNumber, active_ ? 1 : 0);
            }
            break;
        case WindowState::ProjectOpened:
            if (traits.projectRows) {
                services_.project.LoadListRows(list_, description_.panelNumber, this);
            }
            if (Connected()) {
                StartPass();
            }
            break;
        default:
            break;
    }
}

int ParameterPanel::SelectedFocusedRow() const {
    for (int row : list_.SelectedRows()) {
        if (list_.IsFocused(row)) {
            return row;
        }
    }
    return -1;
}

void ParameterPanel::OnObjectPicked(uint32_t key) {
    int row = SelectedFocusedRow();
    list_.ClearSelection();
    AddEntryRow(key, row == -1 ? list_.RowCount() : row, false);
}

void ParameterPanel::OnRowEdited(int row, int column) {
    if (!Connected() || row < 0 || row >= list_.RowCount()) {
        return;
    }
    if (column == ParameterRows::kValueColumn) {
        services_.values.WriteEditedValue(this, list_, row);
    } else if (column == ParameterRows::kUnitColumn) {
        services_.link.Request(this, SdoCommand::Read, KeyOfRow(row), 0);
    }
}

bool ParameterPanel::IsCommandEnabled(int command) const {
    switch (command) {
        case kAdd:
            return true;
        case kDelete:
            return list_.SelectedCount() > 0;
        case kHelp:
            return !description_.traits.helpNeedsSelection || list_.SelectedCount() > 0;
        default:
            return false;
    }
}

void ParameterPanel::RunCommand(int command) {
    if (!IsCommandEnabled(command)) {
        return;
    }
    switch (command) {
        case kAdd:
            if (services_.setPickTarget) {
                services_.setPickTarget(this);
            }
            if (MessageTarget* main = services_.mainWindow.load()) {
                main->onMessage(WM_OPEN_VIEW, 2, 0);
            }
            break;
        case kDelete:
            DeleteSelectedRows();
            break;
        case kHelp: {
            int row = SelectedFocusedRow();
            list_.ClearSelection();
            if (row != -1) {
                services_.values.ShowEntryHelp(KeyOfRow(row));
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace tarvo
