#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <map>
#include <optional>

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

    // Two rows of a backup changed: Compare lists exactly those, writing them leaves nothing
    // to list.
    void compareListsTheChangedRowsAndWritesOnlyThose() {
        QByteArray changed = Read(Export(QStringLiteral("c")));
        int rows = changed.count('\n');
        QVERIFY(rows > 300);
        std::optional<int> velocity = ChangeValue(changed, "60810020", 7);
        std::optional<int> gain = ChangeValue(changed, "20110110", 1);
        QVERIFY(velocity && gain);
        folder_.Write(QStringLiteral("two.cdi"), changed);

        auto* view = ViewOf<ImportDrvDataView>(1244, ViewKind::kImportDrvData);
        QVERIFY(view != nullptr);
        QString file = folder_.File(QStringLiteral("two.cdi"));
        view->SetFileChooser([file](const FileDialogRequest&) { return file; });
        view->OpenFile();
        CompareDrvDataDialog* compare = view->Compare();
        QVERIFY(compare != nullptr);
        QVERIFY(WaitFor([compare] { return !compare->Busy(); }, kLong));
        std::map<std::string, DriveDifferences::Difference> found;
        for (const auto& difference : compare->Differences()) {
            found[difference.entry] = difference;
        }
        QCOMPARE(found.size(), size_t{2});
        // Both values in units beside the number: rpm for the velocity, 1/s for the gain.
        auto starts = [](const std::string& text, int number) {
            return text.rfind(std::to_string(number) + " (", 0) == 0;
        };
        QVERIFY2(starts(found["6081:00"].file, *velocity + 7), found["6081:00"].file.c_str());
        QVERIFY2(starts(found["6081:00"].drive, *velocity), found["6081:00"].drive.c_str());
        QVERIFY2(starts(found["2011:01"].file, *gain + 1), found["2011:01"].file.c_str());
        QVERIFY2(starts(found["2011:01"].drive, *gain), found["2011:01"].drive.c_str());
        QCOMPARE(compare->List()->topLevelItemCount(), 2);
        QVERIFY(compare->WriteButton()->isEnabled());

        compare->WriteButton()->click();
        QVERIFY(WaitFor([compare] { return !compare->Busy(); }, kLong));
        QCOMPARE(view->Model().WritesSent(), 2);
        QCOMPARE(StatusOf(view, ImportDrvDataModel::kWriteStatus),
                 QStringLiteral("Finish: Total:%1  Alarm:0  Error:0").arg(rows));
        QCOMPARE(compare->List()->topLevelItemCount(), 0);

        QVERIFY(view->Compare() == compare);
        QVERIFY(WaitFor([compare] { return !compare->Busy(); }, kLong));
        QCOMPARE(compare->Differences().size(), size_t{0});
        QCOMPARE(compare->Status()->text(), english_->String(1781));
        QVERIFY(!compare->WriteButton()->isEnabled());
        QVERIFY(rig_->messageBox.Shown().isEmpty());
        compare->close();
    }

private:
    // Adds `step` to the value of the object word's row; returns the value it held.
    static std::optional<int> ChangeValue(QByteArray& file, const char* word, int step) {
        int at = file.indexOf(QByteArray("\r\n") + word + ',');
        if (at < 0) {
            return std::nullopt;
        }
        int start = at + 2 + static_cast<int>(qstrlen(word)) + 1;
        int end = file.indexOf(',', start);
        bool number = false;
        int old = file.mid(start, end - start).toInt(&number);
        if (!number) {
            return std::nullopt;
        }
        file.replace(start, end - start, QByteArray::number(old + step));
        return old;
    }

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
