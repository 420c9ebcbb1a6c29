#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

#include "comm/ConnectionContext.h"
#include "panels/PanelFamily.h"
#include "panels/views/EditListView.h"
#include "panels/views/ParameterPanelView.h"
#include "panels/views/ParameterTableModel.h"
#include "platform/AppSettings.h"
#include "tests/app/ShellRig.h"
#include "tests/app/SimulatedDrive.h"

namespace tarvo::test {

namespace {

constexpr int kLong = 30000;  // generous: the machine is shared

}  // namespace

// The panels against the simulated drive on a pseudo-terminal: every panel of the menus
// fills with the drive's values, an edited value reaches the drive, a new unit shows the
// value anew, and a real-time row follows the drive.
class PanelsEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyPanelOfTheMenusFills();
    void editsReachTheDriveAndUnitsShowAnew();
    void realTimeRowsFollowTheDrive();

private:
    void Connect();
    ParameterPanelView* Open(uint32_t command);
    static int RowOf(ParameterPanelView* view, uint32_t key);
    static QString Text(ParameterPanelView* view, int row, int column) {
        return QString::fromStdString(view->Panel().List().Text(row, column));
    }
    static void Click(ParameterPanelView* view, int row, int column) {
        EditListView& list = view->List();
        QRect cell = list.visualRect(view->Table().index(row, column));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
    }
    // The value the drive holds, read with tarvoctl once the program let go of the port.
    QString DriveValue(const char* object);

    std::unique_ptr<ResourceSet> english_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<SimulatedDrive> drive_;
    std::unique_ptr<ShellRig> rig_;
    QString previousFolder_;
};

void PanelsEndToEndTest::initTestCase() {
    QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
    english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
}

void PanelsEndToEndTest::init() {
    folder_ = std::make_unique<ProgramFolder>();
    // The shipped panel definitions.
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
    rig_ = std::make_unique<ShellRig>(*folder_, *english_);
    QVERIFY(rig_->state.dictionary.LoadFile(rig_->state.dataFilePath, 2, nullptr));
}

void PanelsEndToEndTest::cleanup() {
    rig_.reset();
    QDir::setCurrent(previousFolder_);
    drive_.reset();
    folder_.reset();
}

void PanelsEndToEndTest::Connect() {
    rig_->frame->Dispatch(1128);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(), ConnectionState::Open,
                              kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().DriveStatus(), 0, kLong);
}

ParameterPanelView* PanelsEndToEndTest::Open(uint32_t command) {
    if (!rig_->frame->ShowView(command)) {
        return nullptr;
    }
    ChildFrame* frame = rig_->frame->Views().Frame(*ViewCatalog::ByCommand(command));
    return frame != nullptr ? qobject_cast<ParameterPanelView*>(frame->widget()) : nullptr;
}

int PanelsEndToEndTest::RowOf(ParameterPanelView* view, uint32_t key) {
    const ParameterList& list = view->Panel().List();
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.Text(row, ParameterRows::kKeyColumn) == std::to_string(key)) {
            return row;
        }
    }
    return -1;
}

QString PanelsEndToEndTest::DriveValue(const char* object) {
    rig_->frame->Dispatch(1128);  // disconnect: the port is free again
    QProcess ctl;
    ctl.setWorkingDirectory(folder_->Path());
    ctl.start(QStringLiteral(TARVO_STAGE "/tarvoctl"),
              {"--port", "ttySIM0", "--baud", "115200", "--node", "1", "read", object, "--raw"});
    if (!ctl.waitForFinished(kLong) || ctl.exitCode() != 0) {
        return QStringLiteral("<tarvoctl failed: %1>").arg(QString(ctl.readAllStandardError()));
    }
    return QString(ctl.readAllStandardOutput()).trimmed();
}

