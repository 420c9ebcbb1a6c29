#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "protocol/DriveProtocol.h"

namespace tarvo {

class MessageTarget;
class ObjectDictionary;
class PanelLink;
class ProjectSections;
class UnitTable;
class ValueText;

// What a list panel works with, all owned by the shared application state.
struct PanelServices {
    const ObjectDictionary& dictionary;
    UnitTable& units;
    ValueText& values;
    ProjectSections& project;
    PanelLink& link;
    // 1 while the connection is open.
    const std::atomic<ConnectionState>& connectionState;
    // The main window: receives WM_OPEN_VIEW.
    const std::atomic<MessageTarget*>& mainWindow;
    // Holds sys/<panel name>.ini.
    std::string programFolder;
    // True once a project file has been opened in this run.
    std::function<bool()> projectOpened;
    // Remembers the window that receives the entry picked in the dictionary browser.
    std::function<void(MessageTarget*)> setPickTarget;
    // Tells the user once what is wrong with a definition file; the panel opens with what
    // could be built.
    std::function<void(const std::string&)> reportProblem;
};

}  // namespace tarvo
