#include "transfer/ImportDrvDataModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "comm/LinkRequester.h"
#include "comm/LinkSwitches.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ValueText.h"
#include "platform/InputFile.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "protocol/DriveObjects.h"
#include "transfer/ExclusiveLinkUse.h"
#include "transfer/TransferTexts.h"
#include "transfer/TransferValue.h"

namespace tarvo {

namespace T = TransferTexts;

namespace {
constexpr std::chrono::milliseconds kWatchPeriod{1000};
constexpr std::chrono::milliseconds kFirstStoreWait{100};
constexpr std::chrono::milliseconds kSecondStoreWait{400};
constexpr std::chrono::milliseconds kLastStoreWait{800};
}  // namespace

ImportDrvDataModel::ImportDrvDataModel(Context context)
    : context_(context),
      loadStatus_(T::kNotYetProcessed),
      writeStatus_(T::kNotYetProcessed),
      storeStatus_(T::kNotYetProcessed) {}

ImportDrvDataModel::~ImportDrvDataModel() {
    context_.watchTimer.Stop();
    context_.storeTimer.Stop();
}

void ImportDrvDataModel::BeginOpen() {
    Stop();  // the rows of a running write go away
    compared_ = false;
    opening_ = true;
    loadStatus_ = T::kOpeningImport;
    rows_.clear();
    skipped_.clear();
    loadError_.clear();
    // The results of the previous file say nothing about the next one.
    writeStatus_ = T::kNotYetProcessed;
    if (!storing_) {
        storeStatus_ = T::kNotYetProcessed;
    }
    if (hooks.rowsReset) {
        hooks.rowsReset();
    }
    Changed();
}

bool ImportDrvDataModel::LoadFile(const std::string& path) {
    std::string content;
    loadError_ = InputFile::Read(path, content);
    if (!loadError_.empty()) {
        context_.messageBox.Show(T::kFileOpenFailure + loadError_);
        return false;
    }
    LoadText(content);
    return true;
}

std::string ImportDrvDataModel::UnreadableLines() const {
    constexpr int kShown = 5;
    int count = 0;
    std::string numbers;
    for (const ParameterFile::Skipped& skipped : skipped_) {
        if (!ParameterFile::Unreadable(skipped.reason)) {
            continue;
        }
        if (++count <= kShown) {
            numbers += (count > 1 ? ", " : "") + std::to_string(skipped.line);
        }
    }
    if (count == 0) {
        return {};
    }
    return std::to_string(count) + (count == 1 ? " line" : " lines") +
           " could not be read: " + numbers + (count > kShown ? " ..." : ".");
}

std::string ImportDrvDataModel::RowProblem(const Row& row) const {
    if (!row.word.HasValidSize()) {
        return "its size " + std::to_string(row.word.SizeBits()) + " is not 8, 16 or 32 bits";
    }
    DictionaryEntry storage;
    const DictionaryEntry* entry = EntryOf(row, storage);
    if (entry != nullptr && ValueText::TypeWidth(entry->dataType) == 0) {
        return "the dictionary gives its entry no width to check the value with";
    }
    if (row.loadValue.empty()) {
        return "it has no value";
    }
    if (!TransferValue::ParseLoadValue(row.loadValue, row.word.SizeBits())) {
        return "its value \"" + row.loadValue + "\" is no number of its size";
    }
    return {};
}

void ImportDrvDataModel::LoadText(std::string_view text) {
    warned_ = false;
    compared_ = false;
    ParameterFile::LoadResult loaded = ParameterFile::Parse(text);
    rows_.clear();
    rows_.reserve(loaded.rows.size());
    for (ParameterFile::Loaded& line : loaded.rows) {
        Row row;
        row.word.word = ParseHexText(line.word);
        row.wordText = std::move(line.word);
        auto entry = context_.dictionary.FindEntry(row.word.Key());
        row.known = entry.has_value();
        row.name = entry ? entry->name : T::kUnknownName;
        row.loadValue = std::move(line.value);
        row.line = line.line;
        rows_.push_back(std::move(row));
    }
    skipped_ = std::move(loaded.skipped);
    if (hooks.rowsReset) {
        hooks.rowsReset();
    }
    Changed();
}

void ImportDrvDataModel::EndOpen() {
    opening_ = false;
    loadStatus_ = T::kImportLoaded;
    std::string unreadable = UnreadableLines();
    if (!unreadable.empty()) {
        loadStatus_ += " " + unreadable;
    }
    Changed();
}

const DictionaryEntry* ImportDrvDataModel::EntryOf(const Row& row, DictionaryEntry& storage) const {
    auto entry = context_.dictionary.FindEntry(row.word.Key());
    if (!entry) {
        return nullptr;
    }
    storage = std::move(*entry);
    return &storage;
}

bool ImportDrvDataModel::Writable(const Row& row, uint32_t& raw) const {
    if (!RowProblem(row).empty()) {
        return false;
    }
    raw = *TransferValue::ParseLoadValue(row.loadValue, row.word.SizeBits());
    return true;
}

bool ImportDrvDataModel::CanRun() {
    if (context_.switches.connectionState != ConnectionState::Open) {
        context_.messageBox.Show(T::kPortNotOpen);
        return false;
    }
    return !running_ && !storing_;
}

void ImportDrvDataModel::BeginRun(RunKind kind) {
    context_.switches.cyclicReadEnabled = 0;
    context_.switches.transmitRetry = 1;
    writeStatus_ = T::kStartWrite;
    kind_ = kind;
    running_ = true;
    stopped_ = false;
    compared_ = false;
    writesSent_ = 0;
    context_.watchTimer.Start(kWatchPeriod, true, [this] { WatchConnection(); });
}

void ImportDrvDataModel::Start(RunKind kind) {
    if (!CanRun()) {
        return;
    }
    BeginRun(kind);
    for (Row& row : rows_) {
        uint32_t raw = 0;
        row.readValue.clear();
        row.result = Writable(row, raw) ? RowResult::kNone : RowResult::kSkipped;
    }
    if (hooks.rowsReset) {
        hooks.rowsReset();
    }
    BeginPhase(1);
}

bool ImportDrvDataModel::WriteDiffering() {
    if (!compared_ || !CanRun()) {
        return false;
    }
    // The compare was the first pass of writing the changed rows: go on with its writes.
    BeginRun(RunKind::kWriteChanged);
    BeginPhase(2);
    return true;
}

void ImportDrvDataModel::BeginPhase(int phase) {
    phase_ = phase;
    // The rows written in phase 2 are the ones read back in phase 3; the others were read
    // once in phase 1 and hold the file's value.
    std::vector<Step> written = std::move(steps_);
    steps_.clear();
    step_ = 0;
    if (phase == 3) {
        for (const Step& step : written) {
            steps_.push_back({step.row, Action::kRead});
        }
    }
    for (int i = 0; i < static_cast<int>(rows_.size()) && phase != 3; ++i) {
        Row& row = rows_[i];
        if (row.result == RowResult::kSkipped) {
            continue;
        }
        if (kind_ == RunKind::kWrite) {
            steps_.push_back({i, Action::kWrite});
            steps_.push_back({i, Action::kRead});
        } else if (phase == 2) {
            if (row.result != RowResult::kTrue) {
                steps_.push_back({i, Action::kWrite});
            }
        } else {
            steps_.push_back({i, Action::kRead});
        }
    }
    if (phase == 3) {
        for (const Step& step : steps_) {
            rows_[step.row].readValue.clear();
            rows_[step.row].result = RowResult::kNone;
        }
        if (hooks.rowsReset) {
            hooks.rowsReset();
        }
    }
    Changed();
    SendStep();
}

void ImportDrvDataModel::SendStep() {
    if (step_ >= steps_.size()) {
        if (kind_ == RunKind::kWriteChanged && phase_ == 1) {
            BeginPhase(2);
        } else if (kind_ == RunKind::kWriteChanged && phase_ == 2 && !steps_.empty()) {
            BeginPhase(3);
        } else {
            FinishRun();
        }
        return;
    }
    const Step& step = steps_[step_];
    const Row& row = rows_[step.row];
    if (step.action == Action::kRead) {
        context_.link.Request(Window(), SdoCommand::Read, row.word.Key(), 0);
        return;
    }
    uint32_t raw = 0;
    Writable(row, raw);
    ++writesSent_;
    // Rows without a write command were skipped when the run was planned.
    context_.link.Request(Window(), row.word.WriteCommand().value_or(SdoCommand::Read),
                          row.word.Key(), raw);
}

intptr_t ImportDrvDataModel::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_LINK_STATE) {
        if (ExclusiveLinkUse::OnViewState(context_.switches, static_cast<WindowState>(wParam),
                                          Window()) &&
            context_.mainFrame != nullptr) {
            context_.mainFrame->onMessage(WM_BROADCAST_STATE, 0, 0);
        }
        return 0;
    }
    if (message != WM_LINK_VALUE && message != WM_LINK_ABORT) {
        return 0;
    }
    auto value = static_cast<uint32_t>(wParam);
    auto address = static_cast<uint32_t>(lParam);
    if (storing_) {
        if (storeObject_ == 0 || address != storeObject_) {
            return 0;
        }
        storeObject_ = 0;
        if (message == WM_LINK_ABORT) {
            storeFailed_ = true;
            PerformStoreStep(value);
        } else {
            // A refused store turns into a read of the object, which does not hold 1.
            storeFailed_ = storeFailed_ || value != 1;
            PerformStoreStep(++storeStep_);
        }
        return 0;
    }
    if (running_) {
        HandleReply(message, value, address);
    }
    return 0;
}

