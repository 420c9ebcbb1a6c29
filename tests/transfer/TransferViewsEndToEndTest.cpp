#include <QFile>
#include <QtTest>

#include "platform/AppSettings.h"
#include "tests/app/ShellRig.h"
#include "tests/app/SimulatedDrive.h"
#include "transfer/views/ExportDrvDataView.h"
#include "transfer/views/ImportDrvDataView.h"

namespace tarvo::test {

namespace {
constexpr int kLong = 60000;  // generous: the machine is shared

// Runs the event loop until `done` holds, handling each delivery of the link as it comes
// (QTest::qWaitFor would pause between rounds).
template <typename Predicate>
bool WaitFor(Predicate done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}
}  // namespace

// Both views in the program against the simulated drive on a pseudo-terminal: back up every
// shipped parameter, restore a changed file and the backup, store, and back up again.
class TransferViewsEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
        english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
        drive_ = std::make_unique<SimulatedDrive>(folder_.Path(), QStringLiteral("ttySIM0"),
                                                  QStringList{"--store-ms", "100"});
        QVERIFY2(drive_->WaitReady(), drive_->Output().constData());
        AppSettings settings(folder_.File(QStringLiteral("sys/sys.ini")).toStdString());
        settings.SetInterfaceMode(kModeRs232);
        settings.SetSerial("ttySIM0", "115200");
        settings.SetSerialNodeId(1);
        previousFolder_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder_.Path()));
        rig_ = std::make_unique<ShellRig>(folder_, *english_);
        QVERIFY(rig_->state.dictionary.LoadFile(rig_->state.dataFilePath, 2, nullptr));
        rig_->frame->Dispatch(1128);
        QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(),
                                  ConnectionState::Open, kLong);
    }

    void cleanupTestCase() {
        rig_.reset();
        QDir::setCurrent(previousFolder_);
        drive_.reset();
    }

    void backUpRestoreStoreAndBackUpAgain() {
        QString backup = Export(QStringLiteral("a"));
        QByteArray original = Read(backup);
        int rows = original.count('\n');
        QVERIFY(rows > 300);

        // A file with one value changed, then the backup: both written and read back equal.
        QByteArray changed = original;
        int at = changed.indexOf("\r\n60810020,");
        QVERIFY(at >= 0);
        int end = changed.indexOf(',', at + 11);
        changed.replace(at + 11, end - at - 11, "4321");
        QString changedFile = folder_.File(QStringLiteral("changed.cdi"));
        folder_.Write(QStringLiteral("changed.cdi"), changed);
        QString finish = QStringLiteral("Finish: Total:%1  Alarm:0  Error:0").arg(rows);
        ImportDrvDataView* import = Import(changedFile);
        QVERIFY(import != nullptr);
        QCOMPARE(StatusOf(import, ImportDrvDataModel::kWriteStatus), finish);
        import = Import(backup);
        QVERIFY(import != nullptr);
        QCOMPARE(StatusOf(import, ImportDrvDataModel::kWriteStatus), finish);
        import->Model().SaveParameters();
        QTRY_COMPARE_WITH_TIMEOUT(StatusOf(import, ImportDrvDataModel::kStoreStatus),
                                  QStringLiteral("Finished."), kLong);
        QVERIFY(rig_->messageBox.Shown().isEmpty());

        QCOMPARE(Read(Export(QStringLiteral("b"))), original);
    }

private:
    template <typename View>
    View* ViewOf(uint32_t command, ViewKind kind) {
        rig_->frame->ShowView(command);
        ChildFrame* frame = rig_->frame->Views().Frame(kind);
        return frame ? qobject_cast<View*>(frame->widget()) : nullptr;
    }
    template <typename View, typename Which>
    static QString StatusOf(View* view, Which status) {
        return QString::fromStdString(view->Model().StatusText(status));
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Exports the shipped list into <name>.cdi; returns its path.
    QString Export(const QString& name) {
        auto* view = ViewOf<ExportDrvDataView>(1243, ViewKind::kExportDrvData);
        if (view == nullptr) {
            return {};
        }
        QString target = folder_.File(name);
        view->SetFileChooser([target](const FileDialogRequest& request) {
            return request.save ? target + QStringLiteral(".cdi")
                                : QStringLiteral(TARVO_STAGE "/user/AllParameters.cdo");
        });
        view->OpenFile();
        view->Model().Read();
        if (!WaitFor([view] { return !view->Model().Reading(); }, kLong)) {
            return {};
        }
        view->Save();
        return target + QStringLiteral(".cdi");
    }

    ImportDrvDataView* Import(const QString& file) {
        auto* view = ViewOf<ImportDrvDataView>(1244, ViewKind::kImportDrvData);
        if (view == nullptr) {
            return nullptr;
        }
        view->SetFileChooser([file](const FileDialogRequest&) { return file; });
        view->OpenFile();
        view->Model().Write();
        return WaitFor([view] { return !view->Model().Running(); }, kLong) ? view : nullptr;
    }

    std::unique_ptr<ResourceSet> english_;
    ProgramFolder folder_;
    std::unique_ptr<SimulatedDrive> drive_;
    std::unique_ptr<ShellRig> rig_;
    QString previousFolder_;
};

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::TransferViewsEndToEndTest)
#include "TransferViewsEndToEndTest.moc"
