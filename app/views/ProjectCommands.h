#pragma once

#include <QString>
#include <string>

#include "app/ProjectDocument.h"

namespace tarvo {

class MainFrame;
class SharedState;

// The main frame's "Open" and "Save": the file dialogs, and the project document's hooks
// on the main frame's views and windows.
class ProjectCommands {
public:
    ProjectCommands(MainFrame& frame, SharedState& state);

    // Asks for a file, then saves or opens it; a cancelled dialog does nothing.
    void Save();
    void Open();

    ProjectDocument& Document() { return document_; }
    // The caption height that window places are saved and restored with.
    static int CaptionHeight(const MainFrame& frame);

private:
    void RestoreView(int panelNumber, const WindowPlace& place);
    QString InitialName() const;

    MainFrame& frame_;
    SharedState& state_;
    ProjectDocument document_;
};

}  // namespace tarvo
