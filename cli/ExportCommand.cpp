#include "cli/ExportCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/ExitCode.h"
#include "cli/TransferLink.h"
#include "cli/TransferReport.h"
#include "platform/MessageBox.h"
#include "transfer/ExportDrvDataModel.h"

namespace tarvo {

int ExportCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                       const std::string& programFolder) {
    std::vector<std::string> words, flags;
    if (!TransferLink::SplitArgs(args, {}, words, flags) || words.size() != 2) {
        std::cerr << "usage: tarvoctl CONNECTION export LIST.cdo OUT.cdi\n" << kConnectionUsage;
        return ExitCode::BadInput;
    }
    const std::string& listPath = words[0];
    const std::string& outPath = words[1];
    TransferLink transfer(options, programFolder);
    if (!transfer.LoadDictionary()) {
        return ExitCode::BadInput;
    }
    RecordingMessageBox box;
    ExportDrvDataModel model(
        {transfer.Link(), transfer.Switches(), box, transfer.Dictionary(), transfer.IdleTimer()});
    std::vector<ObjectListFile::Item> items;
    if (!ObjectListFile::Read(listPath, items)) {
        std::cerr << "tarvoctl: cannot read " << listPath << '\n';
        return ExitCode::BadInput;
    }
    model.LoadItems(items);
    for (size_t i = 0; i < items.size(); ++i) {
        const ExportDrvDataModel::Row& row = model.Rows()[i];
        std::string where = listPath + " line " + std::to_string(items[i].line) + ": ";
        if (items[i].fromLongLine) {
            std::cerr << "tarvoctl: " << where << "longer than 23 characters, read in pieces\n";
        } else if (items[i].skippedCharacters) {
            std::cerr << "tarvoctl: " << where << "characters other than hexadecimal digits "
                      << "were skipped\n";
        }
        if (!row.known) {
            std::cerr << "tarvoctl: " << where << row.wordText
                      << " is not in the dictionary; its value is saved in hexadecimal\n";
        }
    }
    if (int code = transfer.Open()) {
        return transfer.Close(code);
    }
    model.Read();
    int total = static_cast<int>(model.Rows().size());
    bool answered =
        transfer.RunUntil([&model] { return !model.Reading(); }, [&model] { model.Stop(); },
                          [&model, total] {
                              return TransferLink::Progress{model.RowsDone(), total};
                          },
                          "export");
    for (size_t i = 0; i < model.Rows().size(); ++i) {
        const ExportDrvDataModel::Row& row = model.Rows()[i];
        if (row.Failed()) {
            std::printf("row %zu  %s  %s  %s: %s\n", i + 1, row.wordText.c_str(), row.name.c_str(),
                        row.value.c_str(), RowResultText(row.result));
        }
    }
    std::printf("%s\n", model.StatusText(ExportDrvDataModel::kReadStatus).c_str());
    if (!answered || model.Stopped()) {
        std::cerr << "tarvoctl: the drive does not answer; " << outPath << " was not written\n";
        return transfer.Close(ExitCode::NoAnswer);
    }
    if (!model.Save(outPath)) {
        std::cerr << "tarvoctl: cannot write " << outPath << '\n';
        return transfer.Close(ExitCode::BadInput);
    }
    return transfer.Close(model.FailureCount() > 0 ? ExitCode::Refused : ExitCode::Done);
}

}  // namespace tarvo
