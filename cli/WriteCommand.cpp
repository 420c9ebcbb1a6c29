#include "cli/WriteCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/ArgumentText.h"
#include "cli/EntryLookup.h"
#include "cli/EntryValue.h"
#include "cli/ExitCode.h"

namespace tarvo {

int WriteCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                      const std::string& programFolder) {
    std::vector<std::string> words;
    uint32_t width = 0;
    std::string unit;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--width") {
            if (i + 1 >= args.size() || !ArgumentText::ParseUnsigned(args[i + 1], width)) {
                std::cerr << "tarvoctl: --width takes 8, 16 or 32\n";
                return ExitCode::BadInput;
            }
            ++i;
        } else if (args[i] == "--unit" && i + 1 < args.size()) {
            unit = args[++i];
        } else if (args[i].rfind("--", 0) == 0 && args[i].size() > 2 &&
                   !std::isdigit(static_cast<unsigned char>(args[i][2]))) {
            std::cerr << "tarvoctl: write does not take " << args[i] << '\n';
            return ExitCode::BadInput;
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() != 2) {
        std::cerr
            << "usage: tarvoctl CONNECTION write ENTRY VALUE [--width 8|16|32] [--unit NAME]\n"
            << "       VALUE may be the English name of a code; a value outside the entry's\n"
            << "       range is refused before anything is sent\n"
            << kConnectionUsage;
        return ExitCode::BadInput;
    }
    DictionaryEntry entry;
    EntryLookup lookup(programFolder);
    if (!lookup.Usable() || !lookup.Find(words[0], entry)) {
        return ExitCode::BadInput;
    }
    if (width == 0) {
        width = static_cast<uint32_t>(EntryValue::Width(entry));
    }
    if (width != 8 && width != 16 && width != 32) {
        std::cerr << "tarvoctl: write needs --width 8, 16 or 32 for " << words[0]
                  << (entry.dataType.empty() ? "" : " (" + entry.dataType + ")") << '\n';
        return ExitCode::BadInput;
    }
    const EntryFacts* facts = lookup.FactsOf(entry.key);
    // A code may be given by its name: write 6060:00 "Profile velocity".
    if (unit.empty()) {
        if (std::optional<int64_t> code = EntryValue::CodeOfName(facts, words[1])) {
            words[1] = std::to_string(*code);
        }
    }
    DriveConnection drive(options, programFolder);
    auto readReference = [&drive](uint32_t key) -> std::optional<int32_t> {
        DriveConnection::Reply reply;
        if (drive.Exchange(SdoCommand::Read, key, 0, reply) != ExitCode::Done) {
            return std::nullopt;
        }
        return static_cast<int32_t>(reply.value);
    };
    EntryValue values(readReference);
    uint32_t value = 0;
    std::string error;
    // A raw number is checked before the port opens; a unit's formula may need values of
    // the drive, so it is converted once the drive is open.
    if (unit.empty() && !values.Parse(entry, words[1], unit, width, value, error)) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    // A value outside the entry's range never reaches the drive.
    if (unit.empty() && !(error = EntryValue::RangeProblem(facts, entry, value)).empty()) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    const SdoCommand command = WriteCommandOfWidth(static_cast<int>(width / 8));
    int code = drive.Open();
    if (code == ExitCode::Done && !unit.empty() &&
        (!values.Parse(entry, words[1], unit, width, value, error) ||
         !(error = EntryValue::RangeProblem(facts, entry, value, words[1] + " " + unit)).empty())) {
        std::cerr << "tarvoctl: " << error << '\n';
        code = ExitCode::BadInput;
    }
    DriveConnection::Reply reply;
    if (code == ExitCode::Done &&
        (code = drive.Exchange(command, entry.key, value, reply)) == ExitCode::Done) {
        std::printf("%lld\n", static_cast<long long>(EntryValue::Number(entry, reply.value)));
    } else if (code == ExitCode::Refused) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(entry.key, reply.abortCode)
                  << '\n';
    }
    return drive.Close(code);
}

}  // namespace tarvo
