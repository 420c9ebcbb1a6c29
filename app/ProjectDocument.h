#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "dictionary/ProjectSections.h"
#include "platform/MessageTarget.h"

namespace tarvo {

class MessageBox;

// The project file (.ksp): "Save" gathers the sections every view writes on WM_LINK_STATE
// SaveProject and writes the file once, through a temporary file renamed into place, so a
// failed save keeps the previous project; "Open" closes all views and shows every view the
// project lists as open at its stored place: views made then read their sections as they are
// created, views that existed keep their rows. User-interface thread only.
class ProjectDocument {
public:
    struct Hooks {
        // Sends WM_LINK_STATE with the state to every existing view.
        std::function<void(WindowState state)> broadcast;
        // Closes (hides) every view's frame.
        std::function<void()> closeAll;
        // Shows or creates the view stored under a panel number at the stored place.
        std::function<void(int panelNumber, const WindowPlace& place)> restoreView;
        // The caption height the views' places are saved with.
        std::function<int()> captionHeight;
        // Writes a whole file in place: empty on success, else what went wrong. Default: the
        // atomic writer.
        std::function<std::string(const std::string& path, std::string_view content)> writeFile;
        // The local time for the project stamp. Default: now.
        std::function<std::tm()> localTime;
    };

    // Where a restored frame goes inside the main window's area of child frames.
    struct AreaGeometry {
        int mainLeft = 0;  // the main window's outer top-left corner on the screen
        int mainTop = 0;
        int areaLeft = 0;  // the child-frame area's top-left corner on the screen
        int areaTop = 0;
        int areaWidth = 0;
        int areaHeight = 0;
        int captionHeight = 0;
    };
    struct Point {
        int x = 0;
        int y = 0;
        bool operator==(const Point&) const = default;
    };

    static constexpr int kFirstPanelNumber = 2;
    static constexpr int kLastPanelNumber = 49;
    static constexpr const char* kSaveFailed = "Couldn't save the project file!\n";
    static constexpr const char* kOpenFailed = "Couldn't open the project file!\n";

    ProjectDocument(ProjectSections& sections, MessageBox& messageBox, Hooks hooks);

    // The chosen name with its extension (if any) replaced by ".ksp".
    static std::string ProjectPath(const std::string& chosen);
    // "%04d%02d%02d%02d%02d%02d" of the time.
    static std::string MakeStamp(const std::tm& time);
    // The frame position that puts a restored view where it stood when it was saved,
    // kept inside the area so that a place off the screen still shows the frame.
    static Point RestoredPosition(const WindowPlace& place, const AreaGeometry& area);

    // Empty when the bytes can be a project file (settings-file text whose sections are all
    // the project's own, or nothing at all); else what is wrong with them.
    static std::string CheckContent(std::string_view bytes);

    // Saves the project under the chosen name; false (after a message) when the file could
    // not be written, the previous file then being left as it was.
    bool Save(const std::string& chosenPath);
    // Opens a project; false (after a message naming the file and what is wrong) when it
    // cannot be read or is not a project, nothing then being changed.
    bool Open(const std::string& path);

    // Set at each open; empty until the first.
    const std::string& Stamp() const { return stamp_; }

private:
    ProjectSections& sections_;
    MessageBox& messageBox_;
    Hooks hooks_;
    std::string stamp_;
};

}  // namespace tarvo
