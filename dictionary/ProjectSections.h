#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ProfileFile.h"
#include "protocol/DriveProtocol.h"

namespace tarvo {

class MessageTarget;
class ObjectDictionary;
class ParameterRows;
class PlacedWindow;
class SectionSink;
class UnitTable;

// Where a view's window stood when the project was saved, relative to the main window.
struct WindowPlace {
    bool open = false;
    int x = 0;
    int y = 0;
};

// The project file's sections: the rows of each panel's parameter list in section
// "TarvoStep:<panel number>" and every view's window place in section "TarvoStep:1". Rows
// are kept as dictionary keys, so restoring one needs the entry, its units and, for
// real-update entries, a monitor entry of the control link. User-interface thread only.
class ProjectSections {
public:
    // Registers a real-update entry with the control link.
    using RegisterMonitor =
        std::function<void(MessageTarget* owner, uint32_t key, MonitorClass monitorClass)>;

    static constexpr const char* kSectionPrefix = "TarvoStep:";

    ProjectSections(const ObjectDictionary& dictionary, UnitTable& units,
                    RegisterMonitor registerMonitor);

    void SetSavePath(std::string path) { savePath_ = std::move(path); }
    // Loads read the file at the path as they run.
    void SetOpenPath(std::string path) {
        openPath_ = std::move(path);
        openProject_.reset();
    }
    // The project opened from the path, whose bytes its open has read: every load answers
    // from this one reading until the next open.
    void OpenProject(std::string path, std::string_view bytes) {
        openProject_ = ProfileFile::FromContent(path, bytes);
        openPath_ = std::move(path);
    }
    const std::string& SavePath() const { return savePath_; }
    const std::string& OpenPath() const { return openPath_; }
    // While a project is being saved its sections go into `sink` (null: straight into the
    // save path), so that the project file is written once with all of them.
    void SetSaveSink(SectionSink* sink) { saveSink_ = sink; }

    // Writes "num" and one "key,value text,unit label" line per row into the save path.
    // False when the file could not be written.
    bool SaveListRows(const ParameterRows& list, int panelNumber);
    // Replaces the rows by those stored in the open path, up to the first key the
    // dictionary lacks; a missing or zero "num" leaves the list as it is. Gives the number
    // of rows loaded.
    int LoadListRows(ParameterRows& list, int panelNumber, MessageTarget* owner);

    // Writes "flag,left,top": the window's offset from the main window, the top less the
    // caption height. False when the file could not be written.
    bool SaveWindowPlace(int panelNumber, const PlacedWindow& window, int flag,
                         const PlacedWindow& mainWindow, int captionHeight);
    // The stored place as a position for the window's frame; not open when the value is
    // missing, empty or its flag is 0.
    WindowPlace LoadWindowPlace(int panelNumber, int captionHeight) const;

private:
    // Into the save sink while a project is being saved, else straight into the file with
    // one replacement of it.
    bool Store(const std::string& section, const std::vector<ProfileFile::KeyValue>& values);

    const ObjectDictionary& dictionary_;
    UnitTable& units_;
    RegisterMonitor registerMonitor_;
    std::string savePath_;
    std::string openPath_;
    std::optional<ProfileFile> openProject_;
    SectionSink* saveSink_ = nullptr;
};

}  // namespace tarvo
