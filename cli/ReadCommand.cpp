#include "cli/ReadCommand.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/EntryLookup.h"
#include "cli/EntryValue.h"
#include "cli/ExitCode.h"
#include "platform/MessageTarget.h"
#include "protocol/AbortText.h"

namespace tarvo {

namespace {

struct ReadOptions {
    std::vector<std::string> entries;
    bool raw = false;
    bool json = false;
    bool chinese = false;  // names of codes in Chinese (--lang 1)
    std::string unit;      // empty: each entry's first unit
};

bool ParseArguments(const std::vector<std::string>& args, ReadOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--raw") {
            options.raw = true;
        } else if (args[i] == "--json") {
            options.json = true;
        } else if (args[i] == "--unit" && i + 1 < args.size()) {
            options.unit = args[++i];
        } else if (args[i] == "--lang" && i + 1 < args.size() &&
                   (args[i + 1] == "1" || args[i + 1] == "2")) {
            options.chinese = args[++i] == "1";
        } else if (args[i].rfind("--", 0) == 0) {
            std::cerr << "tarvoctl: read does not take " << args[i] << '\n';
            return false;
        } else {
            options.entries.push_back(args[i]);
        }
    }
    if (options.entries.empty()) {
        std::cerr << "usage: tarvoctl CONNECTION read ENTRY... [--raw | --unit NAME] [--json] "
                     "[--lang 1|2]\n"
                  << "       a named code shows its name beside it, in Chinese with --lang 1\n"
                  << kConnectionUsage;
        return false;
    }
    if (options.raw && !options.unit.empty()) {
        std::cerr << "tarvoctl: read takes --raw (the drive's number) or --unit NAME (in that "
                     "unit), not both\n";
        return false;
    }
    return true;
}

bool IsText(const DictionaryEntry& entry) {
    return entry.dataType == "VISIBLE STRING";
}

// A number stays a number in JSON; anything else is a string.
nlohmann::json JsonValue(const std::string& text) {
    char* end = nullptr;
    long long whole = std::strtoll(text.c_str(), &end, 10);
    if (!text.empty() && end != nullptr && *end == '\0') {
        return whole;
    }
    double number = std::strtod(text.c_str(), &end);
    bool numeric = !text.empty() && end != nullptr && *end == '\0' && text.rfind("0x", 0) != 0;
    return numeric ? nlohmann::json(number) : nlohmann::json(text);
}

}  // namespace

int ReadCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                     const std::string& programFolder) {
    ReadOptions read;
    if (!ParseArguments(args, read)) {
        return ExitCode::BadInput;
    }
    EntryLookup lookup(programFolder);
    if (!lookup.Usable()) {
        return ExitCode::BadInput;
    }
    if (read.chinese) {
        lookup.UseChineseNames();
    }
    std::vector<DictionaryEntry> entries(read.entries.size());
    for (size_t i = 0; i < read.entries.size(); ++i) {
        if (!lookup.Find(read.entries[i], entries[i])) {
            return ExitCode::BadInput;
        }
    }
    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    if (code != ExitCode::Done) {
        return drive.Close(code);
    }
    EntryValue values([&drive](uint32_t key) -> std::optional<int32_t> {
        DriveConnection::Reply reply;
        if (drive.Exchange(SdoCommand::Read, key, 0, reply) != ExitCode::Done) {
            return std::nullopt;
        }
        return static_cast<int32_t>(reply.value);
    });
    // Every number is read first, in one stream of requests; texts are uploaded in turn.
    std::vector<uint32_t> numbers;
    for (const DictionaryEntry& entry : entries) {
        if (!IsText(entry) || read.raw) {
            numbers.push_back(entry.key);
        }
    }
    std::vector<DriveConnection::Reply> replies;
    std::vector<int> results;
    if ((code = drive.ReadMany(numbers, replies, results)) != ExitCode::Done) {
        return drive.Close(code);
    }
    size_t nextNumber = 0;
    int result = ExitCode::Done;
    const bool batch = entries.size() > 1;
    for (const DictionaryEntry& entry : entries) {
        std::string key = EntryLookup::KeyText(entry.key);
        nlohmann::json line = {{"key", key}, {"name", entry.name}};
        const EntryFacts* facts = lookup.FactsOf(entry.key);
        std::string text;
        std::string unit;
        uint32_t abortCode = 0;
        DriveConnection::Reply reply;
        if (IsText(entry) && !read.raw) {
            code = drive.Upload(entry.key, text, abortCode);
            line["value"] = text;
        } else if ((reply = replies[nextNumber], code = results[nextNumber++]) == ExitCode::Done) {
            abortCode = reply.abortCode;
            unit = read.raw ? "" : read.unit.empty() ? EntryValue::DefaultUnit(entry) : read.unit;
            std::string error;
            if (read.raw) {
                // The drive's number: an INTEGER entry's negative value stays negative.
                text = std::to_string(EntryValue::Number(entry, reply.value));
            } else if (!values.Show(entry, reply.value, unit, text, error)) {
                std::cerr << "tarvoctl: " << key << ": " << error << '\n';
                return drive.Close(ExitCode::BadInput);
            }
            line["raw"] = reply.value;
            line["value"] = JsonValue(text);
            if (unit != "DEC" && unit != "HEX" && !unit.empty()) {
                line["unit"] = unit;
                text += " " + unit;
            }
            // --raw stays the bare number that scripts take.
            if (const std::string* name =
                    facts != nullptr ? facts->NameOf(EntryValue::Number(entry, reply.value))
                                     : nullptr) {
                line["valueName"] = *name;
                text += read.raw ? "" : " (" + *name + ")";
            }
            if (facts != nullptr && facts->minimum) {
                line["min"] = *facts->minimum;
            }
            if (facts != nullptr && facts->maximum) {
                line["max"] = *facts->maximum;
            }
            if (facts != nullptr && facts->factoryDefault) {
                line["default"] = *facts->factoryDefault;
            }
        } else {
            abortCode = reply.abortCode;
        }
        if (code == ExitCode::NoAnswer || code == ExitCode::BadInput) {
            return drive.Close(code);
        }
        if (code == ExitCode::Refused) {
            result = ExitCode::Refused;
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08x", abortCode);
            line["abort"] = hex;
            line["abortText"] = AbortText::Meaning(abortCode);
            if (!read.json) {
                std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(entry.key, abortCode)
                          << '\n';
                continue;
            }
        }
        if (read.json) {
            std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                      << '\n';
        } else if (batch) {
            std::cout << key << '\t' << text << '\t' << entry.name << '\n';
        } else {
            std::cout << text << '\n';
        }
    }
    std::cout.flush();
    return drive.Close(result);
}

}  // namespace tarvo