void PanelsEndToEndTest::everyPanelOfTheMenusFills() {
    Connect();
    int opened = 0;
    for (const PanelDescription& member : PanelFamily::Members()) {
        if (rig_->frame->CommandAction(static_cast<int>(member.command)) == nullptr) {
            continue;  // in no menu
        }
        ParameterPanelView* view = Open(member.command);
        QVERIFY2(view != nullptr, member.className);
        ++opened;
        const ParameterList& list = view->Panel().List();
        QVERIFY2(list.RowCount() > 0, member.panelName);
        auto filled = [&list] {
            for (int row = 0; row < list.RowCount(); ++row) {
                std::string value = list.Text(row, ParameterRows::kValueColumn);
                if (value.empty() || value == "????") {
                    return false;
                }
            }
            return true;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(filled(), member.panelName, kLong);
    }
    // At least the seventeen panels the menus have always held, with the EtherCAT and Others
    // fieldbus pages (which members a menu must hold is checked without the drive).
    QVERIFY2(opened >= 17, qPrintable(QString::number(opened)));
    // Driver properties: texts read by segments, longer than one segment.
    ParameterPanelView* properties = Open(1234);
    QCOMPARE(Text(properties, RowOf(properties, 0x100800), ParameterRows::kValueColumn),
             QStringLiteral("TSD2405-CAN"));
}

void PanelsEndToEndTest::editsReachTheDriveAndUnitsShowAnew() {
    Connect();
    ParameterPanelView* basic = Open(1227);
    QVERIFY(basic != nullptr);
    int row = RowOf(basic, 0x608100);  // profile velocity, in rpm
    QVERIFY(row >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(!Text(basic, row, ParameterRows::kValueColumn).isEmpty(), kLong);
    QCOMPARE(Text(basic, row, ParameterRows::kUnitColumn), QStringLiteral("rpm"));

    Click(basic, row, ParameterRows::kValueColumn);
    auto* edit = qobject_cast<QLineEdit*>(basic->List().OpenEditor());
    QVERIFY(edit != nullptr);
    QTest::keyClicks(edit, "300");
    QTest::keyClick(edit, Qt::Key_Return);
    // The drive answers the write with the value it now holds.
    QTRY_COMPARE_WITH_TIMEOUT(Text(basic, row, ParameterRows::kValueColumn),
                              QStringLiteral("300.000"), kLong);

    // Another unit: the value is read again and shown in it.
    Click(basic, row, ParameterRows::kUnitColumn);
    auto* combo = qobject_cast<QComboBox*>(basic->List().OpenEditor());
    QVERIFY(combo != nullptr);
    int dec = combo->findText(QStringLiteral("DEC"));
    QVERIFY(dec >= 0);
    combo->hidePopup();
    combo->setCurrentIndex(dec);
    emit combo->activated(dec);
    QTRY_COMPARE_WITH_TIMEOUT(Text(basic, row, ParameterRows::kValueColumn), QStringLiteral("2560"),
                              kLong);

    QCOMPARE(DriveValue("6081:00"), QStringLiteral("2560"));
}

void PanelsEndToEndTest::realTimeRowsFollowTheDrive() {
    Connect();
    ParameterPanelView* basic = Open(1227);
    QVERIFY(basic != nullptr);
    int row = RowOf(basic, 0x604100);  // status word, real-time
    QVERIFY(row >= 0);
    QTRY_VERIFY_WITH_TIMEOUT(!Text(basic, row, ParameterRows::kValueColumn).isEmpty(), kLong);
    QString before = Text(basic, row, ParameterRows::kValueColumn);
    drive_->Console("error 1");  // the drive sets its fault bit by itself
    QTRY_VERIFY_WITH_TIMEOUT(Text(basic, row, ParameterRows::kValueColumn) != before, kLong);
    bool ok = false;
    uint32_t status = Text(basic, row, ParameterRows::kValueColumn).toUInt(&ok, 16);
    QVERIFY(ok);
    QVERIFY(status & 0x8);
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::PanelsEndToEndTest)
#include "PanelsEndToEndTest.moc"
