#include "app/views/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

#include "app/SharedState.h"
#include "app/views/DriveControlViewFactory.h"
#include "app/views/EdsExportCommand.h"
#include "app/views/FrameArea.h"
#include "app/views/InitSaveDialog.h"
#include "app/views/IoErrorViewFactory.h"
#include "app/views/LanguageDialog.h"
#include "app/views/MdiBackground.h"
#include "app/views/PanelViewFactory.h"
#include "app/views/ProjectCommands.h"
#include "app/views/ScopeViewFactory.h"
#include "app/views/TransferViewFactory.h"
#include "app/views/TrendViewFactory.h"
#include "app/views/UnstoredChangesButton.h"
#include "app/views/ViewServices.h"
#include "comm/ConnectionContext.h"
#include "comm/SerialPortProbe.h"
#include "comm/views/CommCanView.h"
#include "comm/views/CommModeView.h"
#include "comm/views/CommRs232View.h"
#include "panels/ioerror/FaultResetOffer.h"
#include "panels/views/StaleMark.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

enum : int {
    kNew = 57600,
    kOpen = 57601,
    kSave = 57604,
    kExportEds = 1500,
    kExit = 57665,
    kAbout = 57664,
    kInterfaceChange = 1212,
    kProperties = 1213,
    kConnect = 1128,
    kInitSave = 1246,
    kLanguage = 1236,
    kToolbarToggle = 59392,
    kStatusBarToggle = 59393,
    kCascade = 1133,
    kTile = 1134,
    kOscilloscopeButton = 1127,
    kIoButton = 1129,
    kErrorButton = 1130,
    kReadButton = 1132,
    kWriteButton = 1131,
    kOpenButton = 1125,
    kSaveButton = 1126,
    kWindowCascade = 57650,
    kWindowTile = 57651,
    kWindowCloseAll = 57654,
};

constexpr int kAskNew = 2906;
constexpr int kStoreFirst = 1746;
constexpr int kCloseAnyway = 1747;
constexpr int kCancel = 1748;

// Toolbar buttons that stand for a menu command.
int MenuCommandOf(int toolbarCommand) {
    switch (toolbarCommand) {
        case kOscilloscopeButton:
            return 1247;
        case kIoButton:
            return 1218;
        case kErrorButton:
            return 1235;
        case kReadButton:
            return 1243;
        case kWriteButton:
            return 1244;
        case kOpenButton:
            return kOpen;
        case kSaveButton:
            return kSave;
        default:
            return toolbarCommand;
    }
}

}  // namespace