void ImportDrvDataModel::HandleReply(uint32_t message, uint32_t value, uint32_t address) {
    if (step_ >= steps_.size()) {
        return;
    }
    const Step step = steps_[step_];
    Row& row = rows_[step.row];
    // Only the answer to the request in flight counts (the reboot's reply, for one, does not).
    if (address != row.word.Key()) {
        return;
    }
    if (step.action == Action::kWrite) {
        if (message == WM_LINK_ABORT) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%x", address);
            row.readValue = text;
            row.result = RowResult::kFail;
            if (kind_ == RunKind::kWrite) {
                ++step_;  // nothing to read back
            }
            if (hooks.rowChanged) {
                hooks.rowChanged(step.row);
            }
        }
        // The write's own reply proves nothing: the value is checked by reading it back.
    } else {
        if (message == WM_LINK_ABORT) {
            row.readValue = TransferValue::AbortText(value);
            row.result = RowResult::kFail;
        } else {
            Verify(row, value);
        }
        if (hooks.rowChanged) {
            hooks.rowChanged(step.row);
        }
    }
    ++step_;
    Changed();
    SendStep();
}

void ImportDrvDataModel::Verify(Row& row, uint32_t value) {
    DictionaryEntry storage;
    const DictionaryEntry* entry = EntryOf(row, storage);
    std::optional<std::string> text = TransferValue::Format(entry, row.word, value);
    row.readValue = text ? *text : TransferValue::AbortText(value);
    bool same = text && TransferValue::Matches(entry, row.word, row.loadValue, *text);
    row.result = same ? RowResult::kTrue : RowResult::kAlarm;
}

