#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableWidget>
#include <QtTest>

#include "app/views/TrendViewFactory.h"
#include "dictionary/views/SdoListView.h"
#include "oscilloscope/views/TrendPlotView.h"
#include "oscilloscope/views/TrendView.h"
#include "panels/drivecontrol/views/DriveControlView.h"
#include "panels/views/ParameterPanelView.h"
#include "platform/AppSettings.h"
#include "tests/app/ShellRig.h"
#include "tests/app/SimulatedDrive.h"

namespace tarvo::test {

namespace {

constexpr int kLong = 30000;  // generous: the machine is shared
constexpr uint32_t kTrend = TrendViewFactory::kCommand;

}  // namespace

// The trend against the simulated drive: entries added from the menu's view, a panel's
// context menu and the dictionary browser, sampled through the monitor walk, gaps when the
// connection closes, exports, and pictures in both languages.
class TrendEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void sampledFromPanelsAndBrowser();
    void gapsExportsAndGroupedRedraws();
    void followsTheRunningMotor();
    void pictures();

private:
    void Open(const ResourceSet& resources);
    TrendView* Trend() const;

    std::unique_ptr<ResourceSet> english_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<SimulatedDrive> drive_;
    std::unique_ptr<ShellRig> rig_;
    QString previousFolder_;
};

void TrendEndToEndTest::initTestCase() {
    QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
    english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
    previousFolder_ = QDir::currentPath();
}

void TrendEndToEndTest::cleanup() {
    rig_.reset();
    QDir::setCurrent(previousFolder_);
    drive_.reset();
    folder_.reset();
}

void TrendEndToEndTest::Open(const ResourceSet& resources) {
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
    QVERIFY(QDir::setCurrent(folder_->Path()));
    rig_ = std::make_unique<ShellRig>(*folder_, resources);
    bool chinese = resources.language() == ResourceSet::Language::Chinese;
    QVERIFY(rig_->state.dictionary.LoadFile(rig_->state.dataFilePath, chinese ? 1 : 2, nullptr));
    rig_->frame->Dispatch(1128);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(), ConnectionState::Open,
                              kLong);
}

TrendView* TrendEndToEndTest::Trend() const {
    ChildFrame* frame = rig_->frame->Views().Frame(ViewKind::kTrend);
    return frame != nullptr ? qobject_cast<TrendView*>(frame->widget()) : nullptr;
}

