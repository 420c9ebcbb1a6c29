#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QtTest>

#include "app/views/FrameArea.h"
#include "app/views/InitSaveDialog.h"
#include "app/views/ProjectCommands.h"
#include "app/views/ViewRegistry.h"
#include "comm/views/CommCanView.h"
#include "comm/views/CommModeView.h"
#include "comm/views/CommRs232View.h"
#include "panels/ioerror/views/HintPopup.h"
#include "panels/views/ParameterPanelView.h"
#include "platform/ProfileFile.h"
#include "tests/app/ShellRig.h"

namespace tarvo::test {

namespace {

// Menu items as "menu/submenu/caption=command", separators left out.
void CollectMenu(const QMenu* menu, const QString& path, QStringList& items) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            continue;
        }
        if (action->menu() != nullptr) {
            CollectMenu(action->menu(), path + action->text() + "/", items);
        } else {
            items << path + action->text() + "=" + action->data().toString();
        }
    }
}

QStringList MenuItems(const MainFrame& frame) {
    QStringList items;
    for (QAction* top : frame.menuBar()->actions()) {
        if (top->menu() != nullptr) {
            CollectMenu(top->menu(), top->text() + "/", items);
        }
    }
    return items;
}

// The menu items of a resource menu in the same form.
void CollectResourceMenu(const std::vector<MenuItem>& items, const QString& path,
                         QStringList& out) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            continue;
        }
        QString caption = QString::fromStdString(item.caption);
        if (item.IsSubmenu()) {
            CollectResourceMenu(item.items, path + caption + "/", out);
        } else {
            out << path + caption + "=" + QString::number(item.id);
        }
    }
}

// A view that keeps the WM_LINK_STATE codes it gets.
class RecordingView : public QWidget, public MessageTarget {
public:
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
        if (message == WM_LINK_STATE) {
            codes.push_back(static_cast<int>(wParam));
        }
        return 0;
    }
    std::vector<int> codes;
};

QSize FormSizeOf(QWidget* view) {
    if (auto* mode = qobject_cast<CommModeView*>(view)) {
        return mode->FormSize();
    }
    if (auto* rs232 = qobject_cast<CommRs232View*>(view)) {
        return rs232->FormSize();
    }
    if (auto* can = qobject_cast<CommCanView*>(view)) {
        return can->FormSize();
    }
    return {};
}

void ProcessDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void menusCarryTheirCommands_data();
    void menusCarryTheirCommands();
    void windowToolbarAndStatusBar();
    void showOrCreateMakesAViewOnceAndBringsItBack();
    void closingHidesAndTellsTheView();
    void connectionFormsGetNoCodes();
    void interfaceFormIsReallyClosedAndNewShowsItAgain();
    void propertiesFollowTheInterfaceMode();
    void settingsFormsFitTheirFrames_data();
    void settingsFormsFitTheirFrames();
    void shellFormTextsFitTheirControls_data();
    void shellFormTextsFitTheirControls();
    void tileAndCascadeKeepFramesInsideAndTheWindowSize();
    void framesShownOrRestoredOffTheAreaComeInside();
    void windowMenuListsTheOpenViews();
    void linkLossGreysTheViewsUntilReadAgain();
    void newAsksBeforeDroppingViewsOrTheConnection();
    void toolbarTipsInBothLanguages_data();
    void toolbarTipsInBothLanguages();
    void hintGoesWithItsWindow();
    void projectKeepsTheOscilloscopeAndTheRowsOfShownPanels();
    void initSaveHasNoDefaultButtonAndAsksFirst_data();
    void initSaveHasNoDefaultButtonAndAsksFirst();

private:
    const ResourceSet& Resources(bool chinese) { return chinese ? *chinese_ : *english_; }
    ViewRegistry MakeRegistry(QMdiArea& area, std::vector<RecordingView*>& made);

    std::unique_ptr<ResourceSet> chinese_;
    std::unique_ptr<ResourceSet> english_;
};

void MainFrameTest::initTestCase() {
    QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
    chinese_ = std::make_unique<ResourceSet>(ResourceSet::Language::Chinese);
    english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
}

