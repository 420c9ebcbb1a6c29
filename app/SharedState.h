#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "comm/LinkSwitches.h"
#include "dictionary/FormulaEvaluator.h"
#include "dictionary/ObjectDictionary.h"
#include "dictionary/ProjectSections.h"
#include "dictionary/UnitTable.h"
#include "dictionary/ValueText.h"

namespace tarvo {

class MessageBox;
class MessageTarget;
class MessageSender;
class RecordingMessageBox;

// The one process-wide state of the program, passed to every object that needs it. It
// resolves the program's files from the program folder, reads the settings file and owns
// the dictionary, the control link and the value conversions for the whole run.
class SharedState {
public:
    struct Options {
        std::string programFolder;  // empty: the current directory
        bool systemIsChinese = false;
        MessageBox* messageBox = nullptr;  // null: messages are only recorded
        MessageSender* sender = nullptr;   // null: a queue that the owner drains
        bool startLoader = true;           // tools that only need the paths leave it off
        // The dictionary data file (--dictionary); empty: "dictionary" of sys.ini, else
        // data/tarvo.dat. A relative path is taken from the program folder.
        std::string dictionaryFile;
    };

    explicit SharedState(const Options& options);
    ~SharedState();
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;

    // Headings of the parameter lists: name, value and unit columns.
    std::array<std::string, 3> columnLabels;
    // Name, value and unit column widths, then two more widths of the panels.
    std::array<int32_t, 5> columnWidths{};
    int32_t horizontalResolution = 0;

    // The process-wide switches of the link; mainFrameWindow among them.
    LinkSwitches switches;
    std::string dataFilePath;
    // 1 Chinese, 2 English; 3 while start-up has not settled it (the loader waits).
    std::atomic<uint8_t> languageSetting{0};
    // 1 when the system locale is Chinese (PRC), else 2.
    uint8_t systemLanguageFlag = 1;
    std::string settingsFilePath;
    std::string englishLibraryPath;
    std::string pcanLibraryPath;
    std::string programFolder;
    std::string userFolder;
    // Interface mode, connect-in-progress, last settings and the status text.
    ConnectionSession session;
    // The window that asked the dictionary browser for an entry (WM_OPEN_VIEW 2); the
    // browser hands it the pick and forgets it. User-interface thread only.
    MessageTarget* pickTarget = nullptr;
    // Panels and the browser tint values that differ from their factory default; the panels'
    // context menu switches it for the run. User-interface thread only.
    bool markFactoryDefaults = true;

    MessageBox& messageBox() const { return *messageBox_; }
    MessageSender& sender() const { return *sender_; }
    bool systemIsChinese() const { return systemIsChinese_; }

    // The current directory, as the program folder, at most 512 characters.
    static std::string CurrentFolder();

private:
    std::unique_ptr<RecordingMessageBox> ownMessageBox_;
    std::unique_ptr<MessageSender> ownSender_;
    MessageBox* messageBox_;
    MessageSender* sender_;
    bool systemIsChinese_;

public:
    ObjectDictionary dictionary;
    ControlLink link;
    FormulaEvaluator formulas;
    UnitTable units;
    ValueText valueText;
    ProjectSections project;
};

}  // namespace tarvo