void TrendEndToEndTest::sampledFromPanelsAndBrowser() {
    Open(*english_);
    if (QTest::currentTestFailed()) {
        return;
    }
    // The View menu's command shows the trend, empty.
    rig_->frame->Dispatch(static_cast<int>(kTrend));
    TrendView* trend = Trend();
    QVERIFY(trend != nullptr);
    QCOMPARE(trend->Plot().SignalCount(), 0);
    QVERIFY(trend->AddTyped(QStringLiteral("velocity ACTUAL value")));
    QVERIFY(!trend->AddTyped(QStringLiteral("606c:0")));  // present already
    QVERIFY(!trend->AddTyped(QStringLiteral("no such entry")));
    QVERIFY(!trend->AddTyped(QStringLiteral("1008:00")));  // a text
    QCOMPARE(rig_->messageBox.Shown().size(), 3);
    QCOMPARE(trend->Plot().At(0).address, 0x606C00u);
    QCOMPARE(trend->Plot().At(0).unit, std::string("rpm"));

    // A panel row's context menu: the Velocity Loop's first row.
    QVERIFY(rig_->frame->ShowView(1217));
    auto* panel = qobject_cast<ParameterPanelView*>(
        rig_->frame->Views().Frame(*ViewCatalog::ByCommand(1217))->widget());
    QVERIFY(panel != nullptr && panel->TrendAction() != nullptr);
    QVERIFY(panel->Panel().List().RowCount() > 0);
    panel->Panel().List().SetFocused(0, true);
    uint32_t rowKey =
        static_cast<uint32_t>(std::stoul(panel->Panel().List().Text(0, ParameterRows::kKeyColumn)));
    panel->TrendAction()->trigger();
    QVERIFY(trend->Plot().Find(rowKey) >= 0);

    // The dictionary browser's context menu.
    QVERIFY(rig_->frame->ShowView(1250));
    auto* browser =
        qobject_cast<SdoListView*>(rig_->frame->Views().Frame(ViewKind::kSdoList)->widget());
    std::optional<int> row = browser->Model().FindNext("statusword");
    QVERIFY(row.has_value());
    browser->TrendRow(*row);
    QCOMPARE(trend->Plot().SignalCount(), 3);
    QCOMPARE(trend->Table().rowCount(), 3);

    // Every signal is read by the walk; arrival times rise and the achieved rate shows.
    for (int signal = 0; signal < 3; ++signal) {
        const TrendRing& ring = *trend->Plot().At(signal).ring;
        QTRY_VERIFY_WITH_TIMEOUT(ring.Size() >= 10, kLong);
        for (size_t i = 1; i < ring.Size(); ++i) {
            QVERIFY(ring.TimeAt(i) >= ring.TimeAt(i - 1));
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(trend->Table().item(0, 5)->text().toDouble() > 0, kLong);
    QVERIFY2(rig_->messageBox.Shown().size() == 3,
             qPrintable(rig_->messageBox.Shown().join(QStringLiteral(" | "))));
}

void TrendEndToEndTest::gapsExportsAndGroupedRedraws() {
    Open(*english_);
    if (QTest::currentTestFailed()) {
        return;
    }
    TrendViewFactory::AddToTrend(*rig_->frame, 0x606C00);
    TrendView* trend = Trend();
    QVERIFY(trend != nullptr);
    QVERIFY(trend->AddEntry(0x604100));
    const TrendRing& velocity = *trend->Plot().At(0).ring;
    QTRY_VERIFY_WITH_TIMEOUT(velocity.Size() >= 5, kLong);

    // However fast samples come, the plot is redrawn at most once per 40 ms (and once per
    // action of the user).
    int redrawsBefore = trend->RedrawCount();
    QElapsedTimer elapsed;
    elapsed.start();
    size_t samplesBefore = velocity.Size();
    QTRY_VERIFY_WITH_TIMEOUT(velocity.Size() >= samplesBefore + 10, kLong);
    QVERIFY(trend->RedrawCount() - redrawsBefore <= elapsed.elapsed() / TrendView::kRedrawMs + 2);

    // Closing the connection breaks every line with its reason.
    rig_->frame->Dispatch(1128);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(), ConnectionState::Closed,
                              kLong);
    for (int signal = 0; signal < 2; ++signal) {
        const TrendRing& ring = *trend->Plot().At(signal).ring;
        QTRY_VERIFY_WITH_TIMEOUT(!ring.Empty() && ring.Newest().gap, kLong);
        QCOMPARE(ring.Newest().reason, TrendGapReason::ConnectionClosed);
    }
    size_t kept = 0;
    for (size_t i = 0; i < velocity.Size(); ++i) {
        kept += velocity.At(i).gap ? 0 : 1;
    }

    // Exports: the whole history as CSV with a row per sample, and a PNG.
    QString csv = folder_->File(QStringLiteral("user/trend.csv"));
    QDir().mkpath(folder_->File(QStringLiteral("user")));
    QVERIFY(trend->ExportCsv(csv, true));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines[0], QByteArray("time (s),Velocity actual value (rpm),Statusword"));
    int velocityRows = 0;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].split(',').value(1).size() > 0) {
            ++velocityRows;
        }
    }
    QCOMPARE(static_cast<size_t>(velocityRows), kept);  // gaps write no row
    QString png = folder_->File(QStringLiteral("user/trend.png"));
    QVERIFY(trend->ExportPng(png));
    QCOMPARE(QImage(png).size(), trend->PlotView().size());
    QVERIFY(!trend->ExportCsv(folder_->File(QStringLiteral("no/such/folder/x.csv")), false));
    QVERIFY(rig_->messageBox.Shown().size() == 1);

    // Eight at most.
    for (uint32_t sub = 1; trend->Plot().SignalCount() < TrendPlot::kMaxSignals; ++sub) {
        QVERIFY(trend->AddEntry(0x200000 + sub));
    }
    QVERIFY(!trend->AddEntry(0x606300));
    QCOMPARE(trend->Plot().SignalCount(), 8);
    trend->RemoveSignal(0);
    QCOMPARE(trend->Table().rowCount(), 7);
    QCOMPARE(trend->Plot().Find(0x606C00), -1);
}

