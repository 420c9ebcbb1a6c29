#include "cli/DictCommand.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/DictEdsCommand.h"
#include "cli/DictFindCommand.h"
#include "cli/ExitCode.h"
#include "dictionary/DictionarySource.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"

namespace tarvo {

namespace {

constexpr const char* kUsage =
    "usage: tarvoctl dict build SOURCE OUT.dat (writes OUT.facts.json beside it too)\n"
    "       tarvoctl dict build --eds DRIVE.eds -o OUT.dat [--source OUT.json]\n"
    "       tarvoctl dict eds OUT.eds [FILE.dat | SOURCE.json]\n"
    "       tarvoctl dict dump [--json] [--lang 1|2] [FILE]\n"
    "       tarvoctl dict find TEXT [--json] [--lang 1|2] [FILE]\n"
    "       --lang 1 the Chinese names, 2 the English ones\n";

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

}  // namespace

int DictCommand::Run(const std::vector<std::string>& args, const std::string& programFolder,
                     int nodeId) {
    if (args.size() > 1 && args[0] == "build" && args[1] == "--eds") {
        return DictEdsCommand::Build(args, nodeId);
    }
    if (!args.empty() && args[0] == "eds") {
        return DictEdsCommand::Export(args, programFolder);
    }
    if (!args.empty() && args[0] == "build") {
        return Build(args);
    }
    if (!args.empty() && args[0] == "dump") {
        return Dump(args, programFolder);
    }
    if (!args.empty() && args[0] == "find") {
        return DictFindCommand::Run(args, programFolder);
    }
    std::cerr << kUsage;
    return ExitCode::BadInput;
}

int DictCommand::Build(const std::vector<std::string>& args) {
    if (args.size() != 3) {
        std::cerr << kUsage;
        return ExitCode::BadInput;
    }
    std::vector<SourceEntry> entries;
    std::string error;
    std::string bytes;
    if (!DictionarySource::Load(args[1], entries, error) ||
        !DictionarySource::Encode(entries, bytes, error, args[1])) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    // The facts travel beside the data file, built from the same source.
    const std::string facts = EntryFactsTable::PathBeside(args[2]);
    error = AtomicFile::Write(facts, EntryFactsTable::Format(DictionarySource::Facts(entries)));
    if (error.empty()) {
        error = AtomicFile::Write(args[2], bytes);
    }
    if (!error.empty()) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    std::cout << "wrote " << entries.size() << " entries to " << args[2] << " and their facts to "
              << facts << '\n';
    return ExitCode::Done;
}

int DictCommand::Dump(const std::vector<std::string>& args, const std::string& programFolder) {
    bool asJson = false;
    int language = 2;
    std::string file = programFolder + "/data/tarvo.dat";
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json") {
            asJson = true;
        } else if (args[i] == "--lang" && i + 1 < args.size() &&
                   (args[i + 1] == "1" || args[i + 1] == "2")) {
            language = std::stoi(args[++i]);
        } else if (!args[i].empty() && args[i][0] != '-') {
            file = args[i];
        } else {
            std::cerr << kUsage;
            return ExitCode::BadInput;
        }
    }
    RecordingMessageBox quiet;  // its text is the problem told below
    ObjectDictionary dictionary;
    if (!dictionary.LoadFile(file, language, &quiet)) {
        std::cerr << "tarvoctl: no dictionary: " << dictionary.LoadProblem() << '\n';
        return ExitCode::BadInput;
    }
    for (int i = 0;; ++i) {
        auto entry = dictionary.EntryAt(i);
        if (!entry) {
            break;
        }
        if (asJson) {
            nlohmann::json line = {{"key", entry->key},
                                   {"index", entry->index},
                                   {"subIndex", entry->subIndex},
                                   {"name", entry->name},
                                   {"dataType", entry->dataType},
                                   {"attribute", entry->attribute},
                                   {"help", entry->help},
                                   {"unitSpec", entry->unitSpec},
                                   {"modbusAddress", entry->modbusAddress}};
            std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                      << '\n';
        } else {
            std::cout << Hex(static_cast<uint32_t>(entry->index), 4) << ':'
                      << Hex(entry->subIndex, 2) << '\t' << entry->name << '\t' << entry->dataType
                      << '\t' << entry->attribute << '\t' << entry->unitSpec << '\n';
        }
    }
    return ExitCode::Done;
}

}  // namespace tarvo
