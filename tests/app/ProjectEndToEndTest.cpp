#include <QtTest>

#include "app/views/ProjectCommands.h"
#include "comm/ConnectionContext.h"
#include "dictionary/views/SdoListView.h"
#include "panels/views/ParameterPanelView.h"
#include "platform/AppSettings.h"
#include "tests/app/ShellRig.h"
#include "tests/app/SimulatedDrive.h"

namespace tarvo::test {

namespace {

constexpr int kLong = 30000;  // generous: the machine is shared
constexpr uint32_t kPanels[] = {1227, 1215, 1217};
constexpr uint32_t kPicked = 0x607F00;  // Max profile velocity, not on Basic Operation

// What a panel shows: its frame's place and its rows as key|unit|value (the values of
// real-time rows left out: the drive changes them).
struct Shown {
    QPoint place;
    QStringList rows;
    bool operator==(const Shown&) const = default;
};

}  // namespace

// Project files against the simulated drive: three panels, one with an entry added through
// the browser, saved, closed, opened again in the same run and in a new one.
class ProjectEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
        english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
        folder_ = std::make_unique<ProgramFolder>();
        QDir shipped(QStringLiteral(TARVO_STAGE "/sys"));
        for (const QString& name : shipped.entryList({QStringLiteral("*.ini")}, QDir::Files)) {
            if (name != QStringLiteral("sys.ini")) {
                QFile::copy(shipped.filePath(name), folder_->File(QStringLiteral("sys/") + name));
            }
        }
        drive_ = std::make_unique<SimulatedDrive>(folder_->Path(), QStringLiteral("ttySIM0"));
        QVERIFY2(drive_->WaitReady(), drive_->Output().constData());
        AppSettings settings(folder_->File(QStringLiteral("sys/sys.ini")).toStdString());
        settings.SetInterfaceMode(kModeRs232);
        settings.SetSerial("ttySIM0", "115200");
        settings.SetSerialNodeId(1);
        previousFolder_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder_->Path()));
    }
    void cleanupTestCase() {
        rig_.reset();
        QDir::setCurrent(previousFolder_);
        drive_.reset();
    }

    void savedPanelsComeBackWithTheirPlacesRowsAndValues();

private:
    void StartProgram() {
        rig_.reset();
        rig_ = std::make_unique<ShellRig>(*folder_, *english_);
        QVERIFY(rig_->state.dictionary.LoadFile(rig_->state.dataFilePath, 2, nullptr));
        rig_->frame->Dispatch(1128);
        QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(),
                                  ConnectionState::Open, kLong);
    }
    ParameterPanelView* Panel(uint32_t command) const {
        ChildFrame* frame = rig_->frame->Views().Frame(*ViewCatalog::ByCommand(command));
        return frame != nullptr && frame->isVisible()
                   ? qobject_cast<ParameterPanelView*>(frame->widget())
                   : nullptr;
    }
    static bool Filled(ParameterPanelView* view) {
        const ParameterList& list = view->Panel().List();
        for (int row = 0; row < list.RowCount(); ++row) {
            std::string value = list.Text(row, ParameterRows::kValueColumn);
            if (value.empty() || value == "????") {
                return false;
            }
        }
        return list.RowCount() > 0;
    }
    Shown What(uint32_t command) const {
        ParameterPanelView* view = Panel(command);
        Shown shown;
        if (view == nullptr) {
            return shown;
        }
        shown.place = view->parentWidget()->pos();
        const ParameterList& list = view->Panel().List();
        for (int row = 0; row < list.RowCount(); ++row) {
            bool live =
                list.Text(row, ParameterRows::kAttributeColumn).find('L') != std::string::npos;
            shown.rows << QString::fromStdString(
                list.Text(row, ParameterRows::kLabelColumn) + "|" +
                list.Text(row, ParameterRows::kKeyColumn) + "|" +
                list.Text(row, ParameterRows::kUnitColumn) + "|" +
                (live ? "" : list.Text(row, ParameterRows::kValueColumn)));
        }
        return shown;
    }

    std::unique_ptr<ResourceSet> english_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<SimulatedDrive> drive_;
    std::unique_ptr<ShellRig> rig_;
    QString previousFolder_;
};

void ProjectEndToEndTest::savedPanelsComeBackWithTheirPlacesRowsAndValues() {
    StartProgram();
    int offset = 0;
    for (uint32_t command : kPanels) {
        QVERIFY(rig_->frame->ShowView(command));
        Panel(command)->parentWidget()->move(40 + offset, 30 + offset / 2);
        offset += 120;
    }
    // "add" on Basic Operation opens the browser as a picker; a double-click adds the entry.
    ParameterPanelView* basic = Panel(1227);
    basic->Panel().RunCommand(ParameterPanel::kAdd);
    ChildFrame* browserFrame = rig_->frame->Views().Frame(ViewKind::kSdoList);
    QVERIFY(browserFrame != nullptr && browserFrame->isVisible());
    auto* browser = qobject_cast<SdoListView*>(browserFrame->widget());
    std::optional<int> row = browser->Model().FindNext("max profile velocity");
    QVERIFY(row.has_value());
    browser->PickRow(*row);
    QVERIFY(!browserFrame->isVisible());
    QVERIFY(basic->Panel().ContainsKey(kPicked));
    for (uint32_t command : kPanels) {
        QTRY_VERIFY_WITH_TIMEOUT(Filled(Panel(command)), kLong);
    }
    std::map<uint32_t, Shown> before;
    for (uint32_t command : kPanels) {
        before[command] = What(command);
    }

    std::string path = folder_->File(QStringLiteral("user/plant")).toStdString();
    QDir(folder_->Path()).mkpath(QStringLiteral("user"));
    QVERIFY(rig_->frame->Project().Document().Save(path));
    rig_->frame->Views().CloseAll();
    QVERIFY(Panel(1227) == nullptr);

    // The same run: the hidden panels come back at their places with their rows.
    QVERIFY(rig_->frame->Project().Document().Open(path + ".ksp"));
    for (uint32_t command : kPanels) {
        QVERIFY(Panel(command) != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(Filled(Panel(command)), kLong);
        QCOMPARE(What(command), before[command]);
    }
    QVERIFY(!browserFrame->isVisible());

    // A new run: the panels are made at their places from the project's rows.
    StartProgram();
    QVERIFY(rig_->frame->Project().Document().Open(path + ".ksp"));
    for (uint32_t command : kPanels) {
        QVERIFY(Panel(command) != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(Filled(Panel(command)), kLong);
        QCOMPARE(What(command), before[command]);
    }
    QVERIFY(Panel(1229) == nullptr);
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::ProjectEndToEndTest)
#include "ProjectEndToEndTest.moc"
