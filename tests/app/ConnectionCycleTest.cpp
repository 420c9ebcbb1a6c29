#include <QPushButton>
#include <QtTest>

#include "app/views/InitSaveDialog.h"
#include "comm/views/CommRs232View.h"
#include "platform/AppSettings.h"
#include "tests/app/ShellRig.h"
#include "tests/app/SimulatedDrive.h"
#include "tests/serialport/PtyPeer.h"

namespace tarvo::test {

namespace {

constexpr int kLong = 15000;  // generous: the machine is shared

// Watches a widget and keeps every change of its enabled state.
class EnabledLog : public QObject {
public:
    explicit EnabledLog(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::EnabledChange) {
            states.push_back(widget_->isEnabled());
        }
        return false;
    }
    std::vector<bool> states;

private:
    QWidget* widget_;
};

}  // namespace

// The main window against the simulated drive on a pseudo-terminal: connecting from the
// toolbar, the status word and its fault bit, a drive that never answers, and the
// Initialize/Save dialog's polling.
class ConnectionCycleTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void connectFollowTheFaultBitAndDisconnect();
    void silentDriveIsNotFound();
    void initializeSaveWaitsForTheStore();
    void initializeSaveNeedsAConnection();
    void connectWorksAgainAfterThePortComesBack();

private:
    void WriteSerialSettings(const char* port);
    void Connect();

    std::unique_ptr<ResourceSet> english_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<SimulatedDrive> drive_;
    std::unique_ptr<ShellRig> rig_;
    QString previousFolder_;
};

void ConnectionCycleTest::initTestCase() {
    QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
    english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
}

void ConnectionCycleTest::init() {
    folder_ = std::make_unique<ProgramFolder>();
    drive_ =
        std::make_unique<SimulatedDrive>(folder_->Path(), QStringLiteral("ttySIM0"),
                                         QStringList{"--store-ms", "400", "--reboot-ms", "100"});
    QVERIFY2(drive_->WaitReady(), drive_->Output().constData());
    WriteSerialSettings("ttySIM0");
    // The program folder is the current directory: the serial library finds dev/ there.
    previousFolder_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder_->Path()));
    rig_ = std::make_unique<ShellRig>(*folder_, *english_);
}

void ConnectionCycleTest::cleanup() {
    rig_.reset();
    QDir::setCurrent(previousFolder_);
    drive_.reset();
    folder_.reset();
}

void ConnectionCycleTest::WriteSerialSettings(const char* port) {
    AppSettings settings(folder_->File(QStringLiteral("sys/sys.ini")).toStdString());
    settings.SetInterfaceMode(kModeRs232);
    settings.SetSerial(port, "115200");
    settings.SetSerialNodeId(1);
}

void ConnectionCycleTest::Connect() {
    // The interface mode comes from the settings file when the state is built.
    QCOMPARE(rig_->state.session.interfaceMode, int(kModeRs232));
    const qsizetype shownBefore = rig_->messageBox.Shown().size();
    rig_->frame->Dispatch(1128);
    QVERIFY2(rig_->messageBox.Shown().size() == shownBefore,
             qPrintable(rig_->messageBox.Shown().join(QStringLiteral(" | "))));
    const QString open = QStringLiteral("Comm Status: Open  ttySIM0  115200");
    QTRY_VERIFY2_WITH_TIMEOUT(rig_->frame->StatusText() == open,
                              qPrintable(rig_->frame->StatusText() + " | " +
                                         rig_->messageBox.Shown().join(QStringLiteral(" | "))),
                              kLong);
    QCOMPARE(rig_->state.switches.connectionState.load(), ConnectionState::Open);
    QCOMPARE(rig_->state.session.connectInProgress, 0);
}