MainFrame::MainFrame(SharedState& state, const ResourceSet& resources, QWidget* parent)
    : QMainWindow(parent), state_(state), resources_(resources), settings_(state.settingsFilePath) {
    // A dictionary other than the shipped one is named in the title.
    QString title = resources_.String(102);
    if (state_.dataFilePath != state_.programFolder + "/data/tarvo.dat") {
        title += QStringLiteral(" - ") +
                 QString::fromStdString(state_.dataFilePath).section(QLatin1Char('/'), -1);
    }
    setWindowTitle(title);
    setWindowIcon(resources_.Icon(128));
    setGeometry(100, 100, 1331, 844);
    area_ = new MdiBackground(resources_.Bitmap(201), this);
    setCentralWidget(area_);
    // A tip belongs to the window under the pointer: switching windows takes it down.
    connect(area_, &QMdiArea::subWindowActivated, this, [] { QToolTip::hideText(); });
    views_ = std::make_unique<ViewRegistry>(
        *area_, [this](const ViewInfo& info) { return CreateView(info); },
        [this](const ViewInfo& info) { return PlaceOf(info); },
        [this](const ViewInfo& info) { return TitleOf(info); });

    MainFrameLink::Context context{state_.link,         state_.switches, state_.session, settings_,
                                   state_.messageBox(), state_.formulas, blinkTimer_,    this};
    MainFrameLink::ViewHooks hooks;
    hooks.selectStateImage = [this](int image) { SelectStateImage(image); };
    hooks.showStatus = [this](const std::string& text) {
        statusPane_->setText(QString::fromStdString(text));
    };
    hooks.broadcast = [this](WindowState state) {
        if (state == WindowState::ConnectionChanged) {
            staleNote_->hide();  // connected again: values turn live as they are read
        }
        views_->Broadcast(state);
    };
    hooks.linkLost = [this] {
        qint64 now = QDateTime::currentSecsSinceEpoch();
        staleNote_->setText(StaleMark::Note(resources_, now));
        staleNote_->show();
        views_->Broadcast(WindowState::LinkLost, static_cast<intptr_t>(now));
    };
    hooks.notifySettingsForms = [this](WindowState state) { ShowSettingsForms(state); };
    hooks.rs232FormExists = [this] { return views_->Exists(ViewKind::kCommRs232); };
    hooks.canFormExists = [this] { return views_->Exists(ViewKind::kCommCan); };
    link_ = std::make_unique<MainFrameLink>(context, std::move(hooks));
    project_ = std::make_unique<ProjectCommands>(*this, state_);

    confirm_ = [this](const QString& question) {
        // "No" is the default: a stray Enter must not say yes.
        return QMessageBox::question(this, windowTitle(), question,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    askUnstored_ = [this](const QString& question) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), question, QMessageBox::NoButton, this);
        QPushButton* store = box.addButton(resources_.String(kStoreFirst), QMessageBox::AcceptRole);
        QPushButton* close =
            box.addButton(resources_.String(kCloseAnyway), QMessageBox::DestructiveRole);
        QPushButton* cancel = box.addButton(resources_.String(kCancel), QMessageBox::RejectRole);
        // Enter stores, Esc keeps everything as it is.
        box.setDefaultButton(store);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == store) {
            return UnstoredAnswer::kStoreFirst;
        }
        return box.clickedButton() == close ? UnstoredAnswer::kCloseAnyway
                                            : UnstoredAnswer::kCancel;
    };
    BuildMenus();
    BuildToolbar();
    BuildStatusBar();
    // Told on the link's worker: the count is shown on this thread.
    state_.link.Unstored().SetListener([this] {
        QMetaObject::invokeMethod(this, &MainFrame::ShowUnstoredChanges, Qt::QueuedConnection);
    });
    link_->Start();
}

MainFrame::~MainFrame() {
    state_.link.Unstored().SetListener(nullptr);
}

void MainFrame::ShowUnstoredChanges() {
    unstoredButton_->Refresh();
    emit unstoredChangesChanged();
}

bool MainFrame::MayDropUnstored(bool program) {
    size_t count = state_.link.Unstored().Count();
    if (count == 0) {
        return true;
    }
    switch (askUnstored_(UnstoredChangesButton::Question(resources_, program, count))) {
        case UnstoredAnswer::kCloseAnyway:
            return true;
        case UnstoredAnswer::kStoreFirst:
            // After the question's own event loop has ended.
            QTimer::singleShot(0, this, [this] { Dispatch(kInitSave); });
            return false;
        case UnstoredAnswer::kCancel:
            break;
    }
    return false;
}

void MainFrame::AddMenuItems(QMenu* menu, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (item.IsSubmenu()) {
            AddMenuItems(menu->addMenu(QString::fromStdString(item.caption)), item.items);
        } else {
            QAction* action = menu->addAction(QString::fromStdString(item.caption));
            int command = item.id;
            action->setData(command);
            connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
            actions_.insert(command, action);
        }
    }
}

