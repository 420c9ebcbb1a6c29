#include "cli/ExportCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/DcfCommand.h"
#include "cli/ExitCode.h"
#include "cli/TransferLink.h"
#include "cli/TransferReport.h"
#include "platform/MessageBox.h"
#include "transfer/ExportDrvDataModel.h"

namespace tarvo {

int ExportCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                       const std::string& programFolder) {
    if (!args.empty() && args[0] == "--dcf") {
        return DcfCommand::Export(args, options, programFolder);
    }
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
    if (std::string error = ObjectListFile::Read(listPath, items); !error.empty()) {
        std::cerr << "tarvoctl: " << error << '\n';
        return ExitCode::BadInput;
    }
    if (items.empty()) {
        std::cerr << "tarvoctl: " << listPath << " holds no object word; nothing to export\n";
        return ExitCode::BadInput;
    }
    model.LoadItems(items);
    {
        TransferReport::LineWarnings warnings(listPath);
        for (size_t i = 0; i < items.size(); ++i) {
            const ExportDrvDataModel::Row& row = model.Rows()[i];
            if (items[i].fromLongLine) {
                warnings.Add(items[i].line, "longer than 23 characters, read in pieces");
            } else if (items[i].skippedCharacters) {
                warnings.Add(items[i].line,
                             "characters other than hexadecimal digits were skipped");
            }
            if (!row.known) {
                warnings.Add(items[i].line, row.wordText +
                                                " is not in the dictionary; its "
                                                "value is saved in hexadecimal");
            }
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
        std::cerr << "tarvoctl: " << model.SaveError() << '\n';
        return transfer.Close(ExitCode::BadInput);
    }
    return transfer.Close(model.FailureCount() > 0 ? ExitCode::Refused : ExitCode::Done);
}

}  // namespace tarvo
