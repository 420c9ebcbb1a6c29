#include "dictionary/EdsFileExport.h"

#include <filesystem>

#include "dictionary/DictionarySource.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"

namespace tarvo {

std::string EdsFileExport::Write(const std::string& dataFilePath, const std::string& outPath,
                                 const EdsWriter::Device& device, size_t& written) {
    written = 0;
    RecordingMessageBox quiet;  // the problem is returned instead
    ObjectDictionary dictionary;
    if (!dictionary.LoadFile(dataFilePath, 2, &quiet)) {
        return dictionary.LoadProblem();
    }
    EdsWriter::Settings settings;
    settings.device = device;
    settings.fileName = std::filesystem::path(outPath).filename().string();
    std::vector<SourceEntry> entries = EdsWriter::EntriesOf(dictionary);
    std::string source = std::filesystem::path(dataFilePath).replace_extension(".json").string();
    std::vector<SourceEntry> withDefaults;
    std::string error;
    std::error_code code;
    // The source counts only when it describes exactly the data file's entries.
    if (std::filesystem::is_regular_file(source, code) &&
        DictionarySource::Load(source, withDefaults, error) &&
        withDefaults.size() == entries.size()) {
        bool same = true;
        for (size_t i = 0; i < entries.size() && same; ++i) {
            same = entries[i].index == withDefaults[i].index &&
                   entries[i].subIndex == withDefaults[i].subIndex &&
                   entries[i].dataType == withDefaults[i].dataType;
        }
        if (same) {
            entries = std::move(withDefaults);
            settings.defaultsKnown = true;
        }
    }
    std::string text;
    if (!EdsWriter::Write(entries, settings, text, error)) {
        return dataFilePath + ": " + error;
    }
    error = AtomicFile::Write(outPath, text);
    if (error.empty()) {
        written = entries.size();
    }
    return error;
}

}  // namespace tarvo
