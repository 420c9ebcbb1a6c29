#include "dictionary/ObjectDictionary.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "dictionary/DataFileRecord.h"
#include "platform/CodePageDecoder.h"
#include "platform/InputFile.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"

namespace tarvo {

namespace {

constexpr const char* kThreadFailure = "Create Load SDO thread failure! \n";
constexpr const char* kFileFailure = "Couldn't load DB file!! \n";

void Tell(MessageBox* box, const char* text) {
    if (box != nullptr) {
        box->Show(text);
    }
}

// An index as the data file's builder writes it: hexadecimal digits only.
bool IsHexIndex(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    });
}

}  // namespace

ObjectDictionary::~ObjectDictionary() {
    StopLoader();
}

void ObjectDictionary::StopLoader() {
    {
        std::lock_guard lock(stateMutex_);
        stopping_ = true;
    }
    stateChanged_.notify_all();
    if (loader_.joinable()) {
        loader_.join();
    }
}

void ObjectDictionary::StartLoader(LoaderSettings settings) {
    try {
        loader_ = std::thread(&ObjectDictionary::RunLoader, this, settings);
    } catch (const std::system_error&) {
        Tell(settings.messageBox, kThreadFailure);
        MarkLoaded();
    }
}

bool ObjectDictionary::Pause(std::chrono::milliseconds period) {
    std::unique_lock lock(stateMutex_);
    return !stateChanged_.wait_for(lock, period, [this] { return stopping_; });
}

void ObjectDictionary::RunLoader(LoaderSettings settings) {
    ProfileFile settingsFile(settings.settingsFilePath);
    std::atomic<uint8_t> localLanguage{0};
    std::atomic<uint8_t>& shared =
        settings.languageSetting != nullptr ? *settings.languageSetting : localLanguage;
    std::string lang;
    // The first start writes the language from the language dialog; wait for it. Start-up
    // settles English on other systems without writing it, so a settled language also
    // ends the wait (else the dictionary would never load there).
    while ((lang = settingsFile.GetString("sys", "lang", "", 4)).empty()) {
        uint8_t settled = shared.load();
        if (settled == 1 || settled == 2) {
            lang = std::to_string(settled);
            break;
        }
        if (!Pause(std::chrono::milliseconds(100))) {
            MarkLoaded();
            return;
        }
    }
    uint8_t language = static_cast<uint8_t>(ParseDecimalText(lang));
    if (language == 1 && !settings.systemIsChinese) {
        language = 2;
    }
    shared.store(language);
    // 3 means "not settled yet": start-up settles it and the loader follows.
    while (shared.load() == 3) {
        if (!Pause(std::chrono::milliseconds(30))) {
            MarkLoaded();
            return;
        }
    }
    LoadFile(settings.dataFilePath, shared.load(), settings.messageBox);
}