void ConnectionCycleTest::connectFollowTheFaultBitAndDisconnect() {
    rig_->frame->ShowView(124);  // the RS232 form redraws its icon with the connection
    auto* form =
        qobject_cast<CommRs232View*>(rig_->frame->Views().Frame(ViewKind::kCommRs232)->widget());
    auto* statusButton = form->findChild<QPushButton*>(QStringLiteral("control1006"));
    QVERIFY(statusButton != nullptr);
    const qint64 openIcon = english_->Icon(204).cacheKey();
    const qint64 closedIcon = english_->Icon(203).cacheKey();
    QCOMPARE(statusButton->icon().cacheKey(), closedIcon);

    Connect();
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(rig_->frame->Link().DriveStatus(), 0);
    QCOMPARE(statusButton->icon().cacheKey(), openIcon);
    QVERIFY(rig_->messageBox.Shown().isEmpty());

    drive_->Console("error 1");
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().DriveStatus(), 1, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().StateImage(), 210, kLong);
    // The icon blinks between the fault and no connection while connected.
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().StateImage(), 205, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().StateImage(), 210, kLong);

    // The injected error goes with a fault reset (controlword bit 7).
    drive_->Console("clear");
    rig_->state.link.Request(nullptr, SdoCommand::Write16, 0x604000, 0x80);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().DriveStatus(), 0, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().StateImage(), 211, kLong);

    rig_->frame->Dispatch(1128);
    QCOMPARE(rig_->frame->StatusText(), QStringLiteral("Comm Status: Closed"));
    QCOMPARE(rig_->state.switches.connectionState.load(), ConnectionState::Closed);
    QCOMPARE(rig_->frame->Link().StateImage(), 205);
    QCOMPARE(statusButton->icon().cacheKey(), closedIcon);

    // And once more: the same port opens again.
    Connect();
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(rig_->messageBox.Shown().isEmpty());
}

void ConnectionCycleTest::silentDriveIsNotFound() {
    PtyPeer silent;  // holds its end open and never answers
    QVERIFY(silent.ok());
    QVERIFY(QFile::link("/dev/" + QString::fromStdString(silent.PortName()),
                        folder_->File(QStringLiteral("dev/ttyDEAD"))));
    WriteSerialSettings("ttyDEAD");
    rig_->frame->Dispatch(1128);
    QCOMPARE(rig_->state.session.connectInProgress, 1);
    QTRY_VERIFY_WITH_TIMEOUT(rig_->Shown("Not Find Driver! Please Check...\n"
                                         "Tried port ttyDEAD at 115200 baud, node ID 1"),
                             kLong);
    QCOMPARE(rig_->frame->StatusText(), QStringLiteral("Comm Status: Closed"));
    QCOMPARE(rig_->state.switches.connectionState.load(), ConnectionState::Closed);
    QCOMPARE(rig_->state.session.connectInProgress, 0);
    QCOMPARE(rig_->frame->Link().StateImage(), 205);
    QCOMPARE(rig_->messageBox.Shown().size(), 1);
}

void ConnectionCycleTest::initializeSaveWaitsForTheStore() {
    Connect();
    if (QTest::currentTestFailed()) {
        return;
    }
    InitSaveDialog dialog(
        {rig_->state.link, rig_->state.switches, rig_->messageBox, rig_->frame.get()}, *english_,
        rig_->frame.get());
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Initialize/Save"));
    QCOMPARE(rig_->state.switches.exclusiveMode.load(), 1);
    QCOMPARE(rig_->state.switches.cyclicReadEnabled.load(), 0);

    QList<QPushButton*> buttons;
    for (int id : {1096, 1097, 1098, 1095}) {
        auto* button = dialog.findChild<QPushButton*>(QStringLiteral("control%1").arg(id));
        QVERIFY(button != nullptr);
        QVERIFY(button->isVisible() && button->isEnabled());
        buttons << button;
    }
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("control2"))->isVisible());
    std::vector<std::unique_ptr<EnabledLog>> logs;
    for (QPushButton* button : buttons) {
        logs.push_back(std::make_unique<EnabledLog>(button));
    }

    buttons[0]->click();  // "Save control parameters": 2FF0h:01h reads 1 for 400 ms
    QTRY_VERIFY_WITH_TIMEOUT(!logs[0]->states.empty(), kLong);
    QTRY_VERIFY_WITH_TIMEOUT(buttons[0]->isEnabled(), kLong);
    for (const auto& log : logs) {
        // Disabled while the drive reported busy, enabled once both objects read idle.
        QCOMPARE(log->states, (std::vector<bool>{false, true}));
    }
    QVERIFY(rig_->messageBox.Shown().isEmpty());

    dialog.reject();
    QCOMPARE(rig_->state.switches.exclusiveMode.load(), 0);
    QCOMPARE(rig_->state.switches.exclusiveWindow.load(), nullptr);
    QCOMPARE(rig_->state.switches.cyclicReadEnabled.load(), 1);
    QCOMPARE(rig_->state.switches.transmitRetry.load(), 1);
    // The status word is read again: the connection stays confirmed and follows the drive.
    drive_->Console("error 1");
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().DriveStatus(), 1, kLong);
    QCOMPARE(rig_->state.switches.connectionState.load(), ConnectionState::Open);
    QCOMPARE(rig_->frame->StatusText(), QStringLiteral("Comm Status: Open  ttySIM0  115200"));
}