void MainFrameTest::menusCarryTheirCommands_data() {
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QStringList>("sample");
    QTest::newRow("English") << false
                             << QStringList{"  &File/&New=57600",
                                            "&Driver/Control Loop/Current Loop=1248",
                                            "&Driver/FieldBus Configuration/Others=32826",
                                            "&Help/&About TarvoStep=57664"};
    QTest::newRow("Chinese") << true
                             << QStringList{" 文件(&F)/新建=57600", "驱动器(&D)/控制环/电流环=1248",
                                            "驱动器(&D)/总线配置/其它=32826",
                                            "帮助(&H)/关于 TarvoStep=57664"};
}

// The menu bar holds every item of the language's main menu, and each list panel's item opens
// that panel under a title.
void MainFrameTest::menusCarryTheirCommands() {
    QFETCH(bool, chinese);
    QFETCH(QStringList, sample);
    ProgramFolder folder;
    ShellRig rig(folder, Resources(chinese));
    QStringList expected;
    auto menu = Resources(chinese).Catalog().Menu(102);
    QVERIFY(menu.has_value());
    for (const MenuItem& top : *menu) {
        CollectResourceMenu(top.items, QString::fromStdString(top.caption) + "/", expected);
    }
    const QStringList items = MenuItems(*rig.frame);
    QCOMPARE(items, expected);
    for (const QString& item : sample) {
        QVERIFY2(items.contains(item), qPrintable(item));
    }
    QCOMPARE(rig.frame->CommandAction(57601)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));

    int panels = 0;
    for (const QString& item : items) {
        uint32_t command = item.section('=', -1).toUInt();
        const ViewInfo* view = ViewCatalog::ByCommand(command);
        if (view == nullptr || view->kind != ViewKind::kListPanel) {
            continue;
        }
        rig.frame->CommandAction(static_cast<int>(command))->trigger();
        ChildFrame* frame = rig.frame->Views().Frame(*view);
        QVERIFY2(frame != nullptr && frame->isVisible(), qPrintable(item));
        QVERIFY2(!frame->windowTitle().isEmpty(), qPrintable(item));
        ++panels;
    }
    QVERIFY(panels > 0);
    QVERIFY(rig.messageBox.Shown().isEmpty());
}

void MainFrameTest::windowToolbarAndStatusBar() {
    ProgramFolder folder;
    ShellRig rig(folder, Resources(false));
    QCOMPARE(rig.frame->windowTitle(), QStringLiteral("TarvoStep V1.6"));
    QCOMPARE(rig.frame->size(), QSize(1331, 844));
    QCOMPARE(rig.frame->StatusText(), QStringLiteral("Comm Status: Closed"));

    auto* toolbar = rig.frame->findChild<QToolBar*>();
    QVERIFY(toolbar != nullptr);
    QList<int> commands;
    for (QAction* action : toolbar->actions()) {
        commands << (action->isSeparator() ? 0 : action->data().toInt());
    }
    QCOMPARE(commands, (QList<int>{1125, 1126, 0, 1128, 1127, 1129, 1130, 0, 1132, 1131, 0, 1133,
                                   1134, 0, 1300}));
    for (QAction* action : toolbar->actions()) {
        QVERIFY(action->isSeparator() || !action->icon().isNull());
    }
    QCOMPARE(rig.frame->Link().StateImage(), 205);

    // A panel's menu item opens its panel (empty here: the folder has no definition file).
    rig.frame->Dispatch(1227);
    auto* area = rig.frame->findChild<QMdiArea*>();
    QCOMPARE(area->subWindowList().size(), 1);
    QCOMPARE(area->subWindowList().front()->windowTitle(), QStringLiteral("Basic Operation"));
    QVERIFY(rig.messageBox.Shown().isEmpty());
}

ViewRegistry MainFrameTest::MakeRegistry(QMdiArea& area, std::vector<RecordingView*>& made) {
    return ViewRegistry(
        area,
        [&made](const ViewInfo&) {
            auto* view = new RecordingView;
            made.push_back(view);
            return ViewRegistry::CreatedView{view, view};
        },
        [](const ViewInfo& info) {
            return ViewCatalog::DefaultPlace(info, 96, LanguageSettlement::ColumnWidths(96), false);
        },
        [](const ViewInfo& info) { return QString::number(info.command); });
}

