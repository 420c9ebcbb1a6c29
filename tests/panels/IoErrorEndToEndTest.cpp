#include <QPushButton>
#include <QtTest>

#include "panels/ioerror/views/DataInOutView.h"
#include "panels/ioerror/views/RealtimeErrorView.h"
#include "platform/AppSettings.h"
#include "tests/app/ShellRig.h"
#include "tests/app/SimulatedDrive.h"

namespace tarvo::test {

namespace {

constexpr int kLong = 15000;  // generous: the machine is shared

}  // namespace

// The I/O port panel and the error control panel in the program, against the simulated
// drive on a pseudo-terminal: input pins on the lamps, a polarity click, injected errors on
// the lamps and the toolbar's fault icon, and the fault reset offered by that icon.
class IoErrorEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void inputsFollowThePinsAndPolarityReachesTheDrive();
    void errorsLightTheLampsAndTheStateIconResetsThem();

private:
    bool Connect();

    std::unique_ptr<ResourceSet> english_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<SimulatedDrive> drive_;
    std::unique_ptr<ShellRig> rig_;
    QString previousFolder_;
};

void IoErrorEndToEndTest::init() {
    if (!english_) {
        QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
        english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
    }
    folder_ = std::make_unique<ProgramFolder>();
    for (const char* file : {"sys/DataInOut.ini", "sys/RealTimeError.ini"}) {
        QFile staged(QStringLiteral(TARVO_STAGE "/") + file);
        QVERIFY(staged.open(QIODevice::ReadOnly));
        folder_->Write(QString::fromUtf8(file), staged.readAll());
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
}

void IoErrorEndToEndTest::cleanup() {
    rig_.reset();
    QDir::setCurrent(previousFolder_);
    drive_.reset();
    folder_.reset();
}

bool IoErrorEndToEndTest::Connect() {
    rig_->frame->Dispatch(1128);
    return QTest::qWaitFor([this] { return rig_->frame->Link().DriveStatus() == 0; }, kLong);
}

void IoErrorEndToEndTest::inputsFollowThePinsAndPolarityReachesTheDrive() {
    QVERIFY(Connect());
    rig_->frame->Dispatch(1129);  // the toolbar's I/O button
    ChildFrame* frame = rig_->frame->Views().Frame(ViewKind::kDataInOut);
    QVERIFY(frame != nullptr);
    QCOMPARE(frame->windowTitle(), QStringLiteral("I/O Port"));
    auto* view = qobject_cast<DataInOutView*>(frame->widget());
    QVERIFY(view != nullptr);
    // The read sequence shows the drive's functions: DIN3 is the positive limit.
    QTRY_COMPARE_WITH_TIMEOUT(view->Model().FunctionText(2), std::string("Positive limit"), kLong);
    QTRY_COMPARE_WITH_TIMEOUT(view->Model().ReadStep(), 0, kLong);

    drive_->Console("pin 8 1");  // DIN8 has no function
    QTRY_COMPARE_WITH_TIMEOUT(view->IconOf(1074), 211, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(view->IconOf(1082), 211, kLong);  // virtual follows real
    drive_->Console("pin 8 0");
    QTRY_COMPARE_WITH_TIMEOUT(view->IconOf(1074), 205, kLong);

    // DIN7's polarity inverts its idle pin: the drive reports the input on.
    qobject_cast<QPushButton*>(view->Control(1065))->click();
    QCOMPARE(view->IconOf(1065), 206);
    QTRY_COMPARE_WITH_TIMEOUT(view->IconOf(1073), 211, kLong);
    QVERIFY(rig_->messageBox.Shown().isEmpty());
}

void IoErrorEndToEndTest::errorsLightTheLampsAndTheStateIconResetsThem() {
    QVERIFY(Connect());
    rig_->frame->Dispatch(1130);  // no fault: the icon only opens the panel
    ChildFrame* frame = rig_->frame->Views().Frame(ViewKind::kRealtimeError);
    QVERIFY(frame != nullptr);
    auto* view = qobject_cast<RealtimeErrorView*>(frame->widget());
    QVERIFY(view != nullptr);
    int offers = 0;
    view->SetConfirm([&offers](const QString&) { return ++offers, true; });
    QTRY_VERIFY_WITH_TIMEOUT(view->Model().WordKnown(0) && view->Model().WordKnown(1), kLong);
    QCOMPARE(view->LampIcon(2), 211);

    drive_->Console("error 2");
    QTRY_COMPARE_WITH_TIMEOUT(view->LampIcon(2), 210, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().DriveStatus(), 1, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().StateImage(), 210, kLong);
    rig_->frame->Dispatch(1130);
    QCOMPARE(offers, 1);
    QTRY_COMPARE_WITH_TIMEOUT(view->LampIcon(2), 211, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().DriveStatus(), 0, kLong);

    // A persistent error survives a reset until the simulator clears it.
    drive_->Console("error 20 persist");
    QTRY_COMPARE_WITH_TIMEOUT(view->LampIcon(20), 210, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().DriveStatus(), 1, kLong);
    rig_->frame->Dispatch(1130);
    QCOMPARE(offers, 2);
    QTRY_VERIFY_WITH_TIMEOUT(!view->FaultReset().Running(), kLong);
    QCOMPARE(view->LampIcon(20), 210);
    drive_->Console("clear");
    rig_->frame->Dispatch(1130);
    QCOMPARE(offers, 3);
    QTRY_COMPARE_WITH_TIMEOUT(view->LampIcon(20), 211, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().DriveStatus(), 0, kLong);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->frame->Link().StateImage(), 211, kLong);
    rig_->frame->Dispatch(1130);
    QCOMPARE(offers, 3);  // no fault: no offer
    QVERIFY(rig_->messageBox.Shown().isEmpty());
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::IoErrorEndToEndTest)
#include "IoErrorEndToEndTest.moc"
