#include "app/views/ProjectCommands.h"

#include <QFileDialog>
#include <QMdiArea>
#include <QStyle>

#include "app/SharedState.h"
#include "app/views/FrameArea.h"
#include "app/views/MainFrame.h"

namespace tarvo {

namespace {

const QString kFilter = QStringLiteral("ksp (*.ksp)");

}  // namespace

ProjectCommands::ProjectCommands(MainFrame& frame, SharedState& state)
    : frame_(frame),
      state_(state),
      document_(state.project, state.messageBox(),
                {[this](WindowState state) { frame_.Views().Broadcast(state); },
                 [this] { frame_.Views().CloseAll(); },
                 [this](int number, const WindowPlace& place) { RestoreView(number, place); },
                 [this] { return CaptionHeight(frame_); },
                 {},
                 {}}) {}

int ProjectCommands::CaptionHeight(const MainFrame& frame) {
    return frame.style()->pixelMetric(QStyle::PM_TitleBarHeight);
}

QString ProjectCommands::InitialName() const {
    return QString::fromStdString(state_.userFolder) + QStringLiteral("name");
}

void ProjectCommands::Save() {
    QString path = QFileDialog::getSaveFileName(&frame_, QString(), InitialName(), kFilter);
    if (!path.isEmpty()) {
        document_.Save(path.toStdString());
    }
}

void ProjectCommands::Open() {
    QString path = QFileDialog::getOpenFileName(&frame_, QString(), InitialName(), kFilter);
    if (!path.isEmpty()) {
        document_.Open(path.toStdString());
    }
}

void ProjectCommands::RestoreView(int panelNumber, const WindowPlace& place) {
    const ViewInfo* info = ViewCatalog::ByPanelNumber(panelNumber);
    if (info == nullptr) {
        return;
    }
    ChildFrame* child = frame_.Views().ShowOrCreate(*info);
    QWidget* area = child != nullptr ? child->parentWidget() : nullptr;
    if (area == nullptr) {
        return;
    }
    QPoint main = frame_.frameGeometry().topLeft();
    QPoint origin = area->mapToGlobal(QPoint(0, 0));
    ProjectDocument::AreaGeometry geometry{
        main.x(),      main.y(),       origin.x(),           origin.y(),
        area->width(), area->height(), CaptionHeight(frame_)};
    ProjectDocument::Point at = ProjectDocument::RestoredPosition(place, geometry);
    child->move(at.x, at.y);
    // A place saved on a larger screen or window is kept only where the frame still shows.
    if (QMdiArea* mdi = child->mdiArea()) {
        FrameArea::KeepInside(*mdi, child);
    }
}

}  // namespace tarvo