void MainFrameTest::showOrCreateMakesAViewOnceAndBringsItBack() {
    QMdiArea area;
    area.resize(1200, 800);
    area.show();
    std::vector<RecordingView*> made;
    ViewRegistry views = MakeRegistry(area, made);
    const ViewInfo& basic = *ViewCatalog::ByCommand(1227);

    ChildFrame* frame = views.ShowOrCreate(basic);
    QVERIFY(frame != nullptr);
    QCOMPARE(made.size(), size_t(1));
    QVERIFY(made[0]->codes.empty());
    QCOMPARE(frame->windowTitle(), QStringLiteral("1227"));
    FramePlace place =
        ViewCatalog::DefaultPlace(basic, 96, LanguageSettlement::ColumnWidths(96), false);
    QCOMPARE(frame->size(), QSize(place.width, place.height));
    QCOMPARE(frame->pos(), QPoint(50, 20));

    ChildFrame* other = views.ShowOrCreate(*ViewCatalog::ByCommand(1229));
    QCOMPARE(area.activeSubWindow(), other);
    QCOMPARE(views.ShowOrCreate(basic), frame);
    QCOMPARE(made.size(), size_t(2));
    QCOMPARE(made[0]->codes, std::vector<int>{0});
    QCOMPARE(area.activeSubWindow(), frame);

    views.Broadcast(WindowState::ConnectionChanged);
    QCOMPARE(made[0]->codes, (std::vector<int>{0, 2}));
    QCOMPARE(made[1]->codes, std::vector<int>{2});
}

void MainFrameTest::closingHidesAndTellsTheView() {
    QMdiArea area;
    area.show();
    std::vector<RecordingView*> made;
    ViewRegistry views = MakeRegistry(area, made);
    const ViewInfo& basic = *ViewCatalog::ByCommand(1227);
    QPointer<ChildFrame> frame = views.ShowOrCreate(basic);
    QPointer<RecordingView> view = made[0];

    frame->close();
    ProcessDeferredDeletes();
    QVERIFY(frame && view);
    QVERIFY(!frame->isVisible());
    QCOMPARE(view->codes, std::vector<int>{1});
    QCOMPARE(views.Frame(basic), frame.data());
    QVERIFY(views.Exists(ViewKind::kListPanel));

    QCOMPARE(views.ShowOrCreate(basic), frame.data());
    QVERIFY(frame->isVisible());
    QCOMPARE(made.size(), size_t(1));
    QCOMPARE(view->codes, (std::vector<int>{1, 0}));

    views.CloseAll();
    ProcessDeferredDeletes();
    QVERIFY(frame && !frame->isVisible());
}

void MainFrameTest::connectionFormsGetNoCodes() {
    QMdiArea area;
    area.show();
    std::vector<RecordingView*> made;
    ViewRegistry views = MakeRegistry(area, made);
    const ViewInfo& rs232 = *ViewCatalog::ByCommand(124);
    QPointer<ChildFrame> frame = views.ShowOrCreate(rs232);
    QCOMPARE(views.ShowOrCreate(rs232), frame.data());
    frame->close();
    ProcessDeferredDeletes();
    QVERIFY(frame && !frame->isVisible());
    QVERIFY(made[0]->codes.empty());
    QCOMPARE(views.Frame(ViewKind::kCommRs232), frame.data());
}