void MainFrame::BuildMenus() {
    auto menu = resources_.Catalog().Menu(102);
    if (!menu) {
        return;
    }
    for (const MenuItem& top : *menu) {
        if (top.IsSubmenu()) {
            AddMenuItems(menuBar()->addMenu(QString::fromStdString(top.caption)), top.items);
        }
    }
    for (const Accelerator& accelerator : resources_.Catalog().Accelerators()) {
        if (QAction* action = actions_.value(accelerator.command)) {
            if (action->shortcut().isEmpty()) {
                action->setShortcut(QKeySequence(QString::fromStdString(accelerator.key)));
            }
        }
    }
    if (QAction* cascade = actions_.value(kWindowCascade)) {
        if (auto* window = qobject_cast<QMenu*>(cascade->parent())) {
            connect(window, &QMenu::aboutToShow, this, [this, window] { ListOpenViews(window); });
        }
    }
    if (QAction* action = actions_.value(kToolbarToggle)) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    if (QAction* action = actions_.value(kStatusBarToggle)) {
        action->setCheckable(true);
        action->setChecked(true);
    }
}

bool MainFrame::SomethingOpen() const {
    if (state_.switches.connectionState == ConnectionState::Open) {
        return true;
    }
    const QList<QMdiSubWindow*> frames = area_->subWindowList();
    return std::any_of(frames.begin(), frames.end(),
                       [](const QMdiSubWindow* frame) { return frame->isVisible(); });
}

void MainFrame::ListOpenViews(QMenu* menu) {
    for (QAction* action : std::as_const(openViewActions_)) {
        menu->removeAction(action);
        action->deleteLater();
    }
    openViewActions_.clear();
    int number = 0;
    for (QMdiSubWindow* frame : area_->subWindowList(QMdiArea::CreationOrder)) {
        if (!frame->isVisible()) {
            continue;
        }
        if (number == 0) {
            openViewActions_ << menu->addSeparator();
        }
        ++number;
        QString caption = number < 10
                              ? QStringLiteral("&%1 %2").arg(number).arg(frame->windowTitle())
                              : frame->windowTitle();
        QAction* action = menu->addAction(caption);
        action->setCheckable(true);
        action->setChecked(frame == area_->activeSubWindow());
        QPointer<QMdiSubWindow> target = frame;
        connect(action, &QAction::triggered, this, [this, target] {
            if (target) {
                target->showNormal();
                FrameArea::KeepInside(*area_, target);
                area_->setActiveSubWindow(target);
            }
        });
        openViewActions_ << action;
    }
}

void MainFrame::BuildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("toolbar"));
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(25, 25));
    for (const ToolbarButton& button : resources_.Catalog().FrameToolbar()) {
        if (button.command == 0) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = toolbar_->addAction(resources_.Icon(button.icon), QString());
        int command = button.command;
        action->setData(command);
        // The command's string reads "status bar prompt\ntooltip", as for the menu commands.
        QString prompt = resources_.String(command);
        QString tip = prompt.section('\n', 1);
        if (tip.isEmpty()) {
            tip = QString::fromStdString(
                      resources_.Catalog().MenuCaption(102, MenuCommandOf(command)))
                      .remove('&');
        }
        action->setToolTip(tip);
        action->setStatusTip(prompt.section('\n', 0, 0));
        connect(action, &QAction::triggered, this, [this, command] { Dispatch(command); });
        actions_.insert(command, action);
    }
}

void MainFrame::BuildStatusBar() {
    staleNote_ = new QLabel(this);
    staleNote_->setObjectName(QStringLiteral("staleNote"));
    staleNote_->hide();
    statusBar()->addPermanentWidget(staleNote_);
    unstoredButton_ = new UnstoredChangesButton(state_.link.Unstored(), resources_, this);
    connect(unstoredButton_, &QToolButton::clicked, this, [this] { Dispatch(kInitSave); });
    statusBar()->addPermanentWidget(unstoredButton_);
    statusPane_ = new QLabel(this);
    QString placeholder = resources_.String(59140);
    if (placeholder.isEmpty()) {
        placeholder = QString(40, 'M');
    }
    statusPane_->setMinimumWidth(statusPane_->fontMetrics().horizontalAdvance(placeholder));
    statusBar()->addPermanentWidget(statusPane_);
}

QAction* MainFrame::CommandAction(int command) const {
    return actions_.value(command);
}

