// libFuzzer target: any bytes as an oscilloscope record file are read without a crash, a
// read out of bounds or an undefined conversion; a record that reads is written and read
// back the same; and what the oscilloscope shows after importing it exports to a record
// file that imports again to the same. TARVO_FUZZ_TRACE=1 prints both exports of a finding.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "comm/LinkSwitches.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/UnitTable.h"
#include "fuzz/FuzzDictionary.h"
#include "fuzz/FuzzFolder.h"
#include "oscilloscope/DriverOscilloModel.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeRecordFile.h"
#include "oscilloscope/ScopeUnits.h"
#include "oscilloscope/Utf16Text.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"

namespace {

using tarvo::ScopeRecord;
using tarvo::ScopeRecordFile;

// A link that takes the oscilloscope's requests and never answers.
class SilentScopeLink : public tarvo::ScopeLink {
public:
    int Request(tarvo::MessageTarget*, tarvo::SdoCommand, uint32_t, uint32_t) override { return 0; }
    tarvo::DriveSegment Segment() override { return {}; }
    bool DeferredQueueEmpty() override { return true; }
};

// A short item list: every item costs reads of the file each time a model is made.
const std::string& ItemsFile() {
    static const std::string path = tarvo::fuzz::FuzzFolder::Write(
        "sys/Oscilloscope.ini",
        "[trigger]\r\n1=604100\r\n2=606C00\r\n[channel]\r\n1=606400\r\n2=606C00\r\n"
        "3=607700\r\n");
    return path;
}

std::string_view TrimEnd(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Integer fields, texts and samples compare exactly; real numbers by their text in the file.
bool SameExceptReals(const ScopeRecord& a, const ScopeRecord& b) {
    if (a.time != b.time || a.offset != b.offset || a.number != b.number ||
        a.triggerItem != b.triggerItem || a.triggerItemValue != b.triggerItemValue ||
        TrimEnd(a.triggerCollectValue) != TrimEnd(b.triggerCollectValue) ||
        a.triggerCollectUnit != b.triggerCollectUnit || a.continuous != b.continuous ||
        a.samples.size() != b.samples.size()) {
        return false;
    }
    for (size_t n = 0; n < a.channels.size(); ++n) {
        const ScopeRecord::Channel& x = a.channels[n];
        const ScopeRecord::Channel& y = b.channels[n];
        if (x.checked != y.checked ||
            (x.checked && (x.item != y.item || x.unit != y.unit || x.autoScale != y.autoScale))) {
            return false;
        }
    }
    for (size_t k = 0; k < a.samples.size(); ++k) {
        if (a.samples[k].mask != b.samples[k].mask) {
            return false;
        }
        for (int n = 0; n < 4; ++n) {
            if ((a.samples[k].mask & (1u << n)) != 0 &&
                a.samples[k].values[n] != b.samples[k].values[n]) {
                return false;
            }
        }
    }
    return true;
}

// Written and read back, the record is the same (but for blanks that end a text, which a
// key file does not keep), and from then on writing and reading it changes nothing.
void CheckRoundTrip(const ScopeRecord& record) {
    std::string written = ScopeRecordFile::Encode(record);
    ScopeRecord again;
    ScopeRecord third;
    if (ScopeRecordFile::Decode(written, again) != ScopeRecordFile::ReadResult::kOk ||
        !SameExceptReals(record, again) ||
        ScopeRecordFile::Decode(ScopeRecordFile::Encode(again), third) !=
            ScopeRecordFile::ReadResult::kOk ||
        !SameExceptReals(again, third) ||
        ScopeRecordFile::Encode(third) != ScopeRecordFile::Encode(again)) {
        std::abort();
    }
}

// The file of a record once written and read: what any later export of it writes.
std::string Canonical(const ScopeRecord& record) {
    ScopeRecord read;
    ScopeRecordFile::Decode(ScopeRecordFile::Encode(record), read);
    return ScopeRecordFile::Encode(read);
}

// What the oscilloscope makes of an imported record.
ScopeRecord Imported(const ScopeRecord& record) {
    const tarvo::ObjectDictionary& dictionary = tarvo::fuzz::FamilyDictionary();
    tarvo::RecordingMessageBox box;
    std::atomic<tarvo::MessageTarget*> mainWindow{nullptr};
    SilentScopeLink link;
    tarvo::FormulaEvaluator evaluator(link, mainWindow, &box);
    tarvo::UnitTable unitTable(&box);
    tarvo::ScopeUnits units(dictionary, unitTable, evaluator);
    tarvo::LinkSwitches switches;
    tarvo::ManualTimer pollTimer;
    tarvo::ManualTimer restartTimer;
    tarvo::ManualTimer watchTimer;
    tarvo::DriverOscilloModel model(
        {dictionary, units, link, switches, box, pollTimer, restartTimer, watchTimer});
    model.Create(ItemsFile());
    model.ApplyRecord(record);
    model.CursorReadout(1);
    return model.MakeRecord();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ScopeRecord record;
    ScopeRecordFile::ReadResult result = ScopeRecordFile::Decode(bytes, record);
    if (result != ScopeRecordFile::ReadResult::kOk) {
        if (*ScopeRecordFile::Message(result) == '\0') {
            std::abort();  // a refusal without a message
        }
        return 0;
    }
    if (record.number < 0 || record.samples.size() > static_cast<size_t>(record.number)) {
        std::abort();
    }
    CheckRoundTrip(record);

    // Channels 1 and 2 (3 and 4) share one 32-bit slot: a record in which both hold a 32-bit
    // item describes no capture, and the channel applied last takes the slot.
    for (size_t pair : {0u, 2u}) {
        const ScopeRecord::Channel& a = record.channels[pair];
        const ScopeRecord::Channel& b = record.channels[pair + 1];
        if (a.checked && b.checked &&
            tarvo::ScopeItemCode::Width(static_cast<uint32_t>(a.item)) >= 32 &&
            tarvo::ScopeItemCode::Width(static_cast<uint32_t>(b.item)) >= 32) {
            return 0;
        }
    }
    ScopeRecord shown = Imported(record);
    CheckRoundTrip(shown);
    ScopeRecord reread;
    if (ScopeRecordFile::Decode(ScopeRecordFile::Encode(shown), reread) !=
        ScopeRecordFile::ReadResult::kOk) {
        std::abort();
    }
    ScopeRecord shownAgain = Imported(reread);
    if (std::getenv("TARVO_FUZZ_TRACE") != nullptr) {
        std::fprintf(stderr, "shown:\n%s\nshown again:\n%s\n",
                     tarvo::Utf16Text::ToUtf8(Canonical(shown)).c_str(),
                     tarvo::Utf16Text::ToUtf8(Canonical(shownAgain)).c_str());
    }
    if (!SameExceptReals(shown, shownAgain) || Canonical(shown) != Canonical(shownAgain)) {
        std::abort();
    }
    return 0;
}