bool ObjectDictionary::LoadFile(const std::string& path, int language, MessageBox* messageBox) {
    std::string bytes;
    std::string problem = InputFile::Read(path, bytes, kDataFileLimit);
    if (!problem.empty()) {
        Fail(messageBox, problem);
        return false;
    }
    // Room for every entry up front, so that appending never rehashes the index.
    {
        std::unique_lock lock(entriesMutex_);
        firstPosition_.reserve(firstPosition_.size() + bytes.size() / DataFileRecord::kSize + 1);
    }
    const bool chinese = (language == 1);
    // Every text field is in the code page of the interface language, as the system's own
    // code page would read it: GBK for Chinese, Windows-1252 otherwise.
    CodePageDecoder decoder(chinese ? "GBK" : "WINDOWS-1252");
    const auto nameField = chinese ? DataFileRecord::kNameChinese : DataFileRecord::kNameEnglish;
    const auto helpField = chinese ? DataFileRecord::kHelpChinese : DataFileRecord::kHelpEnglish;
    int wellFormed = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += DataFileRecord::kSize) {
        size_t present = std::min(DataFileRecord::kSize, bytes.size() - offset);
        // A truncated last record keeps the fields that were read; one cut inside its index
        // has no index to be found by and ends the dictionary.
        if (present < DataFileRecord::kWidth[DataFileRecord::kIndex]) {
            break;
        }
        DataFileRecord record = DataFileRecord::Split(bytes.data() + offset, present);
        DictionaryEntry entry;
        entry.index = static_cast<int32_t>(ParseHexText(record.fields[DataFileRecord::kIndex]));
        if (entry.index == 0) {
            break;
        }
        wellFormed += IsHexIndex(record.fields[DataFileRecord::kIndex]) ? 1 : 0;
        entry.subIndex =
            static_cast<uint8_t>(ParseHexText(record.fields[DataFileRecord::kSubIndex]));
        entry.key = static_cast<uint32_t>(entry.index) * 256u + entry.subIndex;
        entry.name = decoder.Decode(record.fields[nameField]);
        entry.help = decoder.Decode(record.fields[helpField]);
        entry.dataType = decoder.Decode(record.fields[DataFileRecord::kDataType]);
        entry.attribute = decoder.Decode(record.fields[DataFileRecord::kAttribute]);
        entry.unitSpec = decoder.Decode(record.fields[DataFileRecord::kUnitSpec]);
        entry.modbusAddress = ParseHexText(record.fields[DataFileRecord::kModbusAddress]);
        Append(std::move(entry));
    }
    if (wellFormed == 0) {
        // Empty, or bytes of something else: not one record begins with an index.
        Fail(messageBox, path + " holds no dictionary entry");
        return false;
    }
    // A bad facts file costs the names and ranges, never the dictionary itself.
    factsProblem_ = facts_.Load(EntryFactsTable::PathBeside(path), language);
    MarkLoaded();
    return true;
}

void ObjectDictionary::Fail(MessageBox* messageBox, const std::string& problem) {
    {
        std::lock_guard lock(stateMutex_);
        loadProblem_ = problem;
    }
    if (messageBox != nullptr) {
        messageBox->Show(kFileFailure + problem);
    }
    MarkLoaded();
}

const EntryFacts* ObjectDictionary::FactsOf(uint32_t key) const {
    return IsLoaded() ? facts_.Find(key) : nullptr;
}

std::string ObjectDictionary::FactsProblem() const {
    return IsLoaded() ? factsProblem_ : std::string();
}

std::string ObjectDictionary::LoadProblem() const {
    std::lock_guard lock(stateMutex_);
    return loadProblem_;
}

void ObjectDictionary::Append(DictionaryEntry&& entry) {
    std::unique_lock lock(entriesMutex_);
    firstPosition_.try_emplace(entry.key, entries_.size());
    entries_.push_back(std::move(entry));
}

void ObjectDictionary::MarkLoaded() {
    {
        std::lock_guard lock(stateMutex_);
        loaded_.store(true, std::memory_order_release);
    }
    stateChanged_.notify_all();
}

bool ObjectDictionary::WaitLoaded(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(stateMutex_);
    return stateChanged_.wait_for(lock, timeout, [this] { return loaded_.load(); });
}

std::optional<DictionaryEntry> ObjectDictionary::EntryAt(int position) const {
    std::shared_lock lock(entriesMutex_);
    if (position < 0 || static_cast<size_t>(position) >= entries_.size()) {
        return std::nullopt;
    }
    return entries_[static_cast<size_t>(position)];
}

std::optional<DictionaryEntry> ObjectDictionary::FindEntry(uint32_t key) const {
    std::shared_lock lock(entriesMutex_);
    auto it = firstPosition_.find(key);
    if (it == firstPosition_.end()) {
        return std::nullopt;
    }
    return entries_[it->second];
}

int ObjectDictionary::EntryCount() const {
    std::shared_lock lock(entriesMutex_);
    return static_cast<int>(entries_.size());
}

}  // namespace tarvo