void TrendEndToEndTest::followsTheRunningMotor() {
    Open(*english_);
    if (QTest::currentTestFailed()) {
        return;
    }
    TrendViewFactory::AddToTrend(*rig_->frame, 0x606C00);
    TrendView* trend = Trend();
    QVERIFY(trend != nullptr);
    const TrendRing& velocity = *trend->Plot().At(0).ring;
    // The drive control view enables the simulated drive and jogs its motor.
    QVERIFY(rig_->frame->ShowView(1300));
    auto* control = qobject_cast<DriveControlView*>(
        rig_->frame->Views().Frame(ViewKind::kDriveControl)->widget());
    QVERIFY(control != nullptr);
    DriveControlModel& model = control->Model();
    using Transition = DeviceControl::Transition;
    for (Transition step :
         {Transition::Shutdown, Transition::SwitchOn, Transition::EnableOperation}) {
        QTRY_VERIFY_WITH_TIMEOUT(model.TransitionEnabled(step), kLong);
        model.RequestTransition(step);
    }
    QTRY_VERIFY_WITH_TIMEOUT(model.MotionAllowed(), kLong);
    // At standstill the trend reads 0.
    QTRY_VERIFY_WITH_TIMEOUT(velocity.Size() >= 3, kLong);
    QCOMPARE(velocity.Newest().value, 0.0);

    auto newestValue = [&] {
        return velocity.Empty() || velocity.Newest().gap ? -1.0 : velocity.Newest().value;
    };
    size_t jogStart = velocity.Size();
    QVERIFY(model.JogPress(300));
    // The samples rise from 0 and settle at the running speed.
    QTRY_VERIFY_WITH_TIMEOUT(newestValue() > 0.0, kLong);
    double settled = 0.0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            size_t n = velocity.Size();
            if (n < jogStart + 6 || velocity.At(n - 1).gap || velocity.At(n - 3).gap) {
                return false;
            }
            settled = velocity.At(n - 1).value;
            return settled > 0.0 && velocity.At(n - 3).value == settled;
        }(),
        kLong);
    double highest = 0.0;
    for (size_t i = jogStart; i < velocity.Size(); ++i) {
        QVERIFY2(!velocity.At(i).gap, "no sample lost while the motor runs");
        highest = std::max(highest, velocity.At(i).value);
    }
    QVERIFY(highest <= settled * 1.05);
    // The settled value is the jog's speed in the trend's unit: the drive control view reads
    // the same entry raw.
    QTRY_COMPARE_WITH_TIMEOUT(model.VelocityActual().value_or(0), 300, kLong);
    QCOMPARE(newestValue(), settled);

    // Released, the motor stops and the samples come back to 0.
    size_t stopStart = velocity.Size();
    model.JogRelease();
    QTRY_VERIFY_WITH_TIMEOUT(velocity.Size() > stopStart && newestValue() == 0.0, kLong);
    QVERIFY2(rig_->messageBox.Shown().isEmpty(),
             qPrintable(rig_->messageBox.Shown().join(QStringLiteral(" | "))));
}

void TrendEndToEndTest::pictures() {
    // Four signals with cursors, in both languages; saved when TREND_PICTURES names a folder.
    QString out = qEnvironmentVariable("TREND_PICTURES");
    ResourceSet chinese(ResourceSet::Language::Chinese);
    for (const ResourceSet* resources : {english_.get(), &chinese}) {
        Open(*resources);
        if (QTest::currentTestFailed()) {
            return;
        }
        rig_->frame->Dispatch(static_cast<int>(kTrend));
        TrendView* trend = Trend();
        QVERIFY(trend != nullptr);
        trend->parentWidget()->move(0, 0);
        for (uint32_t key : {0x606C00u, 0x604100u, 0x606300u, 0x607800u}) {
            QVERIFY(trend->AddEntry(key));
        }
        trend->SetWindowSeconds(10);
        for (int signal = 0; signal < 4; ++signal) {
            QTRY_VERIFY_WITH_TIMEOUT(trend->Plot().At(signal).ring->Size() >= 20, kLong);
        }
        trend->SetCursorsShown(true);
        QVERIFY(trend->Plot().CursorsShown());
        trend->SetPaused(true);
        if (!out.isEmpty()) {
            QString name = resources == english_.get() ? "trend-en.png" : "trend-zh.png";
            QVERIFY(rig_->frame->grab().save(QDir(out).filePath(name)));
        }
        cleanup();
    }
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::TrendEndToEndTest)
#include "TrendEndToEndTest.moc"
