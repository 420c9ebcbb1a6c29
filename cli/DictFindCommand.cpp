#include "cli/DictFindCommand.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/ConsoleMessageBox.h"
#include "cli/ExitCode.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/SdoListModel.h"
#include "dictionary/UnitTable.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"

namespace tarvo {

namespace {

constexpr const char* kUsage =
    "usage: tarvoctl dict find TEXT [--json] [--lang 1|2] [FILE]\n"
    "       --lang 1 the Chinese names, 2 the English ones (default: the program's language)\n";

std::string EntryText(const DictionaryEntry& entry) {
    char text[32];
    std::snprintf(text, sizeof text, "%04X:%02X", static_cast<unsigned>(entry.index),
                  static_cast<unsigned>(entry.subIndex));
    return text;
}

}  // namespace

int DictFindCommand::Run(const std::vector<std::string>& args, const std::string& programFolder) {
    bool asJson = false;
    int language = AppSettings(programFolder + "/sys/sys.ini").Language();
    if (language != 1) {
        language = 2;
    }
    std::string text;
    bool haveText = false;
    std::string file = programFolder + "/data/tarvo.dat";
    bool haveFile = false;
    // args[0] is "find".
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--json") {
            asJson = true;
        } else if (args[i] == "--lang" && i + 1 < args.size() &&
                   (args[i + 1] == "1" || args[i + 1] == "2")) {
            language = std::stoi(args[++i]);
        } else if (!haveText && !args[i].empty() && args[i][0] != '-') {
            text = args[i];
            haveText = true;
        } else if (!haveFile && !args[i].empty() && args[i][0] != '-') {
            file = args[i];
            haveFile = true;
        } else {
            std::cerr << kUsage;
            return ExitCode::BadInput;
        }
    }
    if (!haveText) {
        std::cerr << kUsage;
        return ExitCode::BadInput;
    }
    RecordingMessageBox quiet;  // its text is the problem told below
    ObjectDictionary dictionary;
    if (!dictionary.LoadFile(file, language, &quiet)) {
        std::cerr << "tarvoctl: no dictionary: " << dictionary.LoadProblem() << '\n';
        return ExitCode::BadInput;
    }
    ConsoleMessageBox box;
    UnitTable units(&box);
    int found = 0;
    for (int i = 0;; ++i) {
        std::optional<DictionaryEntry> entry = dictionary.EntryAt(i);
        if (!entry) {
            break;
        }
        if (!SdoListModel::NameContains(entry->name, text)) {
            continue;
        }
        ++found;
        // The unit a panel shows for the entry: the first of its unit list.
        std::string unit;
        if (!units.RegisterUnits(entry->key, entry->unitSpec, unit)) {
            unit.clear();
        }
        if (asJson) {
            nlohmann::json line = {{"key", entry->key},
                                   {"entry", EntryText(*entry)},
                                   {"name", entry->name},
                                   {"dataType", entry->dataType},
                                   {"unit", unit}};
            std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                      << '\n';
        } else {
            std::cout << EntryText(*entry) << '\t' << entry->name << '\t' << entry->dataType << '\t'
                      << unit << '\n';
        }
    }
    if (found == 0) {
        std::cerr << "tarvoctl: no entry's name holds " << text << '\n';
        return ExitCode::BadInput;
    }
    return ExitCode::Done;
}

}  // namespace tarvo
