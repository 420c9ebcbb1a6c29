#include "cli/UploadCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/EntryLookup.h"
#include "cli/ExitCode.h"
#include "cli/ReadCommand.h"
#include "dictionary/ValueText.h"

namespace tarvo {

int UploadCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                       const std::string& programFolder) {
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        std::cerr << "usage: tarvoctl CONNECTION upload ENTRY\n" << kConnectionUsage;
        return ExitCode::BadInput;
    }
    DictionaryEntry entry;
    {
        EntryLookup lookup(programFolder);
        if (!lookup.Usable() || !lookup.Find(args[0], entry)) {
            return ExitCode::BadInput;
        }
    }
    // A number's bytes are no text: the entry is read and shown as `read` shows it.
    if (ValueText::TypeWidth(entry.dataType) != 0) {
        return ReadCommand::Run({EntryLookup::KeyText(entry.key)}, options, programFolder);
    }
    uint32_t address = entry.key;
    DriveConnection drive(options, programFolder);
    int code = drive.Open();
    std::string text;
    uint32_t abortCode = 0;
    if (code == ExitCode::Done &&
        (code = drive.Upload(address, text, abortCode)) == ExitCode::Done) {
        std::printf("%s\n", text.c_str());
    } else if (code == ExitCode::Refused) {
        std::cerr << "tarvoctl: " << DriveConnection::AbortMessage(address, abortCode) << '\n';
    }
    return drive.Close(code);
}

}  // namespace tarvo