void MainFrame::SelectStateImage(int image) {
    if (QAction* action = actions_.value(kErrorButton)) {
        action->setIcon(resources_.Icon(image));
        action->setData(kErrorButton);
        action->setProperty("stateImage", image);
    }
}

void MainFrame::ShowSettingsForms(WindowState state) {
    for (ViewKind kind : {ViewKind::kCommRs232, ViewKind::kCommCan}) {
        if (ChildFrame* frame = views_->Frame(kind)) {
            frame->ViewTarget()->onMessage(WM_LINK_STATE, ToWParam(state), 0);
        }
    }
}

QString MainFrame::TitleOf(const ViewInfo& info) const {
    if (info.titleString != 0) {
        QString title = resources_.String(static_cast<int>(info.titleString));
        if (!title.isEmpty()) {
            return title;
        }
    }
    if (info.fixedTitle != nullptr) {
        return QString::fromUtf8(info.fixedTitle);
    }
    // A view without a title of its own is titled like its menu item.
    return QString::fromStdString(
               resources_.Catalog().MenuCaption(102, static_cast<int>(info.command)))
        .remove('&');
}

FramePlace MainFrame::PlaceOf(const ViewInfo& info) const {
    bool chinese = state_.languageSetting.load() == 1;
    return ViewCatalog::DefaultPlace(info, state_.horizontalResolution, state_.columnWidths,
                                     chinese);
}

ViewRegistry::CreatedView MainFrame::CreateView(const ViewInfo& info) {
    // The forms' open/close button asks as the toolbar's does.
    std::function<bool()> mayClose = [this] { return MayDropUnstored(false); };
    ConnectionContext context{state_.link, state_.switches,     state_.session,
                              settings_,   state_.messageBox(), this,
                              mayClose};
    switch (info.kind) {
        case ViewKind::kCommMode: {
            // An open connection stays open while another interface is chosen and tried.
            auto* view = new CommModeView(context, resources_);
            connect(view, &CommModeView::closeRequested, this, [this] {
                if (ChildFrame* frame = views_->Frame(ViewKind::kCommMode)) {
                    frame->close();
                }
            });
            return {view, view};
        }
        case ViewKind::kCommRs232: {
            std::string folder = state_.programFolder;
            auto* view = new CommRs232View(
                context, resources_, [folder] { return SerialPortProbe::ListPorts({folder}); });
            return {view, view};
        }
        case ViewKind::kCommCan: {
            auto* view = new CommCanView(context, resources_);
            return {view, view};
        }
        default:
            break;
    }
    ViewServices services{state_, resources_, settings_, *this};
    for (auto create : {&PanelViewFactory::Create, &IoErrorViewFactory::Create,
                        &ScopeViewFactory::Create, &TransferViewFactory::Create,
                        &DriveControlViewFactory::Create, &TrendViewFactory::Create}) {
        ViewRegistry::CreatedView view = create(info, services);
        if (view.widget != nullptr) {
            return view;
        }
    }
    return {};
}

bool MainFrame::ShowView(uint32_t command) {
    const ViewInfo* info = ViewCatalog::ByCommand(command);
    return info != nullptr && views_->ShowOrCreate(*info) != nullptr;
}

void MainFrame::ShowProperties() {
    int mode = state_.session.interfaceMode;
    if (mode == kModeRs232) {
        ShowView(124);
    } else if (mode == kModeCan) {
        ShowView(123);
    } else {
        state_.messageBox().Show(ConnectionTexts::kOffline);
    }
}

void MainFrame::ConnectSerial(const std::string& port, uint32_t baud, uint32_t nodeId) {
    state_.session.interfaceMode = kModeRs232;
    settings_.SetInterfaceMode(kModeRs232);
    settings_.SetSerial(port, std::to_string(baud));
    settings_.SetSerialNodeId(static_cast<int>(nodeId));
    link_->ToggleConnection();
}

void MainFrame::ConnectCan(uint32_t bitRateCode, uint32_t nodeId) {
    state_.session.interfaceMode = kModeCan;
    settings_.SetInterfaceMode(kModeCan);
    settings_.SetCanBitRateCode(bitRateCode);
    settings_.SetCanNodeId(static_cast<int>(nodeId));
    link_->ToggleConnection();
}

