#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "ObjectDictionary.h"

namespace tarvo {

class MessageBox;
class MessageTarget;

// The one process-wide state of the program, passed to every object that needs it. It
// resolves the program's files from the program folder, reads the settings file and owns
// the object dictionary for the whole run.
class SharedState {
public:
    struct Options {
        std::string programFolder;  // empty: the current directory
        bool systemIsChinese = false;
        MessageBox* messageBox = nullptr;
        bool startLoader = true;  // tools that only need the paths leave it off
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

    ObjectDictionary dictionary;

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
    int32_t interfaceMode = 0;
    std::atomic<MessageTarget*> mainFrameWindow{nullptr};

    MessageBox* messageBox() const { return messageBox_; }
    bool systemIsChinese() const { return systemIsChinese_; }

    // The current directory, as the program folder, at most 512 characters.
    static std::string CurrentFolder();

private:
    MessageBox* messageBox_;
    bool systemIsChinese_;
};

}  // namespace tarvo
