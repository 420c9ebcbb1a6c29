#include "app/ProjectDocument.h"

#include <algorithm>
#include <cstdio>

#include "app/ProjectContent.h"
#include "platform/AtomicFile.h"
#include "platform/MessageBox.h"

namespace tarvo {

namespace {

// LoadWindowPlace gives the stored offsets less these; the restore adds them back.
constexpr int kPlaceLeftAllowance = 6;
constexpr int kPlaceTopAllowance = 59;
// A restored frame keeps at least this much of itself inside the area.
constexpr int kVisibleMargin = 40;

}  // namespace

ProjectDocument::ProjectDocument(ProjectSections& sections, MessageBox& messageBox, Hooks hooks)
    : sections_(sections), messageBox_(messageBox), hooks_(std::move(hooks)) {
    if (!hooks_.writeFile) {
        hooks_.writeFile = [](const std::string& path, std::string_view content) {
            return AtomicFile::Write(path, content);
        };
    }
    if (!hooks_.localTime) {
        hooks_.localTime = [] {
            std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            return local;
        };
    }
}

std::string ProjectDocument::ProjectPath(const std::string& chosen) {
    std::string path = chosen;
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot != std::string::npos && dot != 0 && (slash == std::string::npos || dot > slash)) {
        path.resize(dot);
    }
    return path + ".ksp";
}

std::string ProjectDocument::MakeStamp(const std::tm& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

ProjectDocument::Point ProjectDocument::RestoredPosition(const WindowPlace& place,
                                                         const AreaGeometry& area) {
    // The stored offsets are the frame's outer corner from the main window's, the top less
    // one caption height.
    int64_t left = int64_t{place.x} + kPlaceLeftAllowance;
    int64_t top = int64_t{place.y} + kPlaceTopAllowance + area.captionHeight;
    int64_t x = area.mainLeft + left - area.areaLeft;
    int64_t y = area.mainTop + top + area.captionHeight - area.areaTop;
    int64_t maxX = std::max(0, area.areaWidth - kVisibleMargin);
    int64_t maxY = std::max(0, area.areaHeight - kVisibleMargin);
    return {static_cast<int>(std::clamp<int64_t>(x, 0, maxX)),
            static_cast<int>(std::clamp<int64_t>(y, 0, maxY))};
}

bool ProjectDocument::Save(const std::string& chosenPath) {
    std::string path = ProjectPath(chosenPath);
    sections_.SetSavePath(path);
    // Every view writes its sections into memory; the file is then replaced at once, so
    // the sections of views no longer open disappear and a failed write keeps the old one.
    ProjectContent content;
    sections_.SetSaveSink(&content);
    if (hooks_.broadcast) {
        hooks_.broadcast(WindowState::SaveProject);
    }
    sections_.SetSaveSink(nullptr);
    std::string error = hooks_.writeFile(path, content.Text());
    if (!error.empty()) {
        messageBox_.Show(std::string(kSaveFailed) + error);
        return false;
    }
    return true;
}

bool ProjectDocument::Open(const std::string& path) {
    std::string bytes;
    if (!AtomicFile::Read(path, bytes)) {
        messageBox_.Show(std::string(kOpenFailed) + path);
        return false;
    }
    sections_.SetOpenPath(path);
    stamp_ = MakeStamp(hooks_.localTime());
    if (hooks_.closeAll) {
        hooks_.closeAll();
    }
    int caption = hooks_.captionHeight ? hooks_.captionHeight() : 0;
    for (int number = kFirstPanelNumber; number <= kLastPanelNumber; ++number) {
        WindowPlace place = sections_.LoadWindowPlace(number, caption);
        if (place.open && hooks_.restoreView) {
            hooks_.restoreView(number, place);
        }
    }
    // Views that existed before read their rows anew; new ones read them when created.
    if (hooks_.broadcast) {
        hooks_.broadcast(WindowState::ProjectOpened);
    }
    return true;
}

}  // namespace tarvo
