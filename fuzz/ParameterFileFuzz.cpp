// libFuzzer target: any bytes as a parameter file (.cdi, .txt) are loaded by the import
// without a crash, every line either a row or left out with its reason; rows formatted as
// the export writes them read back the same; and a write or compare run against a drive
// sends only the values the file holds, in the width its object word gives, and reports a
// row as verified only when the drive holds the value of the file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "comm/LinkSwitches.h"
#include "fuzz/FuzzDictionary.h"
#include "fuzz/TransferDrive.h"
#include "platform/LenientNumber.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/ParameterFile.h"
#include "transfer/TransferValue.h"

namespace {

using tarvo::ImportDrvDataModel;
using tarvo::ParameterFile;

size_t LineCount(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    size_t lines = 0;
    for (size_t at = 0; at < text.size(); ++lines) {
        size_t end = text.find('\n', at);
        at = end == std::string_view::npos ? text.size() : end + 1;
    }
    return lines;
}

void CheckParse(std::string_view text) {
    ParameterFile::LoadResult loaded = ParameterFile::Parse(text);
    // Every line is a row or left out, once, in order.
    if (loaded.rows.size() + loaded.skipped.size() != LineCount(text)) {
        std::abort();
    }
    std::vector<ParameterFile::Line> lines;
    int last = 0;
    for (const ParameterFile::Loaded& row : loaded.rows) {
        if (row.line <= last || row.word.empty() || row.word.find(',') != std::string::npos ||
            row.value.find(',') != std::string::npos) {
            std::abort();
        }
        last = row.line;
        // Rows as the export writes them read back the same (a row too long for a line of
        // the file, or one that would pass for a byte-order mark, cannot be written).
        if (row.word.size() + row.value.size() + 6 <= ParameterFile::kMaxLineLength &&
            row.word.rfind("\xEF\xBB\xBF", 0) != 0) {
            lines.push_back({row.word, row.value, "True"});
        }
    }
    ParameterFile::LoadResult again = ParameterFile::Parse(ParameterFile::Format(lines));
    if (!again.skipped.empty() || again.rows.size() != lines.size()) {
        std::abort();
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (again.rows[i].word != lines[i].word || again.rows[i].value != lines[i].value) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckParse(text);

    const tarvo::ObjectDictionary& dictionary = tarvo::fuzz::FamilyDictionary();
    tarvo::fuzz::TransferDrive drive(dictionary);
    tarvo::LinkSwitches switches;
    switches.connectionState = tarvo::ConnectionState::Open;
    tarvo::RecordingMessageBox box;
    tarvo::ManualTimer storeTimer;
    tarvo::ManualTimer watchTimer;
    ImportDrvDataModel model({drive, switches, box, dictionary, storeTimer, watchTimer});
    model.BeginOpen();
    model.LoadText(text);
    model.EndOpen();
    const auto& rows = model.Rows();
    for (const ImportDrvDataModel::Row& row : rows) {
        if (row.word.word != tarvo::ParseHexText(row.wordText)) {
            std::abort();
        }
    }

    // A row reported verified: the drive holds the file's value (in the width of the word
    // and of the entry).
    model.hooks.rowChanged = [&](int index) {
        const ImportDrvDataModel::Row& row = rows[static_cast<size_t>(index)];
        if (row.result != tarvo::RowResult::kTrue) {
            return;
        }
        std::optional<uint32_t> wanted =
            tarvo::TransferValue::ParseLoadValue(row.loadValue, row.word.SizeBits());
        uint32_t mask = (row.word.SizeBits() == 8    ? 0xFFu
                         : row.word.SizeBits() == 16 ? 0xFFFFu
                                                     : 0xFFFFFFFFu) &
                        drive.EntryMask(row.word.Key());
        if (!wanted || (drive.Held(row.word.Key()) & mask) != (*wanted & mask)) {
            std::abort();
        }
    };
    auto kind = static_cast<ImportDrvDataModel::RunKind>(size % 3);
    model.Start(kind);
    drive.Serve([&](const tarvo::fuzz::TransferDrive::Sent& sent) {
        if (kind == ImportDrvDataModel::RunKind::kCompare) {
            std::abort();  // a comparison never writes
        }
        // The write is the value of some row of the entry, in the width of its word.
        for (const ImportDrvDataModel::Row& row : rows) {
            if (row.word.Key() == sent.key &&
                row.word.WriteCommand() == static_cast<tarvo::SdoCommand>(sent.command) &&
                tarvo::TransferValue::ParseLoadValue(row.loadValue, row.word.SizeBits()) ==
                    sent.data) {
                return;
            }
        }
        std::abort();
    });
    if (model.Running()) {
        std::abort();  // every reply came, the run must have ended
    }
    return 0;
}
