#include "cli/DictEdsCommand.h"

#include <filesystem>
#include <iostream>

#include "cli/ExitCode.h"
#include "dictionary/DictionarySource.h"
#include "dictionary/EdsReader.h"
#include "dictionary/EdsWriter.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/AppSettings.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"

namespace tarvo {

namespace {

constexpr const char* kUsage =
    "usage: tarvoctl dict eds OUT.eds [FILE.dat | SOURCE.json]\n"
    "       tarvoctl dict build --eds DRIVE.eds -o OUT.dat [--source OUT.json]\n"
    "       (--node N before the command gives $NODEID, default 1)\n";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int DictEdsCommand::Export(const std::vector<std::string>& args, const std::string& programFolder) {
    if (args.size() < 2 || args.size() > 3 || args[1].empty() || args[1][0] == '-') {
        std::cerr << kUsage;
        return ExitCode::BadInput;
    }
    std::string from = args.size() == 3 ? args[2] : programFolder + "/data/tarvo.dat";
    EdsWriter::Settings settings;
    std::vector<SourceEntry> entries;
    std::string error;
    if (EndsWith(from, ".json")) {
        if (!DictionarySource::Load(from, entries, error)) {
            std::cerr << "tarvoctl: " << error << '\n';
            return ExitCode::BadInput;
        }
        settings.defaultsKnown = true;
    } else {
        RecordingMessageBox quiet;  // its text is the problem told below
        ObjectDictionary dictionary;
        if (!dictionary.LoadFile(from, 2, &quiet)) {
            std::cerr << "tarvoctl: no dictionary: " << dictionary.LoadProblem() << '\n';
            return ExitCode::BadInput;
        }
        entries = EdsWriter::EntriesOf(dictionary);
    }
    AppSettings sys(programFolder + "/sys/sys.ini");
    settings.device.vendorName = sys.EdsVendorName();
    settings.device.productName = sys.EdsProductName();
    settings.device.orderCode = sys.EdsOrderCode();
    settings.fileName = std::filesystem::path(args[1]).filename().string();
    std::string text;
    if (!EdsWriter::Write(entries, settings, text, error)) {
        std::cerr << "tarvoctl: " << from << ": " << error << '\n';
        return ExitCode::BadInput;
    }
    error = AtomicFile::Write(args[1], text);
    if (!error.empty()) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    std::cout << "wrote " << entries.size() << " entries to " << args[1] << '\n';
    return ExitCode::Done;
}

int DictEdsCommand::Build(const std::vector<std::string>& args, int nodeId) {
    std::string eds;
    std::string out;
    std::string source;
    EdsReader::Options options;
    options.nodeId = nodeId;
    if (nodeId < 1 || nodeId > 127) {
        std::cerr << "tarvoctl: $NODEID must be a node ID 1-127 (--node)\n";
        return ExitCode::BadInput;
    }
    for (size_t i = 1; i < args.size(); ++i) {
        bool hasValue = i + 1 < args.size();
        if (args[i] == "--eds" && hasValue) {
            eds = args[++i];
        } else if (args[i] == "-o" && hasValue) {
            out = args[++i];
        } else if (args[i] == "--source" && hasValue) {
            source = args[++i];
        } else {
            std::cerr << kUsage;
            return ExitCode::BadInput;
        }
    }
    if (eds.empty() || out.empty()) {
        std::cerr << kUsage;
        return ExitCode::BadInput;
    }
    if (source.empty()) {
        source = std::filesystem::path(out).replace_extension(".json").string();
    }
    EdsContents contents;
    std::string error;
    std::string bytes;
    if (!EdsReader::Load(eds, options, contents, error)) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    for (const std::string& line : contents.leftOut) {
        std::cerr << line << '\n';
    }
    for (const std::string& line : contents.notes) {
        std::cerr << "note: " << line << '\n';
    }
    if (contents.entries.empty()) {
        std::cerr << "tarvoctl: " << eds << ": no object our values can hold; nothing written\n";
        return ExitCode::BadInput;
    }
    if (!DictionarySource::Encode(contents.entries, bytes, error, eds)) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    // The data file last: a failure leaves no data file without its source and facts.
    error = AtomicFile::Write(source, DictionarySource::Format(contents.entries));
    if (error.empty()) {
        error =
            AtomicFile::Write(EntryFactsTable::PathBeside(out),
                              EntryFactsTable::Format(DictionarySource::Facts(contents.entries)));
    }
    if (error.empty()) {
        error = AtomicFile::Write(out, bytes);
    }
    if (!error.empty()) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    std::cout << "wrote " << contents.entries.size() << " entries to " << out << " and " << source
              << " (" << contents.leftOut.size() << " objects left out)\n";
    return ExitCode::Done;
}

}  // namespace tarvo
