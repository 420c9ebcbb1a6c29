#include "transfer/ExportDrvDataModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "comm/LinkRequester.h"
#include "comm/LinkSwitches.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "transfer/ExclusiveLinkUse.h"
#include "transfer/TransferTexts.h"
#include "transfer/TransferValue.h"

namespace tarvo {

namespace T = TransferTexts;

namespace {
constexpr std::chrono::milliseconds kWatchPeriod{1000};
}  // namespace

ExportDrvDataModel::ExportDrvDataModel(Context context)
    : context_(context),
      listStatus_(T::kNotYetProcessed),
      readStatus_(T::kNotYetProcessed),
      saveStatus_(T::kNotYetProcessed) {}

ExportDrvDataModel::~ExportDrvDataModel() {
    context_.watchTimer.Stop();
}

void ExportDrvDataModel::BeginOpen() {
    Stop();  // the rows of a running reading go away
    opening_ = true;
    listStatus_ = T::kOpeningList;
    rows_.clear();
    if (hooks.rowsReset) {
        hooks.rowsReset();
    }
    Changed();
}

bool ExportDrvDataModel::LoadList(const std::string& path) {
    std::vector<ObjectListFile::Item> items;
    if (std::string error = ObjectListFile::Read(path, items); !error.empty()) {
        context_.messageBox.Show(T::kFileOpenFailure + error);
        return false;
    }
    LoadItems(items);
    return true;
}

void ExportDrvDataModel::LoadItems(const std::vector<ObjectListFile::Item>& items) {
    rows_.clear();
    rows_.reserve(items.size());
    for (const ObjectListFile::Item& item : items) {
        Row row;
        row.word.word = item.word;
        char text[12];
        std::snprintf(text, sizeof text, "%08X", item.word);
        row.wordText = text;
        auto entry = context_.dictionary.FindEntry(row.word.Key());
        row.known = entry.has_value();
        row.name = entry ? entry->name : T::kUnknownName;
        row.line = item.line;
        rows_.push_back(std::move(row));
    }
    current_ = 0;
    if (hooks.rowsReset) {
        hooks.rowsReset();
    }
    Changed();
}

void ExportDrvDataModel::EndOpen() {
    opening_ = false;
    listStatus_ = T::kListProcessed;
    Changed();
}

void ExportDrvDataModel::Read() {
    if (context_.switches.connectionState != ConnectionState::Open) {
        context_.messageBox.Show(T::kPortNotOpen);
        return;
    }
    if (reading_) {
        return;
    }
    context_.switches.cyclicReadEnabled = 0;
    readStatus_ = T::kStartRead;
    reading_ = true;
    stopped_ = false;
    for (Row& row : rows_) {
        row.value.clear();
        row.result = RowResult::kNone;
    }
    if (hooks.rowsReset) {
        hooks.rowsReset();
    }
    current_ = 0;
    context_.watchTimer.Start(kWatchPeriod, true, [this] { WatchConnection(); });
    Changed();
    RequestCurrent();
}

void ExportDrvDataModel::RequestCurrent() {
    if (current_ >= static_cast<int>(rows_.size())) {
        Finish();
        return;
    }
    context_.link.Request(Window(), SdoCommand::Read, rows_[current_].word.Key(), 0);
}

intptr_t ExportDrvDataModel::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_LINK_STATE) {
        ExclusiveLinkUse::OnViewState(context_.switches, static_cast<WindowState>(wParam),
                                      Window());
        return 0;
    }
    if ((message != WM_LINK_VALUE && message != WM_LINK_ABORT) || !reading_ ||
        current_ >= static_cast<int>(rows_.size())) {
        return 0;
    }
    Row& row = rows_[current_];
    // A reply to anything but the row being read (a late one after a stop) is not ours.
    if (static_cast<uint32_t>(lParam) != row.word.Key()) {
        return 0;
    }
    auto value = static_cast<uint32_t>(wParam);
    if (message == WM_LINK_ABORT) {
        row.value = TransferValue::AbortText(value);
        row.result = RowResult::kFail;
    } else {
        auto entry = context_.dictionary.FindEntry(row.word.Key());
        std::optional<std::string> text =
            TransferValue::Format(entry ? &*entry : nullptr, row.word, value);
        if (text) {
            row.value = *text;
            row.result = RowResult::kTrue;
        } else {
            // A value of no known width cannot be written back: the row fails, raw shown.
            row.value = TransferValue::AbortText(value);
            row.result = RowResult::kFail;
        }
    }
    Advance();
    return 0;
}

void ExportDrvDataModel::Advance() {
    int done = current_++;
    if (hooks.rowChanged) {
        hooks.rowChanged(done);
    }
    Changed();
    RequestCurrent();
}

void ExportDrvDataModel::Finish() {
    char text[80];
    std::snprintf(text, sizeof text, T::kExportFinish, static_cast<int>(rows_.size()),
                  FailureCount());
    EndReading(text);
}

void ExportDrvDataModel::Stop() {
    if (!reading_) {
        return;
    }
    stopped_ = true;
    char text[96];
    std::snprintf(text, sizeof text, T::kStopped, current_ + 1, static_cast<int>(rows_.size()));
    EndReading(text);
}

void ExportDrvDataModel::EndReading(const std::string& status) {
    context_.watchTimer.Stop();
    reading_ = false;
    context_.switches.cyclicReadEnabled = 1;
    readStatus_ = status;
    Changed();
    if (hooks.finished) {
        hooks.finished();
    }
}

void ExportDrvDataModel::WatchConnection() {
    if (ExclusiveLinkUse::Lost(context_.switches, Window())) {
        Stop();
    }
}

int ExportDrvDataModel::FailureCount() const {
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), std::mem_fn(&Row::Failed)));
}

std::string ExportDrvDataModel::FileText() const {
    std::vector<ParameterFile::Line> lines;
    lines.reserve(rows_.size());
    for (const Row& row : rows_) {
        lines.push_back({row.wordText, row.value, RowResultText(row.result)});
    }
    return ParameterFile::Format(lines);
}

bool ExportDrvDataModel::Save(const std::string& path) {
    saving_ = true;
    saveStatus_ = T::kStartSave;
    Changed();
    saveError_ = AtomicFile::Write(path, FileText());
    saving_ = false;
    if (!saveError_.empty()) {
        context_.messageBox.Show(T::kFileOpenFailure + saveError_);
        Changed();
        return false;
    }
    saveStatus_ = T::kSaveFinished;
    Changed();
    return true;
}

const std::string& ExportDrvDataModel::StatusText(Status status) const {
    switch (status) {
        case kListStatus:
            return listStatus_;
        case kReadStatus:
            return readStatus_;
        default:
            return saveStatus_;
    }
}

bool ExportDrvDataModel::ButtonEnabled(Button button) const {
    switch (button) {
        case kOpenButton:
            return !opening_;
        case kReadButton:
            return !reading_;
        default:
            return !reading_ && !saving_;
    }
}

void ExportDrvDataModel::Changed() {
    if (hooks.stateChanged) {
        hooks.stateChanged();
    }
}

}  // namespace tarvo
