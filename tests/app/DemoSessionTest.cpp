#include <QFile>
#include <QProcess>
#include <QtTest>

#include "app/views/DemoSession.h"
#include "tests/app/ProgramFolder.h"

namespace tarvo::test {

// The demo's simulated drive, on a pseudo-terminal or on the simulated CAN bus.
class DemoSessionTest : public QObject {
    Q_OBJECT
private slots:
    // With --can the drive answers on its own bus for this run, while the user's
    // sys/can.ini (here: a SocketCAN adapter) stays as it was.
    void canDemoChoosesItsBusWithoutTouchingTheUsersSettings() {
        ProgramFolder folder;
        QVERIFY(QFile::link(QStringLiteral(TARVO_STAGE "/tarvo-drivesim"),
                            folder.File(QStringLiteral("tarvo-drivesim"))));
        const QByteArray users = "[can]\r\nbackend=socketcan\r\ninterface=can7\r\n";
        folder.Write(QStringLiteral("sys/can.ini"), users);
        DemoSession demo(folder.Path());
        QVERIFY2(demo.Start(true), qPrintable(demo.Error()));

        QProcess tarvoctl;  // inherits the demo's choice of bus, as the program's library does
        tarvoctl.start(QStringLiteral(TARVO_STAGE "/tarvoctl"),
                       {"--folder", folder.Path(), "--can", "read", "1008:00"});
        QVERIFY(tarvoctl.waitForFinished(30000));
        QCOMPARE(tarvoctl.readAllStandardOutput(), QByteArray("TSD2405-CAN\n"));
        QCOMPARE(tarvoctl.exitCode(), 0);

        QFile settings(folder.File(QStringLiteral("sys/can.ini")));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), users);
        demo.Stop();
    }
};

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::DemoSessionTest)
#include "DemoSessionTest.moc"
