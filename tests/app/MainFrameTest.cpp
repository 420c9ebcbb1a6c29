#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QtTest>

#include "app/views/ViewRegistry.h"
#include "comm/views/CommCanView.h"
#include "comm/views/CommModeView.h"
#include "comm/views/CommRs232View.h"
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
    QCOMPARE(commands,
             (QList<int>{1125, 1126, 0, 1128, 1127, 1129, 1130, 0, 1132, 1131, 0, 1133, 1134}));
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

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::MainFrameTest)
#include "MainFrameTest.moc"
