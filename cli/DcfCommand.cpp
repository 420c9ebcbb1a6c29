#include "cli/DcfCommand.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/ExitCode.h"
#include "cli/TransferLink.h"
#include "dictionary/EdsReader.h"
#include "dictionary/EdsWriter.h"
#include "platform/AppSettings.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"
#include "transfer/DcfRows.h"
#include "transfer/ExportDrvDataModel.h"
#include "transfer/ImportDrvDataModel.h"

namespace tarvo {

namespace {

// kbit/s of the CAN bit-rate codes; 0 for a serial link or a rate a DCF cannot name.
uint32_t KbitOf(const ConnectionOptions& options) {
    static const std::pair<uint32_t, uint32_t> kRates[] = {
        {0x0014, 1000}, {0x0016, 800}, {0x001C, 500}, {0x011C, 250}, {0x031C, 125},
        {0x432F, 100},  {0x472F, 50},  {0x532F, 20},  {0x672F, 10}};
    for (const auto& [code, kbit] : kRates) {
        if (options.can && options.bitRateCode == code) {
            return kbit;
        }
    }
    return 0;
}

}  // namespace

int DcfCommand::Export(const std::vector<std::string>& args, const ConnectionOptions& options,
                       const std::string& programFolder) {
    if (args.size() != 2 || args[0] != "--dcf" || args[1].empty() || args[1][0] == '-') {
        std::cerr << "usage: tarvoctl CONNECTION export --dcf OUT.dcf\n" << kConnectionUsage;
        return ExitCode::BadInput;
    }
    const std::string& outPath = args[1];
    TransferLink transfer(options, programFolder);
    if (!transfer.LoadDictionary()) {
        return ExitCode::BadInput;
    }
    RecordingMessageBox box;
    ExportDrvDataModel model(
        {transfer.Link(), transfer.Switches(), box, transfer.Dictionary(), transfer.IdleTimer()});
    std::vector<ObjectListFile::Item> items = DcfRows::ItemsOf(transfer.Dictionary());
    model.LoadItems(items);
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
    if (!answered || model.Stopped()) {
        std::cerr << "tarvoctl: the drive does not answer; " << outPath << " was not written\n";
        return transfer.Close(ExitCode::NoAnswer);
    }
    EdsWriter::Commissioning commissioning;
    commissioning.nodeId = static_cast<int>(options.node);
    commissioning.baudRateKbit = KbitOf(options);
    commissioning.nodeName = "Node " + std::to_string(options.node);
    size_t refused = 0;
    for (const ExportDrvDataModel::Row& row : model.Rows()) {
        // A value the drive refused or never sent is left out rather than guessed.
        if (row.result == RowResult::kTrue) {
            commissioning.values[row.word.Key()] = row.value;
        } else {
            ++refused;
            std::printf("%s  %s: %s, no ParameterValue\n", row.wordText.c_str(), row.name.c_str(),
                        row.value.c_str());
        }
    }
    AppSettings sys(programFolder + "/sys/sys.ini");
    EdsWriter::Settings settings;
    settings.fileName = std::filesystem::path(outPath).filename().string();
    settings.device.vendorName = sys.EdsVendorName();
    settings.device.productName = sys.EdsProductName();
    settings.device.orderCode = sys.EdsOrderCode();
    settings.commissioning = &commissioning;
    std::string text;
    std::string error;
    if (!EdsWriter::Write(EdsWriter::EntriesOf(transfer.Dictionary()), settings, text, error)) {
        std::cerr << "tarvoctl: " << error << '\n';
        return transfer.Close(ExitCode::BadInput);
    }
    error = AtomicFile::Write(outPath, text);
    if (!error.empty()) {
        std::cerr << "tarvoctl: " << error << '\n';
        return transfer.Close(ExitCode::BadInput);
    }
    std::printf("wrote %zu values to %s\n", commissioning.values.size(), outPath.c_str());
    return transfer.Close(refused > 0 ? ExitCode::Refused : ExitCode::Done);
}

bool DcfCommand::LoadInto(const std::string& path, const ConnectionOptions& options,
                          ImportDrvDataModel& model) {
    EdsReader::Options read;
    read.nodeId = static_cast<int>(options.node);
    EdsContents contents;
    std::string error;
    if (!EdsReader::Load(path, read, contents, error)) {
        std::cerr << "tarvoctl: " << error << '\n';
        return false;
    }
    DcfRows::Import rows = DcfRows::FromContents(contents, path);
    for (const std::string& line : rows.skipped) {
        std::cerr << line << '\n';
    }
    if (rows.rows == 0) {
        std::cerr << "tarvoctl: " << path << " holds no ParameterValue of a writable entry\n";
        return false;
    }
    model.LoadText(rows.parameterText);
    return true;
}

}  // namespace tarvo