void MainFrameTest::interfaceFormIsReallyClosedAndNewShowsItAgain() {
    ProgramFolder folder;
    ShellRig rig(folder, Resources(false));
    auto* area = rig.frame->findChild<QMdiArea*>();

    rig.frame->Dispatch(1212);
    QPointer<ChildFrame> first = rig.frame->Views().Frame(ViewKind::kCommMode);
    QVERIFY(first);
    rig.frame->Dispatch(1212);
    QCOMPARE(rig.frame->Views().Frame(ViewKind::kCommMode), first.data());

    first->close();
    ProcessDeferredDeletes();
    QVERIFY(!first);
    QVERIFY(!rig.frame->Views().Exists(ViewKind::kCommMode));

    // "New" closes every view and shows the form at once: the new form must survive the
    // deletion of the old one.
    rig.frame->Dispatch(1212);
    QPointer<ChildFrame> before = rig.frame->Views().Frame(ViewKind::kCommMode);
    rig.frame->Dispatch(57600);
    ProcessDeferredDeletes();
    QVERIFY(!before);
    QPointer<ChildFrame> after = rig.frame->Views().Frame(ViewKind::kCommMode);
    QVERIFY(after);
    QVERIFY(after->isVisible());
    QCOMPARE(area->subWindowList().size(), 1);

    // "Cancel" closes it too.
    auto* cancel = after->findChild<QPushButton*>(QStringLiteral("control1004"));
    QVERIFY(cancel != nullptr);
    cancel->click();
    ProcessDeferredDeletes();
    QVERIFY(!after);
}

void MainFrameTest::propertiesFollowTheInterfaceMode() {
    ProgramFolder folder;
    ShellRig rig(folder, Resources(false));
    rig.state.session.interfaceMode = kModeOffline;
    rig.frame->Dispatch(1213);
    QVERIFY(rig.Shown("The connecting mode is Offline!!"));
    rig.frame->Dispatch(1128);
    QCOMPARE(rig.messageBox.Shown().count(QStringLiteral("The connecting mode is Offline!!")), 2);

    // Interface form → "RS232" → "Next" opens the RS232 form and stores the mode.
    rig.frame->Dispatch(1212);
    ChildFrame* form = rig.frame->Views().Frame(ViewKind::kCommMode);
    form->findChild<QRadioButton*>(QStringLiteral("control1025"))->click();
    form->findChild<QPushButton*>(QStringLiteral("control1003"))->click();
    ProcessDeferredDeletes();
    QVERIFY(!rig.frame->Views().Exists(ViewKind::kCommMode));
    QVERIFY(rig.frame->Views().Exists(ViewKind::kCommRs232));
    QVERIFY(rig.frame->Views().Frame(ViewKind::kCommRs232)->isVisible());
    QCOMPARE(AppSettings(rig.state.settingsFilePath).InterfaceMode(), kModeRs232);
    QCOMPARE(rig.frame->windowTitle(), QStringLiteral("TarvoStep V1.6"));
    QCOMPARE(rig.frame->Views().Frame(ViewKind::kCommRs232)->windowTitle(),
             QStringLiteral("Properties"));
}

void MainFrameTest::settingsFormsFitTheirFrames_data() {
    QTest::addColumn<bool>("chinese");
    QTest::newRow("English") << false;
    QTest::newRow("Chinese") << true;
}

void MainFrameTest::settingsFormsFitTheirFrames() {
    QFETCH(bool, chinese);
    ProgramFolder folder;
    ShellRig rig(folder, Resources(chinese));
    rig.frame->Dispatch(1212);
    rig.frame->ShowView(124);
    rig.frame->ShowView(123);
    for (ViewKind kind : {ViewKind::kCommMode, ViewKind::kCommRs232, ViewKind::kCommCan}) {
        ChildFrame* frame = rig.frame->Views().Frame(kind);
        QVERIFY(frame != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(rig.frame.get()));
        QSize form = FormSizeOf(frame->widget());
        QVERIFY(form.isValid());
        QSize inside = frame->contentsRect().size();
        QVERIFY2(
            frame->widget()->width() >= form.width() && frame->widget()->height() >= form.height(),
            qPrintable(QStringLiteral("form %1x%2 in %3x%4 (frame %5x%6)")
                           .arg(form.width())
                           .arg(form.height())
                           .arg(frame->widget()->width())
                           .arg(frame->widget()->height())
                           .arg(inside.width())
                           .arg(inside.height())));
    }
}

void MainFrameTest::shellFormTextsFitTheirControls_data() {
    settingsFormsFitTheirFrames_data();
}