void ConnectionCycleTest::initializeSaveNeedsAConnection() {
    InitSaveDialog dialog(
        {rig_->state.link, rig_->state.switches, rig_->messageBox, rig_->frame.get()}, *english_,
        rig_->frame.get());
    dialog.show();
    for (int id : {1096, 1097, 1098, 1095}) {
        dialog.findChild<QPushButton*>(QStringLiteral("control%1").arg(id))->click();
    }
    QCOMPARE(rig_->messageBox.Shown(), QStringList(4, QStringLiteral("Comm port isn't Open!")));
    dialog.reject();
}

// The drive goes away and comes back on a new pseudo-terminal behind the same link, as a
// restarted drive or a replugged USB adapter does: the toolbar's connect works again every
// time, whether the port vanished under an open connection or while it was closed.
// TARVO_RECONNECT_ROUNDS sets the rounds (the long run takes 100).
void ConnectionCycleTest::connectWorksAgainAfterThePortComesBack() {
    const int rounds = qEnvironmentVariableIsSet("TARVO_RECONNECT_ROUNDS")
                           ? qEnvironmentVariableIntValue("TARVO_RECONNECT_ROUNDS")
                           : 4;
    const QString closed = QStringLiteral("Comm Status: Closed");
    for (int round = 0; round < rounds; ++round) {
        Connect();
        if (QTest::currentTestFailed()) {
            qWarning("round %d", round);
            return;
        }
        const bool underOpenConnection = round % 2 == 0;
        if (underOpenConnection) {
            drive_.reset();
            // The status reads fail and the link closes the connection by itself.
            QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(),
                                      ConnectionState::Closed, kLong);
            QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->StatusText(), closed, kLong);
        } else {
            rig_->frame->Dispatch(1128);
            QCOMPARE(rig_->frame->StatusText(), closed);
            drive_.reset();
            // Connecting while the port is gone fails and says so; nothing stays open.
            const qsizetype shownBefore = rig_->messageBox.Shown().size();
            rig_->frame->Dispatch(1128);
            QTRY_VERIFY_WITH_TIMEOUT(rig_->messageBox.Shown().size() > shownBefore, kLong);
            QTRY_COMPARE_WITH_TIMEOUT(rig_->state.session.connectInProgress, 0, kLong);
            QCOMPARE(rig_->state.switches.connectionState.load(), ConnectionState::Closed);
            QCOMPARE(rig_->frame->StatusText(), closed);
        }
        QCOMPARE(rig_->frame->Link().StateImage(), 205);
        drive_ = std::make_unique<SimulatedDrive>(folder_->Path(), QStringLiteral("ttySIM0"));
        QVERIFY2(drive_->WaitReady(), drive_->Output().constData());
    }
    Connect();
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::ConnectionCycleTest)
#include "ConnectionCycleTest.moc"
