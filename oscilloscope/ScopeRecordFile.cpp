#include "oscilloscope/ScopeRecordFile.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "dictionary/LeadingNumber.h"
#include "oscilloscope/ScopeFormat.h"
#include "oscilloscope/ScopeItem.h"
#include "oscilloscope/ScopeMessages.h"
#include "oscilloscope/Utf16Text.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "platform/TextCase.h"
#include "platform/TextCodec.h"

namespace tarvo {

namespace {

constexpr size_t kValueBuffer = 64;

void Line(std::string& text, const std::string& key, const std::string& value) {
    text += key;
    text += '=';
    text += value;
    text += '\n';
}

// A real in the fixed notation of the file. One too long for the reader's 63 characters (a
// magnitude of 1e56 and more) would come back cut to another number, so it is written in
// exponent notation, which reads back the same.
std::string RealText(double value) {
    std::string fixed = ScopePrintf("%f", value);
    return fixed.size() < kValueBuffer ? fixed : ScopePrintf("%.17g", value);
}

// A line's blanks; a carriage return is dropped at its end only.
std::string_view TrimLine(std::string_view text) {
    return Trim(text, kBlanks, " \t\r");
}

// The keys of section "oscilloscope", lower-cased, first occurrence winning.
std::unordered_map<std::string, std::string> SectionKeys(const std::string& text, bool& found) {
    std::unordered_map<std::string, std::string> keys;
    found = false;
    bool inside = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line = TrimLine(std::string_view(text).substr(at, end - at));
        at = end + 1;
        if (!line.empty() && line.front() == '[') {
            size_t close = line.find(']');
            inside = close != std::string_view::npos &&
                     Lower(TrimLine(line.substr(1, close - 1))) == "oscilloscope";
            found = found || inside;
            continue;
        }
        size_t equals = line.find('=');
        if (!inside || equals == std::string_view::npos) {
            continue;
        }
        // The value buffer holds 63 characters: a longer value is cut between characters.
        std::string value =
            TextCodec::TruncateUtf16(TrimLine(line.substr(equals + 1)), kValueBuffer - 1);
        keys.emplace(Lower(TrimLine(line.substr(0, equals))), std::move(value));
    }
    return keys;
}

}  // namespace

std::string ScopeRecordFile::Encode(const ScopeRecord& record) {
    std::string text = "[oscilloscope]\n";
    Line(text, "time", std::to_string(record.time));
    Line(text, "offset", std::to_string(record.offset));
    Line(text, "number", std::to_string(record.number));
    Line(text, "trigger item", std::to_string(record.triggerItem));
    Line(text, "trigger item value", std::to_string(record.triggerItemValue));
    Line(text, "trigger collect value", record.triggerCollectValue);
    Line(text, "trigger collect unit", std::to_string(record.triggerCollectUnit));
    Line(text, "continue", std::to_string(record.continuous));
    for (int n = 0; n < 4; ++n) {
        const ScopeRecord::Channel& channel = record.channels[n];
        std::string prefix = "ch" + std::to_string(n + 1) + " ";
        Line(text, prefix + "check", channel.checked ? "1" : "0");
        if (!channel.checked) {
            continue;
        }
        Line(text, prefix + "item", std::to_string(channel.item));
        Line(text, prefix + "scale", RealText(channel.scale));
        Line(text, prefix + "offset", RealText(channel.offset));
        Line(text, prefix + "unit coef", RealText(channel.unitCoefficient));
        Line(text, prefix + "unit", std::to_string(channel.unit));
        Line(text, prefix + "auto", std::to_string(channel.autoScale));
    }
    for (size_t k = 0; k < record.samples.size(); ++k) {
        const PlotRecord& sample = record.samples[k];
        for (int n = 0; n < 4; ++n) {
            if ((sample.mask & (1u << n)) != 0) {
                Line(text, "ch" + std::to_string(n + 1) + "-" + std::to_string(k + 1),
                     ScopePrintf("%.0f", sample.values[n]));
            }
        }
    }
    return Utf16Text::FromUtf8(text);
}