// Every caption of the shell's forms fits its control in the interface font, so that no
// text is cut off (the about box, the connection forms, Initialize/Save, Language Set).
void MainFrameTest::shellFormTextsFitTheirControls() {
    QFETCH(bool, chinese);
    const ResourceSet& resources = Resources(chinese);
    QStringList clipped;
    for (int id : {100, 123, 124, 125, 147, 157}) {
        QWidget host;
        FormBuilder::Form form = FormBuilder::Build(resources, id, &host);
        QVERIFY(!form.controls.isEmpty());
        for (auto it = form.controls.cbegin(); it != form.controls.cend(); ++it) {
            QWidget* control = it.value();
            QString text;
            int extra = 0;
            if (auto* label = qobject_cast<QLabel*>(control)) {
                text = label->text();
            } else if (auto* push = qobject_cast<QPushButton*>(control)) {
                text = push->text();
                extra = 8;  // the button's frame
            } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                text = button->text();
                extra = control->sizeHint().width() -
                        control->fontMetrics().horizontalAdvance(QString(text).remove('&'));
            } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
                text = group->title();
            }
            int needed = control->fontMetrics().horizontalAdvance(text.remove('&')) + extra;
            if (!text.isEmpty() && needed > control->width()) {
                clipped << QStringLiteral("dialog %1 control %2 \"%3\" needs %4 of %5 pixels")
                               .arg(id)
                               .arg(it.key())
                               .arg(text)
                               .arg(needed)
                               .arg(control->width());
            }
        }
    }
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
}

namespace {

// Twenty views of fixed sizes, from list panels to the oscilloscope.
QList<QMdiSubWindow*> OpenTwentyViews(MainFrame& frame) {
    int opened = 0;
    for (const ViewInfo& info : ViewCatalog::All()) {
        if (opened < 20 && info.panelNumber > 0 && frame.ShowView(info.command)) {
            ++opened;
        }
    }
    return frame.findChild<QMdiArea*>()->subWindowList();
}

QString OutsideFrames(QMdiArea& area) {
    QRect visible = FrameArea::VisibleRect(area);
    QStringList outside;
    for (QMdiSubWindow* frame : area.subWindowList()) {
        if (frame->isVisible() && !visible.contains(frame->geometry())) {
            outside << frame->windowTitle();
        }
    }
    return outside.join(", ");
}

}  // namespace

void MainFrameTest::tileAndCascadeKeepFramesInsideAndTheWindowSize() {
    ProgramFolder folder;
    ShellRig rig(folder, Resources(false));
    QVERIFY(QTest::qWaitForWindowExposed(rig.frame.get()));
    QList<QMdiSubWindow*> frames = OpenTwentyViews(*rig.frame);
    QCOMPARE(frames.size(), 20);
    QHash<QMdiSubWindow*, QSize> sizes;
    for (QMdiSubWindow* frame : frames) {
        sizes.insert(frame, frame->size());
    }
    const QSize window = rig.frame->size();
    auto* area = rig.frame->findChild<QMdiArea*>();
    for (int command : {1134, 1133, 57651, 57650}) {
        rig.frame->Dispatch(command);
        QCoreApplication::processEvents();
        QCOMPARE(rig.frame->size(), window);
        QVERIFY2(OutsideFrames(*area).isEmpty(), qPrintable(OutsideFrames(*area)));
        for (QMdiSubWindow* frame : frames) {
            QCOMPARE(frame->size(), sizes.value(frame));
        }
    }
    // Tiling spreads the frames: not all of them on one spot.
    rig.frame->Dispatch(1134);
    QSet<QString> corners;
    for (QMdiSubWindow* frame : frames) {
        corners.insert(QStringLiteral("%1,%2").arg(frame->x()).arg(frame->y()));
    }
    QVERIFY(corners.size() > 10);
}

