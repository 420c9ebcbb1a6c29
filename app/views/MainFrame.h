#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QToolBar>
#include <functional>
#include <memory>

#include "app/MainFrameLink.h"
#include "app/views/DialogRelay.h"
#include "app/views/ViewRegistry.h"
#include "platform/AppSettings.h"
#include "platform/MessageTarget.h"
#include "platform/qt/QtTimer.h"

namespace tarvo {

class MdiBackground;
class ProjectCommands;
class ResourceSet;
class SharedState;
class UnstoredChangesButton;
struct MenuItem;

// The multiple-document main window: menus, toolbar, status bar and the child frames of
// the views. It turns commands into show-or-create actions, runs the connection through
// MainFrameLink and tells the views of state changes.
class MainFrame : public QMainWindow, public MessageTarget {
    Q_OBJECT
public:
    MainFrame(SharedState& state, const ResourceSet& resources, QWidget* parent = nullptr);
    ~MainFrame() override;

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    // Runs a menu or toolbar command.
    void Dispatch(int command);

    MainFrameLink& Link() { return *link_; }
    ProjectCommands& Project() { return *project_; }
    ViewRegistry& Views() { return *views_; }
    QString StatusText() const { return statusPane_->text(); }
    QAction* CommandAction(int command) const;
    // Shows or creates the view of a command; false when no such view exists yet.
    bool ShowView(uint32_t command);
    // Asks a yes/no question; the program shows a message box, tests answer at once.
    using Confirm = std::function<bool(const QString& question)>;
    void SetConfirm(Confirm confirm) { confirm_ = std::move(confirm); }
    // Asked before the program or the connection closes while written values are not
    // stored; the program shows a message box, tests answer at once.
    enum class UnstoredAnswer { kStoreFirst, kCloseAnyway, kCancel };
    using AskUnstored = std::function<UnstoredAnswer(const QString& question)>;
    void SetAskUnstored(AskUnstored ask) { askUnstored_ = std::move(ask); }
    // The status bar's "N changes not stored"; a click opens Initialize/Save.
    UnstoredChangesButton* UnstoredButton() const { return unstoredButton_; }
    // Connects with the given RS232 settings as the settings form would (used by the demo).
    void ConnectSerial(const std::string& port, uint32_t baud, uint32_t nodeId);
    // The same over CAN with a bit-rate code (used by the demo on the simulated bus).
    void ConnectCan(uint32_t bitRateCode, uint32_t nodeId);

signals:
    // The written and not stored values changed (on the user-interface thread).
    void unstoredChangesChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The Initialize/Save dialog's window for the link; it outlives each dialog.
    DialogRelay initSaveRelay_;
    void BuildMenus();
    void AddMenuItems(QMenu* menu, const std::vector<MenuItem>& items);
    // The Window menu's list of the shown views, made afresh each time the menu opens.
    void ListOpenViews(QMenu* menu);
    void BuildToolbar();
    // A connection or a shown view that "New" would drop.
    bool SomethingOpen() const;
    void BuildStatusBar();
    void ShowUnstoredChanges();
    // False when the user keeps the values: cancelled, or chose to store them first (the
    // Initialize/Save dialog then opens).
    bool MayDropUnstored(bool program);
    void SelectStateImage(int image);
    void ShowProperties();
    void ShowSettingsForms(WindowState state);
    ViewRegistry::CreatedView CreateView(const ViewInfo& info);
    FramePlace PlaceOf(const ViewInfo& info) const;
    QString TitleOf(const ViewInfo& info) const;

    SharedState& state_;
    const ResourceSet& resources_;
    MdiBackground* area_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QLabel* statusPane_ = nullptr;
    QLabel* staleNote_ = nullptr;  // the time of the link's loss while values are stale
    UnstoredChangesButton* unstoredButton_ = nullptr;
    QHash<int, QAction*> actions_;
    QList<QAction*> openViewActions_;
    AppSettings settings_;
    QtTimer blinkTimer_;
    std::unique_ptr<ViewRegistry> views_;
    std::unique_ptr<MainFrameLink> link_;
    std::unique_ptr<ProjectCommands> project_;
    Confirm confirm_;
    AskUnstored askUnstored_;
    bool closing_ = false;
};

}  // namespace tarvo
