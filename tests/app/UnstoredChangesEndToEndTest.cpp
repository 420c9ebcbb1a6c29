#include <QApplication>
#include <QLineEdit>
#include <QtTest>

#include "app/views/InitSaveDialog.h"
#include "app/views/UnstoredChangesButton.h"
#include "dictionary/SdoListModel.h"
#include "dictionary/views/SdoListTable.h"
#include "dictionary/views/SdoListView.h"
#include "panels/views/EditListView.h"
#include "panels/views/ParameterPanelView.h"
#include "panels/views/ParameterTableModel.h"
#include "platform/AppSettings.h"
#include "tests/app/ShellRig.h"
#include "tests/app/SimulatedDrive.h"

namespace tarvo::test {

namespace {
constexpr int kLong = 30000;  // generous: the machine is shared
constexpr uint32_t kBasicOperation = 1227;
constexpr uint32_t kProfileVelocity = 0x608100;  // stored by the drive (S)
constexpr int kConnect = 1128;
constexpr int kBrowser = 1250;

// Whether the browser shows an entry in bold.
bool BoldInBrowser(SdoListView& browser, uint32_t key) {
    for (int row = 0; row < browser.Model().RowCount(); ++row) {
        if (browser.Model().RowAt(row).key == key) {
            QModelIndex index = browser.Table()->index(row, 2);
            return browser.Table()->data(index, Qt::FontRole).value<QFont>().bold();
        }
    }
    return false;
}
}  // namespace

// A value written on a panel of the running program and the simulated drive: the status bar
// counts it, the row is bold, closing asks first, and a store from Initialize/Save (opened
// by the status bar) clears it all.
class UnstoredChangesEndToEndTest : public QObject {
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
        rig_ = std::make_unique<ShellRig>(*folder_, *english_);
        QVERIFY(rig_->state.dictionary.LoadFile(rig_->state.dataFilePath, 2, nullptr));
    }
    void cleanupTestCase() {
        rig_.reset();
        QDir::setCurrent(previousFolder_);
        drive_.reset();
    }

    void aPanelWriteIsCountedAskedAboutAndClearedByAStore();

private:
    std::unique_ptr<ResourceSet> english_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<SimulatedDrive> drive_;
    std::unique_ptr<ShellRig> rig_;
    QString previousFolder_;
};

void UnstoredChangesEndToEndTest::aPanelWriteIsCountedAskedAboutAndClearedByAStore() {
    MainFrame& frame = *rig_->frame;
    UnstoredChangesButton* status = frame.UnstoredButton();
    QVERIFY(status != nullptr);
    frame.Dispatch(kConnect);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(), ConnectionState::Open,
                              kLong);
    QTRY_COMPARE_WITH_TIMEOUT(frame.Link().DriveStatus(), 0, kLong);
    QVERIFY(!status->isVisible());

    QVERIFY(frame.ShowView(kBasicOperation));
    auto* basic = qobject_cast<ParameterPanelView*>(
        frame.Views().Frame(*ViewCatalog::ByCommand(kBasicOperation))->widget());
    QVERIFY(basic != nullptr);
    int row = -1;
    for (int r = 0; r < basic->Panel().List().RowCount(); ++r) {
        if (basic->Panel().KeyOfRow(r) == kProfileVelocity) {
            row = r;
        }
    }
    QVERIFY(row >= 0);
    const ParameterList& list = basic->Panel().List();
    QTRY_VERIFY_WITH_TIMEOUT(!list.Text(row, ParameterRows::kValueColumn).empty(), kLong);
    QModelIndex value = basic->Table().index(row, ParameterRows::kValueColumn);
    QVERIFY(!basic->Table().data(value, Qt::FontRole).isValid());

    EditListView& view = basic->List();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(value).center());
    auto* edit = qobject_cast<QLineEdit*>(view.OpenEditor());
    QVERIFY(edit != nullptr);
    QTest::keyClicks(edit, "300");
    QTest::keyClick(edit, Qt::Key_Return);

    QTRY_VERIFY_WITH_TIMEOUT(status->isVisible(), kLong);
    QCOMPARE(status->text(), QStringLiteral("1 change not stored"));
    QTRY_VERIFY_WITH_TIMEOUT(basic->Table().data(value, Qt::FontRole).value<QFont>().bold(), kLong);
    QVERIFY(basic->Table()
                .data(value, Qt::ToolTipRole)
                .toString()
                .endsWith(QStringLiteral("Written in this session and not stored in the drive")));
    // Another row keeps its plain font.
    int other = row == 0 ? 1 : 0;
    QVERIFY(!basic->Table().data(basic->Table().index(other, 0), Qt::FontRole).isValid());
    // The browser marks the same entry, and only it.
    QVERIFY(frame.ShowView(kBrowser));
    auto* browser = qobject_cast<SdoListView*>(
        frame.Views().Frame(*ViewCatalog::ByCommand(kBrowser))->widget());
    QVERIFY(browser != nullptr);
    QVERIFY(BoldInBrowser(*browser, kProfileVelocity));
    QVERIFY(!BoldInBrowser(*browser, 0x608300));

    // Closing the connection or the program asks first; cancelling keeps both.
    rig_->unstoredAnswer = MainFrame::UnstoredAnswer::kCancel;
    frame.Dispatch(kConnect);
    QCOMPARE(rig_->askedUnstored.size(), 1);
    QVERIFY(rig_->askedUnstored[0].contains(QStringLiteral("closing the connection")));
    QCOMPARE(rig_->state.switches.connectionState.load(), ConnectionState::Open);
    QVERIFY(!frame.close());
    QCOMPARE(rig_->askedUnstored.size(), 2);
    QVERIFY(rig_->askedUnstored[1].contains(QStringLiteral("closing the program")));
    QVERIFY(frame.isVisible());

    // The status bar opens Initialize/Save; its "Save control parameters" stores the value.
    bool dialogSeen = false;
    QTimer::singleShot(0, this, [&] {
        InitSaveDialog* dialog = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                dialog = qobject_cast<InitSaveDialog*>(QApplication::activeModalWidget());
                return dialog != nullptr;
            },
            kLong);
        if (dialog == nullptr) {
            return;
        }
        dialogSeen = true;
        (void)QTest::qWaitFor([&] { return dialog->Model().ButtonsEnabled(); }, kLong);
        dialog->Model().Press(InitSaveModel::kSaveControl);
        (void)QTest::qWaitFor([&] { return rig_->state.link.Unstored().Count() == 0; }, kLong);
        (void)QTest::qWaitFor([&] { return dialog->Model().ButtonsEnabled(); }, kLong);
        dialog->reject();
    });
    status->click();
    QVERIFY(dialogSeen);
    QTRY_VERIFY_WITH_TIMEOUT(!status->isVisible(), kLong);
    QVERIFY(!basic->Table().data(value, Qt::FontRole).isValid());
    QVERIFY(!BoldInBrowser(*browser, kProfileVelocity));

    // Nothing left to lose: the connection closes without a question.
    frame.Dispatch(kConnect);
    QCOMPARE(rig_->askedUnstored.size(), 2);
    QCOMPARE(rig_->state.switches.connectionState.load(), ConnectionState::Closed);
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::UnstoredChangesEndToEndTest)
#include "UnstoredChangesEndToEndTest.moc"
