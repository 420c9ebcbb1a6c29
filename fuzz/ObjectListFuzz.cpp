// libFuzzer target: any bytes as an object list (.cdo) give rows without a crash; the
// object words written one per line read back the same; the export reads every row from a
// drive, and the parameter file it writes is loaded by the import with the same words and
// values for every row that did not fail.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "comm/LinkSwitches.h"
#include "fuzz/FuzzDictionary.h"
#include "fuzz/TransferDrive.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "transfer/ExportDrvDataModel.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/ObjectListFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<tarvo::ObjectListFile::Item> items = tarvo::ObjectListFile::Parse(text);

    std::string clean;
    int lastLine = 0;
    for (const tarvo::ObjectListFile::Item& item : items) {
        if (item.line < lastLine || item.line < 1) {
            std::abort();
        }
        lastLine = item.line;
        char word[16];
        std::snprintf(word, sizeof word, "%08X\r\n", item.word);
        clean += word;
    }
    std::vector<tarvo::ObjectListFile::Item> again = tarvo::ObjectListFile::Parse(clean);
    if (again.size() != items.size()) {
        std::abort();
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (again[i].word != items[i].word || again[i].fromLongLine || again[i].skippedCharacters ||
            again[i].line != static_cast<int>(i) + 1) {
            std::abort();
        }
    }

    const tarvo::ObjectDictionary& dictionary = tarvo::fuzz::FamilyDictionary();
    tarvo::fuzz::TransferDrive drive(dictionary);
    tarvo::LinkSwitches switches;
    switches.connectionState = tarvo::ConnectionState::Open;
    tarvo::RecordingMessageBox box;
    tarvo::ManualTimer watchTimer;
    tarvo::ExportDrvDataModel exporter({drive, switches, box, dictionary, watchTimer});
    exporter.BeginOpen();
    exporter.LoadItems(items);
    exporter.EndOpen();
    exporter.Read();
    drive.Serve([](const tarvo::fuzz::TransferDrive::Sent&) {
        std::abort();  // the export only reads
    });
    if (exporter.Reading() || exporter.Rows().size() != items.size() || !box.texts.empty()) {
        std::abort();
    }

    tarvo::ManualTimer storeTimer;
    tarvo::ImportDrvDataModel importer({drive, switches, box, dictionary, storeTimer, watchTimer});
    importer.LoadText(exporter.FileText());
    size_t next = 0;
    for (const tarvo::ExportDrvDataModel::Row& row : exporter.Rows()) {
        if (row.result != tarvo::RowResult::kTrue && row.result != tarvo::RowResult::kFail) {
            std::abort();  // every row was read
        }
        if (row.Failed()) {
            continue;
        }
        if (next >= importer.Rows().size() || importer.Rows()[next].wordText != row.wordText ||
            importer.Rows()[next].loadValue != row.value ||
            importer.Rows()[next].word.word != row.word.word) {
            std::abort();
        }
        ++next;
    }
    if (next != importer.Rows().size()) {
        std::abort();
    }
    return 0;
}