void MainFrameTest::framesShownOrRestoredOffTheAreaComeInside() {
    ProgramFolder folder;
    ShellRig rig(folder, Resources(false));
    QVERIFY(QTest::qWaitForWindowExposed(rig.frame.get()));
    auto* area = rig.frame->findChild<QMdiArea*>();
    const QRect visible = FrameArea::VisibleRect(*area);

    // Shown again from its menu after it was left off the area.
    rig.frame->Dispatch(1227);
    ChildFrame* basic = rig.frame->Views().Frame(*ViewCatalog::ByCommand(1227));
    basic->move(2965, 2319);
    basic->close();
    rig.frame->Dispatch(1227);
    QVERIFY(visible.contains(basic->geometry()));
    // A place that fits is kept.
    basic->move(visible.left() + 7, visible.top() + 9);
    basic->close();
    rig.frame->Dispatch(1227);
    QCOMPARE(basic->pos(), QPoint(visible.left() + 7, visible.top() + 9));

    // Restored from a project: the off-area panel comes inside, the other keeps its place.
    QString path = QString::fromStdString(folder.PathText()) + "/off.ksp";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[TarvoStep:1]\r\n2=1,2965,2319\r\n47=1,20,-40\r\n");
    file.close();
    QVERIFY(rig.frame->Project().Document().Open(path.toStdString()));
    for (uint32_t command : {1227u, 1229u}) {
        ChildFrame* frame = rig.frame->Views().Frame(*ViewCatalog::ByCommand(command));
        QVERIFY(frame != nullptr && frame->isVisible());
        QVERIFY2(visible.contains(frame->geometry()), qPrintable(QString::number(command)));
    }
}

void MainFrameTest::windowMenuListsTheOpenViews() {
    for (bool chinese : {false, true}) {
        ProgramFolder folder;
        ShellRig rig(folder, Resources(chinese));
        QCOMPARE(rig.frame->CommandAction(57650)->shortcut(),
                 QKeySequence(QStringLiteral("Shift+F5")));
        QCOMPARE(rig.frame->CommandAction(57651)->shortcut(),
                 QKeySequence(QStringLiteral("Shift+F4")));
        QCOMPARE(rig.frame->CommandAction(57650)->text(),
                 chinese ? QStringLiteral("层叠") : QStringLiteral("&Cascade"));
        rig.frame->Dispatch(1227);
        rig.frame->Dispatch(1229);
        rig.frame->Dispatch(1218);
        rig.frame->Views().Frame(*ViewCatalog::ByCommand(1218))->close();
        auto* menu = qobject_cast<QMenu*>(rig.frame->CommandAction(57650)->parent());
        QVERIFY(menu != nullptr);
        emit menu->aboutToShow();
        emit menu->aboutToShow();  // made afresh, not doubled
        QStringList listed;
        QAction* first = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->isCheckable()) {
                listed << action->text();
                first = first ? first : action;
            }
        }
        QCOMPARE(listed.size(), 2);
        QVERIFY(listed[0].startsWith("&1 "));
        first->trigger();
        QCOMPARE(rig.frame->findChild<QMdiArea*>()->activeSubWindow(),
                 rig.frame->Views().Frame(*ViewCatalog::ByCommand(1227)));
        rig.frame->Dispatch(57654);
        QVERIFY(!rig.frame->Views().Frame(*ViewCatalog::ByCommand(1229))->isVisible());
    }
}

void MainFrameTest::linkLossGreysTheViewsUntilReadAgain() {
    ProgramFolder folder;
    ShellRig rig(folder, Resources(false));
    rig.frame->Dispatch(1218);
    rig.frame->Dispatch(1235);
    QWidget* io = rig.frame->Views().Frame(ViewKind::kDataInOut)->widget();
    QWidget* errors = rig.frame->Views().Frame(ViewKind::kRealtimeError)->widget();
    auto* note = rig.frame->findChild<QLabel*>(QStringLiteral("staleNote"));
    QVERIFY(note != nullptr && !note->isVisible());

    rig.frame->onMessage(WM_LINK_FAILURE, 1, 0);
    rig.frame->onMessage(WM_LINK_FAILURE, 0, 0);
    QVERIFY(note->isVisible());
    QVERIFY2(note->text().startsWith("Values not read since the connection was lost at "),
             qPrintable(note->text()));
    QString time = note->text().section(' ', -1);
    QCOMPARE(time.size(), 8);  // HH:mm:ss
    for (QWidget* view : {io, errors}) {
        QVERIFY(view->graphicsEffect() != nullptr);
        QVERIFY(view->toolTip().endsWith(time));
    }
    // A value read again shows that view live; the other stays grey.
    dynamic_cast<MessageTarget*>(io)->onMessage(WM_LINK_VALUE, 0, 0x60FD00);
    QVERIFY(io->graphicsEffect() == nullptr);
    QVERIFY(!io->toolTip().endsWith(time));
    QVERIFY(errors->graphicsEffect() != nullptr);
    // Connected again: the status bar drops the note, values turn live as they come.
    rig.frame->onMessage(WM_LINK_FAILURE, 1, 0);
    QVERIFY(!note->isVisible());
    QVERIFY(errors->graphicsEffect() != nullptr);
    rig.frame->onMessage(WM_LINK_FAILURE, 0, 0);
}