ScopeRecordFile::ReadResult ScopeRecordFile::Decode(std::string_view bytes, ScopeRecord& out) {
    if (bytes.empty()) {
        return ReadResult::kEmpty;
    }
    if (bytes.size() % 2 != 0) {
        return ReadResult::kOddSize;
    }
    if (bytes.size() > kLargestFile) {
        return ReadResult::kTooLong;
    }
    std::string text = Utf16Text::ToUtf8(bytes);
    bool found = false;
    auto keys = SectionKeys(text, found);
    if (!found) {
        return ReadResult::kNotRecord;
    }
    // The writer ends every line with a line feed; a file cut short does not.
    if (text.back() != '\n') {
        return ReadResult::kTruncated;
    }
    auto number = [&](const std::string& key) -> int32_t {
        auto it = keys.find(key);
        return it == keys.end() ? 0
                                : static_cast<int32_t>(std::clamp<int64_t>(
                                      ReadLeadingInteger(it->second), INT32_MIN, INT32_MAX));
    };
    auto real = [&](const std::string& key) {
        auto it = keys.find(key);
        return it == keys.end() ? 0.0 : ReadLeadingReal(it->second);
    };
    ScopeRecord record;
    record.time = number("time");
    record.offset = number("offset");
    record.number = number("number");
    record.triggerItem = number("trigger item");
    record.triggerItemValue = number("trigger item value");
    auto level = keys.find("trigger collect value");
    record.triggerCollectValue = level == keys.end() ? "" : level->second;
    record.triggerCollectUnit = number("trigger collect unit");
    record.continuous = number("continue");
    size_t bytesPerRecord = 0;
    unsigned mask = 0;
    for (int n = 0; n < 4; ++n) {
        std::string prefix = "ch" + std::to_string(n + 1) + " ";
        ScopeRecord::Channel& channel = record.channels[n];
        channel.checked = number(prefix + "check") != 0;
        if (!channel.checked) {
            continue;
        }
        mask |= 1u << n;
        channel.item = number(prefix + "item");
        channel.scale = real(prefix + "scale");
        channel.offset = real(prefix + "offset");
        channel.unitCoefficient = real(prefix + "unit coef");
        channel.unit = number(prefix + "unit");
        channel.autoScale = number(prefix + "auto");
        bytesPerRecord += ScopeItemCode::Width(static_cast<uint32_t>(channel.item)) >= 32 ? 4 : 2;
    }
    if (record.number < 0 ||
        static_cast<size_t>(record.number) * std::max<size_t>(bytesPerRecord, 2) > kRecordBytes) {
        return ReadResult::kTooLong;
    }
    record.samples.reserve(static_cast<size_t>(record.number));
    for (int32_t k = 1; k <= record.number && mask != 0; ++k) {
        PlotRecord sample;
        sample.mask = mask;
        for (int n = 0; n < 4; ++n) {
            if ((mask & (1u << n)) == 0) {
                continue;
            }
            // A sample the file does not hold reads as an empty text, 0: a channel ticked
            // after the capture has none. A file cut short is caught by its last line.
            auto it = keys.find("ch" + std::to_string(n + 1) + "-" + std::to_string(k));
            sample.values[n] =
                it == keys.end() ? 0.0 : static_cast<double>(ReadLeadingInteger(it->second));
        }
        record.samples.push_back(sample);
    }
    out = std::move(record);
    return ReadResult::kOk;
}

std::string ScopeRecordFile::Write(const std::string& path, const ScopeRecord& record) {
    return AtomicFile::Write(path, Encode(record));
}

ScopeRecordFile::ReadResult ScopeRecordFile::Read(const std::string& path, ScopeRecord& record,
                                                  std::string* reason) {
    std::string bytes;
    std::string error = InputFile::Read(path, bytes, kLargestFile);
    if (!error.empty()) {
        if (reason != nullptr) {
            *reason = error;
        }
        return ReadResult::kUnreadable;
    }
    return Decode(bytes, record);
}

const char* ScopeRecordFile::Message(ReadResult result) {
    switch (result) {
        case ReadResult::kOk:
            return "";
        case ReadResult::kUnreadable:
            return ScopeMessages::kImportUnreadable;
        case ReadResult::kEmpty:
            return ScopeMessages::kImportEmpty;
        case ReadResult::kOddSize:
            return ScopeMessages::kImportOddSize;
        case ReadResult::kNotRecord:
            return ScopeMessages::kImportNotRecord;
        case ReadResult::kTruncated:
            return ScopeMessages::kImportTruncated;
        case ReadResult::kTooLong:
            return ScopeMessages::kImportTooLong;
    }
    return "";
}

}  // namespace tarvo
