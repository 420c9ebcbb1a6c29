#include "cli/ImportCommand.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "cli/DcfCommand.h"
#include "cli/ExitCode.h"
#include "cli/TransferLink.h"
#include "cli/TransferReport.h"
#include "comm/LinkSwitches.h"
#include "platform/MessageBox.h"
#include "protocol/DriveObjects.h"
#include "transfer/DcfRows.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/TransferTexts.h"

namespace tarvo {

namespace {

using Model = ImportDrvDataModel;
using DriveObject::kReboot;
using DriveObject::kRebootValue;
using DriveObject::kStoreControlParameters;
using DriveObject::kStoreMotorParameters;
// A store keeps its object busy (non-zero) until the values are in the non-volatile memory.
constexpr auto kStoreLimit = std::chrono::seconds(10);

// Waits until both store objects read 0; false when the drive does not get there.
bool WaitStoreIdle(TransferLink& transfer) {
    auto deadline = std::chrono::steady_clock::now() + kStoreLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        uint32_t control = 1;
        uint32_t motor = 1;
        if (transfer.Exchange(SdoCommand::Read, kStoreControlParameters, 0, control) !=
                ExitCode::Done ||
            transfer.Exchange(SdoCommand::Read, kStoreMotorParameters, 0, motor) !=
                ExitCode::Done) {
            return false;
        }
        if (control == 0 && motor == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

int Store(TransferLink& transfer, Model& model) {
    model.SaveParameters();
    bool answered = transfer.RunUntil([&model] { return !model.Storing(); }, [] {}, nullptr, "");
    if (!answered) {
        std::cerr << "tarvoctl: the drive does not answer the store command\n";
        return ExitCode::NoAnswer;
    }
    std::printf("Save parameters: %s\n", model.StatusText(Model::kStoreStatus).c_str());
    if (model.StoreFailed()) {
        return ExitCode::Refused;
    }
    if (!WaitStoreIdle(transfer)) {
        std::cerr << "tarvoctl: the drive did not finish storing the parameters\n";
        return ExitCode::Refused;
    }
    return ExitCode::Done;
}

int Reboot(TransferLink& transfer) {
    // As the view does: no repetition once the drive may already be restarting.
    transfer.Switches().transmitRetry = 0;
    uint32_t value = 0;
    if (int code = transfer.Exchange(SdoCommand::Write16, kReboot, kRebootValue, value)) {
        return code;
    }
    if (value != kRebootValue) {
        std::cerr << "tarvoctl: the drive did not confirm the reboot\n";
        return ExitCode::NoAnswer;
    }
    std::printf("Reboot Driver: the driver restarts\n");
    return ExitCode::Done;
}

}  // namespace

int ImportCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                       const std::string& programFolder) {
    std::vector<std::string> words, flags;
    if (!TransferLink::SplitArgs(args, {"--store", "--reboot", "--discard", "--changed-only"},
                                 words, flags) ||
        words.size() != 1) {
        std::cerr << "usage: tarvoctl CONNECTION import FILE.cdi [--changed-only] [--store] "
                     "[--reboot [--discard]]\n"
                  << kConnectionUsage;
        return ExitCode::BadInput;
    }
    bool store = TransferLink::HasFlag(flags, "--store");
    bool reboot = TransferLink::HasFlag(flags, "--reboot");
    // The drive comes back from a reboot with its stored values only.
    if (reboot && !store && !TransferLink::HasFlag(flags, "--discard")) {
        std::cerr << "tarvoctl: --reboot without --store would lose the imported values, as the "
                     "drive restarts with its stored ones; add --store to keep them, or "
                     "--discard to reboot anyway\n";
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
    if (DcfRows::IsDcf(path)) {
        if (!DcfCommand::LoadInto(path, options, model)) {
            return ExitCode::BadInput;
        }
    } else if (!model.LoadFile(path)) {
        std::cerr << "tarvoctl: " << model.LoadError() << '\n';
        return ExitCode::BadInput;
    }
    if (!TransferReport::CheckParameterRows(path, model)) {
        return ExitCode::BadInput;
    }
    if (int code = transfer.Open()) {
        return transfer.Close(code);
    }
    bool changedOnly = TransferLink::HasFlag(flags, "--changed-only");
    model.Start(changedOnly ? Model::RunKind::kWriteChanged : Model::RunKind::kWrite);
    bool answered =
        transfer.RunUntil([&model] { return !model.Running(); }, [&model] { model.Stop(); },
                          [&model] {
                              return TransferLink::Progress{model.StepsDone(), model.StepCount()};
                          },
                          "import");
    const auto& rows = model.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const Model::Row& row = rows[i];
        if (row.result != RowResult::kTrue && row.result != RowResult::kNone) {
            std::printf("row %zu  %s  %s: file %s, drive %s: %s\n", i + 1, row.wordText.c_str(),
                        row.name.c_str(), row.loadValue.c_str(),
                        row.readValue.empty() ? "-" : row.readValue.c_str(),
                        RowResultText(row.result));
        }
    }
    std::string status = model.StatusText(Model::kWriteStatus);
    // The view's hint names its button; here the rows printed above say what went wrong.
    if (size_t hint = status.find(TransferTexts::kRewriteHint); hint != std::string::npos) {
        status.erase(hint);
    }
    std::printf("%s\n", status.c_str());
    if (changedOnly) {
        std::printf("written: %d of %zu rows\n", model.WritesSent(), rows.size());
    }
    if (!answered || model.Stopped()) {
        std::cerr << "tarvoctl: the drive does not answer; the rows from the one named above on "
                     "were not verified\n";
        return transfer.Close(ExitCode::NoAnswer);
    }
    int exitCode = model.AlarmCount() + model.ErrorCount() > 0 ? ExitCode::Refused : ExitCode::Done;
    if (exitCode != ExitCode::Done && (store || reboot)) {
        std::cerr << "tarvoctl: not every row was written and verified; the parameters are "
                     "neither saved nor the drive rebooted\n";
        return transfer.Close(exitCode);
    }
    if (store) {
        exitCode = Store(transfer, model);
    }
    if (reboot && exitCode == ExitCode::Done) {
        exitCode = Reboot(transfer);
    }
    return transfer.Close(exitCode);
}

}  // namespace tarvo