void MainFrameTest::newAsksBeforeDroppingViewsOrTheConnection() {
    ProgramFolder folder;
    ShellRig rig(folder, Resources(false));
    rig.frame->Dispatch(57600);  // nothing open: no question
    QVERIFY(rig.asked.isEmpty());
    QVERIFY(rig.frame->Views().Frame(ViewKind::kCommMode)->isVisible());
    rig.frame->Views().Frame(ViewKind::kCommMode)->close();
    ProcessDeferredDeletes();

    rig.frame->Dispatch(1227);
    ChildFrame* basic = rig.frame->Views().Frame(*ViewCatalog::ByCommand(1227));
    rig.answer = false;
    rig.frame->Dispatch(57600);
    QCOMPARE(rig.asked, QStringList{Resources(false).String(2906)});
    QVERIFY(basic->isVisible());
    QVERIFY(!rig.frame->Views().Exists(ViewKind::kCommMode));

    // Only a connection open: asked as well.
    basic->close();
    rig.state.switches.connectionState = ConnectionState::Open;
    rig.frame->Dispatch(57600);
    QCOMPARE(rig.asked.size(), 2);
    QVERIFY(!rig.frame->Views().Exists(ViewKind::kCommMode));
    rig.state.switches.connectionState = ConnectionState::Closed;

    basic = rig.frame->Views().ShowOrCreate(*ViewCatalog::ByCommand(1227));
    rig.answer = true;
    rig.frame->Dispatch(57600);
    QVERIFY(!basic->isVisible());
    QVERIFY(rig.frame->Views().Frame(ViewKind::kCommMode)->isVisible());
}

void MainFrameTest::toolbarTipsInBothLanguages_data() {
    settingsFormsFitTheirFrames_data();
}

void MainFrameTest::toolbarTipsInBothLanguages() {
    QFETCH(bool, chinese);
    ProgramFolder folder;
    ShellRig rig(folder, Resources(chinese));
    auto* toolbar = rig.frame->findChild<QToolBar*>();
    QSet<QString> tips;
    for (QAction* action : toolbar->actions()) {
        if (action->isSeparator()) {
            continue;
        }
        QString tip = action->toolTip();
        QVERIFY2(!tip.isEmpty() && !tip.contains('&'), qPrintable(action->data().toString()));
        QVERIFY2(!action->statusTip().isEmpty(), qPrintable(action->data().toString()));
        // Chinese tips are Chinese: at least one character beyond Latin-1.
        bool wide = std::any_of(tip.begin(), tip.end(), [](QChar c) { return c.unicode() > 0xFF; });
        QVERIFY2(wide == chinese, qPrintable(tip));
        tips.insert(tip);
    }
    QCOMPARE(tips.size(), 11);  // every button says what it does
    QCOMPARE(rig.frame->CommandAction(1134)->toolTip(),
             chinese ? QStringLiteral("平铺") : QStringLiteral("Tile"));
}

void MainFrameTest::hintGoesWithItsWindow() {
    for (QEvent::Type leaving : {QEvent::Hide, QEvent::WindowDeactivate, QEvent::Leave}) {
        QWidget owner;
        owner.resize(300, 200);
        auto* control = new QLabel(QStringLiteral("DIN1"), &owner);
        control->setGeometry(10, 10, 80, 20);
        HintPopup hints(&owner);
        hints.AddHint(control, {QStringLiteral("1.Fault")}, Qt::yellow, Qt::black);
        owner.show();
        hints.TrackMouse(QPoint(20, 15));
        QCOMPARE(hints.ShowingControl(), control);
        if (leaving == QEvent::Hide) {
            owner.hide();
        } else {
            QEvent event(leaving);
            QCoreApplication::sendEvent(&owner, &event);
        }
        QVERIFY2(hints.ShowingControl() == nullptr && !hints.isVisible(),
                 qPrintable(QString::number(leaving)));
    }
}

