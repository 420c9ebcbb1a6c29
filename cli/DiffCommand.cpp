#include "cli/DiffCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/EntryValue.h"
#include "cli/ExitCode.h"
#include "cli/TransferLink.h"
#include "cli/TransferReport.h"
#include "platform/MessageBox.h"
#include "transfer/FirstUnitText.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/TransferValue.h"

namespace tarvo {

namespace {

// " (600.000 rpm)": a value of the file or the drive in the entry's first unit, beside its
// raw number, or " (Profile position)" for a named code; empty when the entry has neither
// or the text is no number.
std::string Explained(FirstUnitText& units, const ObjectDictionary& dictionary,
                      const ImportDrvDataModel::Row& row, const std::string& text) {
    std::optional<DictionaryEntry> entry = dictionary.FindEntry(row.word.Key());
    if (!entry) {
        return {};
    }
    std::optional<uint32_t> raw = TransferValue::ParseLoadValue(text, row.word.SizeBits());
    if (raw) {
        std::string named =
            EntryValue::NameSuffix(dictionary.FactsOf(row.word.Key()), *entry, *raw);
        if (!named.empty()) {
            return named;
        }
    }
    return units.Of(*entry, text, row.word.SizeBits());
}

}  // namespace

int DiffCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                     const std::string& programFolder) {
    using Model = ImportDrvDataModel;
    std::vector<std::string> words, flags;
    if (!TransferLink::SplitArgs(args, {}, words, flags) || words.size() != 1) {
        std::cerr << "usage: tarvoctl CONNECTION diff FILE.cdi\n" << kConnectionUsage;
        return ExitCode::BadInput;
    }
    const std::string& path = words[0];
    TransferLink transfer(options, programFolder);
    if (!transfer.LoadDictionary()) {
        return ExitCode::BadInput;
    }
    RecordingMessageBox box;
    Model model({transfer.Link(), transfer.Switches(), box, transfer.Dictionary(),
                 transfer.WaitTimer(), transfer.IdleTimer()});
    if (!model.LoadFile(path)) {
        std::cerr << "tarvoctl: " << model.LoadError() << '\n';
        return ExitCode::BadInput;
    }
    if (!TransferReport::CheckParameterRows(path, model)) {
        return ExitCode::BadInput;
    }
    if (int code = transfer.Open()) {
        return transfer.Close(code);
    }
    model.Start(Model::RunKind::kCompare);
    bool answered =
        transfer.RunUntil([&model] { return !model.Running(); }, [&model] { model.Stop(); },
                          [&model] {
                              return TransferLink::Progress{model.StepsDone(), model.StepCount()};
                          },
                          "diff");
    if (!answered || model.Stopped()) {
        std::cerr << "tarvoctl: the drive does not answer\n";
        return transfer.Close(ExitCode::NoAnswer);
    }
    int differing = 0;
    // Units whose formula needs another entry's value are left out: no second exchange here.
    FirstUnitText values;
    for (const Model::Row& row : model.Rows()) {
        if (row.result == RowResult::kTrue) {
            continue;
        }
        ++differing;
        std::string drive =
            row.result == RowResult::kSkipped ? "(not compared: no valid value of its size)"
            : row.result == RowResult::kFail
                ? "abort " + row.readValue
                : row.readValue + Explained(values, transfer.Dictionary(), row, row.readValue);
        std::string file =
            row.loadValue + Explained(values, transfer.Dictionary(), row, row.loadValue);
        std::printf("%s  %s  file %s  drive %s\n", TransferReport::KeyText(row.word.Key()).c_str(),
                    row.name.c_str(), file.c_str(), drive.c_str());
    }
    // Rows that differ are reported with 1, as bad input is.
    return transfer.Close(differing > 0 ? ExitCode::BadInput : ExitCode::Done);
}

}  // namespace tarvo