void ImportDrvDataModel::FinishRun() {
    context_.watchTimer.Stop();
    running_ = false;
    char text[96];
    std::snprintf(text, sizeof text, T::kImportFinish, static_cast<int>(rows_.size()), AlarmCount(),
                  ErrorCount());
    bool trouble = AlarmCount() > 0 || ErrorCount() > 0;
    if (kind_ != RunKind::kCompare && trouble && !warned_) {
        context_.messageBox.Show(std::string(text) + T::kRewrite);
        warned_ = true;
    }
    writeStatus_ = text;
    compared_ = kind_ == RunKind::kCompare;
    if (kind_ != RunKind::kCompare && trouble) {
        writeStatus_ += T::kRewriteHint;
    }
    context_.switches.cyclicReadEnabled = 1;
    Changed();
    if (hooks.finished) {
        hooks.finished();
    }
}

void ImportDrvDataModel::Stop() {
    if (!running_) {
        return;
    }
    context_.watchTimer.Stop();
    running_ = false;
    stopped_ = true;
    context_.switches.cyclicReadEnabled = 1;
    int row = step_ < steps_.size() ? steps_[step_].row + 1 : static_cast<int>(rows_.size());
    char text[96];
    std::snprintf(text, sizeof text, T::kStopped, row, static_cast<int>(rows_.size()));
    writeStatus_ = text;
    Changed();
    if (hooks.finished) {
        hooks.finished();
    }
}

