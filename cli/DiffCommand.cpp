#include "cli/DiffCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/ExitCode.h"
#include "cli/TransferLink.h"
#include "cli/TransferReport.h"
#include "platform/MessageBox.h"
#include "transfer/ImportDrvDataModel.h"

namespace tarvo {

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
        std::cerr << "tarvoctl: cannot read " << path << '\n';
        return ExitCode::BadInput;
    }
    TransferReport::SkippedLines(path, model.SkippedLines());
    if (transfer.Open() != ExitCode::Done) {
        return transfer.Close(ExitCode::NoAnswer);
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
    for (const Model::Row& row : model.Rows()) {
        if (row.result == RowResult::kTrue) {
            continue;
        }
        ++differing;
        std::string drive = row.result == RowResult::kSkipped
                                ? "(not compared: no valid value of its size)"
                            : row.result == RowResult::kFail ? "abort " + row.readValue
                                                             : row.readValue;
        std::printf("%s  %s  file %s  drive %s\n", TransferReport::KeyText(row.word.Key()).c_str(),
                    row.name.c_str(), row.loadValue.c_str(), drive.c_str());
    }
    // Rows that differ are reported with 1, as bad input is.
    return transfer.Close(differing > 0 ? ExitCode::BadInput : ExitCode::Done);
}

}  // namespace tarvo
