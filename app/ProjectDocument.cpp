#include "app/ProjectDocument.h"

#include <algorithm>
#include <cstdio>

#include "app/ProjectContent.h"
#include "platform/AtomicFile.h"
#include "platform/InputFile.h"
#include "platform/MessageBox.h"
#include "platform/TextCase.h"
#include "platform/TextCodec.h"

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

std::string ProjectDocument::CheckContent(std::string_view bytes) {
    // A project saved as UTF-16 with its byte-order mark is text the reader takes; its zero
    // bytes are no sign of binary data.
    std::string decoded;
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        decoded = TextCodec::Utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFE');
        bytes = decoded;
    }
    if (bytes.find('\0') != std::string_view::npos) {
        return "it holds binary data, not the text of a project.";
    }
    // A damaged project still opens what it can: only a file without any section of the
    // project's own is refused.
    bool content = false;
    while (!bytes.empty()) {
        size_t end = bytes.find('\n');
        std::string_view line = Trim(bytes.substr(0, end), kBlanksAndLineEnds);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.substr(0, 3) == "\xEF\xBB\xBF") {
            line = Trim(line.substr(3), kBlanksAndLineEnds);
        }
        if (line.empty() || line.front() == ';') {
            continue;
        }
        content = true;
        std::string_view prefix = ProjectSections::kSectionPrefix;
        if (line.front() == '[') {
            std::string_view name = Trim(line.substr(1));
            if (name.size() >= prefix.size() &&
                SameIgnoringCase(name.substr(0, prefix.size()), prefix)) {
                return {};
            }
        }
    }
    return content ? "it has no [TarvoStep:...] section." : std::string();
}

bool ProjectDocument::Open(const std::string& path) {
    std::string bytes;
    std::string error = InputFile::Read(path, bytes);
    if (error.empty()) {
        std::string wrong = CheckContent(bytes);
        if (!wrong.empty()) {
            error = path + " is not a project file: " + wrong;
        }
    }
    if (!error.empty()) {
        messageBox_.Show(std::string(kOpenFailed) + error);
        return false;
    }
    // The sections and places of every view come from this one reading of the file.
    sections_.OpenProject(path, bytes);
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
    // Views made by the restore read their rows as they are created; views that existed are
    // only moved and shown, and keep their rows.
    return true;
}

}  // namespace tarvo