void MainFrameTest::projectKeepsTheOscilloscopeAndTheRowsOfShownPanels() {
    ProgramFolder folder;
    ShellRig rig(folder, Resources(false));
    rig.frame->Dispatch(1247);
    rig.frame->Dispatch(1227);
    ChildFrame* scope = rig.frame->Views().Frame(ViewKind::kDriverOscillo);
    ChildFrame* basic = rig.frame->Views().Frame(*ViewCatalog::ByCommand(1227));
    auto* panel = qobject_cast<ParameterPanelView*>(basic->widget());
    QVERIFY(scope != nullptr && panel != nullptr);
    ParameterList& list = panel->Panel().List();
    int row = list.InsertRow(list.RowCount(), "1");
    list.SetText(row, ParameterRows::kKeyColumn, "6316032");
    list.SetText(row, ParameterRows::kValueColumn, "saved");

    std::string path = folder.PathText() + "/plant.ksp";
    QVERIFY(rig.frame->Project().Document().Save(path));
    ProfileFile file(path);
    QVERIFY(file.GetString("TarvoStep:1", "18", "", 64).rfind("1,", 0) == 0);
    QVERIFY(file.GetString("TarvoStep:1", "2", "", 64).rfind("1,", 0) == 0);

    // Opening brings the oscilloscope back; the panel that existed keeps what it shows.
    list.SetText(row, ParameterRows::kValueColumn, "shown");
    scope->close();
    QVERIFY(rig.frame->Project().Document().Open(path));
    QVERIFY(scope->isVisible());
    QVERIFY(basic->isVisible());
    QCOMPARE(list.RowCount(), row + 1);
    QCOMPARE(list.Text(row, ParameterRows::kValueColumn), std::string("shown"));
}

void MainFrameTest::initSaveHasNoDefaultButtonAndAsksFirst_data() {
    settingsFormsFitTheirFrames_data();
}

void MainFrameTest::initSaveHasNoDefaultButtonAndAsksFirst() {
    QFETCH(bool, chinese);
    ProgramFolder folder;
    ShellRig rig(folder, Resources(chinese));
    InitSaveDialog dialog({rig.state.link, rig.state.switches, rig.messageBox, rig.frame.get()},
                          Resources(chinese), rig.frame.get());
    QStringList asked;
    dialog.SetConfirm([&asked](const QString& question) {
        asked << question;
        return false;
    });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
    QVERIFY(buttons.size() >= 4);
    for (QPushButton* button : buttons) {
        QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    auto* reboot = dialog.findChild<QPushButton*>(QStringLiteral("control1095"));
    QVERIFY(reboot != nullptr);
    // Enter on the focused button and on the dialog does nothing at all.
    rig.state.switches.connectionState = ConnectionState::Open;
    reboot->setFocus();
    QTest::keyClick(reboot, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Enter);
    QVERIFY(asked.isEmpty());
    QVERIFY(rig.messageBox.Shown().isEmpty());
    // A click asks first; answered no, nothing is sent and the buttons stay.
    reboot->click();
    dialog.findChild<QPushButton*>(QStringLiteral("control1098"))->click();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0], Resources(chinese).String(2903));
    QCOMPARE(asked[1], Resources(chinese).String(2902));
    QVERIFY(dialog.Model().ButtonsEnabled());
    rig.state.switches.connectionState = ConnectionState::Closed;

    dialog.Model().onOutcome(InitSaveModel::kSaveControl, InitSaveModel::Outcome::kRefused,
                             0x08000020);
    QString refused = dialog.OutcomeText();
    QVERIFY2(refused.contains("0x08000020") &&
                 refused.indexOf("0x08000020") < refused.indexOf("Data cannot be transferred"),
             qPrintable(refused));
    dialog.Model().onOutcome(InitSaveModel::kSaveMotor, InitSaveModel::Outcome::kSaved, 0);
    QCOMPARE(dialog.OutcomeText(), Resources(chinese).String(2904));
    dialog.reject();
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::MainFrameTest)
#include "MainFrameTest.moc"