void ImportDrvDataModel::WatchConnection() {
    if (ExclusiveLinkUse::Lost(context_.switches, Window())) {
        Stop();
    }
}

void ImportDrvDataModel::SaveParameters() {
    if (context_.switches.connectionState != ConnectionState::Open) {
        context_.messageBox.Show(T::kPortNotOpen);
        return;
    }
    if (running_ || storing_) {
        return;
    }
    storing_ = true;
    storeFailed_ = false;
    storeStatus_ = T::kStoring;
    storeStep_ = 1;
    Changed();
    PerformStoreStep(storeStep_);
}

void ImportDrvDataModel::PerformStoreStep(uint32_t step) {
    if (step == 1 || step == DriveObject::kStoreMotorParameters) {
        context_.storeTimer.Start(kFirstStoreWait, false, [this] {
            storeObject_ = DriveObject::kStoreMotorParameters;
            context_.link.Request(Window(), SdoCommand::Write8, DriveObject::kStoreMotorParameters,
                                  DriveObject::kStoreCommand);
        });
    } else if (step == 2 || step == DriveObject::kStoreControlParameters) {
        context_.storeTimer.Start(kSecondStoreWait, false, [this] {
            storeObject_ = DriveObject::kStoreControlParameters;
            context_.link.Request(Window(), SdoCommand::Write8,
                                  DriveObject::kStoreControlParameters, DriveObject::kStoreCommand);
        });
    } else {
        context_.storeTimer.Start(kLastStoreWait, false, [this] {
            storing_ = false;
            storeStatus_ = storeFailed_ ? T::kStoreFailed : T::kStoreFinished;
            Changed();
            if (hooks.storeFinished) {
                hooks.storeFinished();
            }
        });
    }
}

void ImportDrvDataModel::Reboot() {
    if (context_.switches.connectionState != ConnectionState::Open) {
        context_.messageBox.Show(T::kPortNotOpen);
        return;
    }
    if (running_ || storing_) {
        return;  // it would take the place of the request in flight
    }
    context_.switches.transmitRetry = 0;
    context_.link.Request(Window(), SdoCommand::Write16, DriveObject::kReboot,
                          DriveObject::kRebootValue);
}

int ImportDrvDataModel::RowsDone() const {
    return static_cast<int>(std::count_if(
        rows_.begin(), rows_.end(), [](const Row& row) { return row.result != RowResult::kNone; }));
}

int ImportDrvDataModel::AlarmCount() const {
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), std::mem_fn(&Row::Alarmed)));
}

int ImportDrvDataModel::ErrorCount() const {
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), std::mem_fn(&Row::Failed)));
}

const std::string& ImportDrvDataModel::StatusText(Status status) const {
    switch (status) {
        case kLoadStatus:
            return loadStatus_;
        case kWriteStatus:
            return writeStatus_;
        default:
            return storeStatus_;
    }
}

bool ImportDrvDataModel::ButtonEnabled(Button button) const {
    switch (button) {
        case kOpenButton:
            return !opening_;
        case kWriteButton:
            return !running_;
        case kStoreButton:
            return !running_ && !storing_;
        default:
            return !running_ && !storing_;
    }
}

void ImportDrvDataModel::Changed() {
    if (hooks.stateChanged) {
        hooks.stateChanged();
    }
}

}  // namespace tarvo