void MainFrame::Dispatch(int command) {
    switch (command) {
        case kNew:
            // "New" drops the connection and every view: ask first when there is any.
            if (SomethingOpen() && !confirm_(resources_.String(kAskNew))) {
                return;
            }
            if (state_.switches.connectionState == ConnectionState::Open &&
                !MayDropUnstored(false)) {
                return;
            }
            views_->CloseAll();
            ShowView(kInterfaceChange);
            return;
        case kOpen:
        case kOpenButton:
            project_->Open();
            return;
        case kSave:
        case kSaveButton:
            project_->Save();
            return;
        case kExit:
            close();
            return;
        case kExportEds:
            EdsExportCommand::Run(this, state_, resources_);
            return;
        case kAbout: {
            AboutDialog about(resources_, this);
            about.exec();
            return;
        }
        case kProperties:
            ShowProperties();
            return;
        case kConnect:
            if (state_.switches.connectionState == ConnectionState::Open &&
                !MayDropUnstored(false)) {
                return;
            }
            link_->ToggleConnection();
            return;
        case kInitSave: {
            InitSaveDialog dialog(
                {state_.link, state_.switches, state_.messageBox(), this, &initSaveRelay_},
                resources_, this);
            dialog.exec();
            return;
        }
        case kLanguage: {
            LanguageDialogModel model(settings_, state_.messageBox(),
                                      state_.systemLanguageFlag == 1);
            LanguageDialog dialog(model, resources_, this);
            dialog.exec();
            return;
        }
        case kToolbarToggle:
            toolbar_->setVisible(!toolbar_->isVisible());
            return;
        case kStatusBarToggle:
            statusBar()->setVisible(!statusBar()->isVisible());
            return;
        case kErrorButton:
            ShowView(1235);
            // The blinking fault icon leads to the error panel and offers a fault reset.
            if (link_->DriveStatus() == 1) {
                ChildFrame* frame = views_->Frame(ViewKind::kRealtimeError);
                if (auto* offer =
                        frame ? dynamic_cast<FaultResetOffer*>(frame->ViewTarget()) : nullptr) {
                    offer->OfferFaultReset();
                }
            }
            return;
        case kCascade:
        case kWindowCascade:
            FrameArea::Cascade(*area_);
            return;
        case kTile:
        case kWindowTile:
            FrameArea::Tile(*area_);
            return;
        case kWindowCloseAll:
            views_->CloseAll();
            return;
        default:
            ShowView(static_cast<uint32_t>(MenuCommandOf(command)));
            return;
    }
}

intptr_t MainFrame::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case WM_LINK_VALUE:
            link_->OnLinkValue(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
            break;
        case WM_OPEN_VIEW:
            if (wParam == 0 || wParam == 1) {
                ShowProperties();
            } else if (wParam == 2) {
                // The requester may name itself here instead of in the shared state.
                if (lParam != 0) {
                    state_.pickTarget = reinterpret_cast<MessageTarget*>(lParam);
                }
                ShowView(1250);
            }
            break;
        case WM_LINK_FAILURE:
            link_->OnConnectionEvent(wParam);
            break;
        case WM_BROADCAST_STATE:
            views_->Broadcast(WindowState::ConnectionChanged);
            break;
        case WM_CONNECTION_OPENED:
            link_->OnConnectionOpened();
            break;
        default:
            break;
    }
    return 0;
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!closing_ && !MayDropUnstored(true)) {
        event->ignore();
        return;
    }
    if (!closing_) {
        closing_ = true;
        blinkTimer_.Stop();
        state_.switches.linkStop = 1;
        // Deliveries of the worker keep running while it ends, so it can never hang on one.
        state_.link.Shutdown([] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
            QThread::msleep(1);
        });
    }
    QMainWindow::closeEvent(event);
}

}  // namespace tarvo
