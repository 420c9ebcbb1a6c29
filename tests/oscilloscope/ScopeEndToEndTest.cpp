#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest>

#include "oscilloscope/ScopeRecordFile.h"
#include "oscilloscope/views/CurvePlotView.h"
#include "oscilloscope/views/DriverOscilloView.h"
#include "platform/AppSettings.h"
#include "tests/app/ShellRig.h"
#include "tests/oscilloscope/ScopeDrive.h"

namespace tarvo::test {

namespace {

constexpr int kLong = 30000;  // generous: the machine is shared

int ChannelPosition(DriverOscilloModel& model, int channel, const std::string& name) {
    std::vector<std::string> names = model.lists().ChannelNames(channel);
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

}  // namespace

// The oscilloscope against the simulated drive: configure, capture, upload, compare with
// what the drive recorded, export and import.
class ScopeEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void captureUploadExportImport();
    void screenshots();

private:
    void Open(const QStringList& driveOptions, const ResourceSet* resources = nullptr);

    std::unique_ptr<ResourceSet> english_;
    std::unique_ptr<ProgramFolder> folder_;
    std::unique_ptr<ScopeDrive> drive_;
    std::unique_ptr<ShellRig> rig_;
    DriverOscilloView* view_ = nullptr;
    QString previousFolder_;
};

void ScopeEndToEndTest::initTestCase() {
    QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
    english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
}

void ScopeEndToEndTest::cleanup() {
    rig_.reset();
    QDir::setCurrent(previousFolder_);
    drive_.reset();
    folder_.reset();
}

void ScopeEndToEndTest::Open(const QStringList& driveOptions, const ResourceSet* resources) {
    folder_ = std::make_unique<ProgramFolder>();
    QVERIFY(QFile::copy(QStringLiteral(TARVO_STAGE "/sys/Oscilloscope.ini"),
                        folder_->File(QStringLiteral("sys/Oscilloscope.ini"))));
    drive_ = std::make_unique<ScopeDrive>(folder_->Path(), driveOptions);
    QVERIFY(!drive_->WaitLine("ready").isEmpty());
    AppSettings settings(folder_->File(QStringLiteral("sys/sys.ini")).toStdString());
    settings.SetInterfaceMode(kModeRs232);
    settings.SetSerial("ttySIM0", "115200");
    settings.SetSerialNodeId(1);
    previousFolder_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder_->Path()));
    rig_ = std::make_unique<ShellRig>(*folder_, resources != nullptr ? *resources : *english_);
    bool chinese = resources != nullptr && resources->language() == ResourceSet::Language::Chinese;
    QVERIFY(rig_->state.dictionary.LoadFile(rig_->state.dataFilePath, chinese ? 1 : 2, nullptr));
    rig_->frame->Dispatch(1128);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(), ConnectionState::Open,
                              kLong);
    QVERIFY(rig_->frame->ShowView(1247));
    view_ = qobject_cast<DriverOscilloView*>(
        rig_->frame->Views().Frame(ViewKind::kDriverOscillo)->widget());
    QVERIFY(view_ != nullptr);
    // The settings have been read once the drive's record length has arrived.
    QTRY_VERIFY_WITH_TIMEOUT(view_->model().form().total > 0, kLong);
}

void ScopeEndToEndTest::captureUploadExportImport() {
    Open({});
    if (QTest::currentTestFailed()) {
        return;
    }
    DriverOscilloModel& model = view_->model();
    auto settle = [&] { QTRY_VERIFY_WITH_TIMEOUT(!rig_->state.link.IsBusy(), kLong); };
    // Velocity (signed 32 bits, Slot5) on channel 1, current (signed 16 bits) on channel 3.
    int velocity = ChannelPosition(model, 1, "Velocity actual value");
    int current = ChannelPosition(model, 3, "Current actual value");
    QVERIFY(velocity >= 0 && current >= 0);
    model.SelectChannelItem(1, velocity);
    model.ClickChannel(1, true);
    settle();
    model.SelectChannelItem(3, current);
    model.ClickChannel(3, true);
    settle();
    QCOMPARE(model.Slots()[4], 0x606C0020u);
    QCOMPARE(model.Slots()[2], 0x60780010u);
    // Triggered by the velocity's noise crossing 0 upwards, 10 samples before it, 200 in all.
    int trigger = -1;
    for (int p = 1; p < model.lists().TriggerBoxSize(); ++p) {
        if (model.lists().TriggerAt(p)->code == 0x606C0020u) {
            trigger = p;
        }
    }
    QVERIFY(trigger > 0);
    model.SelectTrigger(trigger);
    settle();
    model.EnterTriggerLevel("0");
    model.EnterPeriod("2");
    model.EnterPretrigger("10");
    model.EnterTotal("200");
    settle();
    QTRY_COMPARE_WITH_TIMEOUT(model.form().total, 200, kLong);
    QCOMPARE(model.form().periodText, std::string("125.0us"));

    model.StartOrCancel();
    QVERIFY(model.run().ShowsCancel());
    QTRY_VERIFY_WITH_TIMEOUT(!model.run().Busy(), 3 * kLong);
    QVERIFY2(rig_->messageBox.Shown().isEmpty(),
             qPrintable(rig_->messageBox.Shown().join(QStringLiteral(" | "))));
    QCOMPARE(rig_->state.switches.deferredRelease.load(), 1);
    QCOMPARE(rig_->state.switches.cyclicReadEnabled.load(), 1);

    // The very samples the drive recorded: 4 bytes of velocity, 2 of current per record.
    std::vector<uint8_t> record = drive_->Record();
    QCOMPARE(record.size(), size_t{200 * 6});
    const auto& one = model.plot().At(1).points;
    const auto& three = model.plot().At(3).points;
    QCOMPARE(one.size(), size_t{200});
    QCOMPARE(three.size(), size_t{200});
    for (size_t k = 0; k < 200; ++k) {
        const uint8_t* at = record.data() + k * 6;
        int32_t v = static_cast<int32_t>(at[0] | at[1] << 8 | at[2] << 16 | uint32_t(at[3]) << 24);
        int16_t c = static_cast<int16_t>(at[4] | at[5] << 8);
        QCOMPARE(one[k].value, double(v));
        QCOMPARE(three[k].value, double(c));
    }

    // The readout follows the first ticked channel until one is chosen in "Ch Id".
    view_->Control<QRadioButton>(1264)->click();
    QCOMPARE(view_->Control<QComboBox>(1180)->currentIndex(), 0);
    QVERIFY(view_->Control<QLineEdit>(1265)->text() != QStringLiteral("0"));
    QVERIFY(view_->Control<QLineEdit>(1267)->text() != QStringLiteral("0"));
    // The wheel zooms around the pointer, Esc shows the whole record again.
    CurvePlotView& plot = view_->plotView();
    QPoint at(plot.width() / 2, plot.height() / 2);
    QWheelEvent wheel(at, plot.mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&plot, &wheel);
    QCOMPARE(model.plot().VisibleCount(), 160);
    QVERIFY(model.plot().First() > 1 && model.plot().Last() < 200);
    QTest::keyClick(&plot, Qt::Key_Escape);
    QCOMPARE(model.plot().VisibleCount(), 200);

    // Export all the forms, then import the record into the cleared plot.
    QString txt = folder_->File(QStringLiteral("user/run.txt"));
    QDir(folder_->Path()).mkpath(QStringLiteral("user"));
    QVERIFY(view_->ExportTo(txt));
    QVERIFY(view_->ExportTo(folder_->File(QStringLiteral("user/run.csv"))));
    QVERIFY(view_->ExportTo(folder_->File(QStringLiteral("user/run.bmp"))));
    QVERIFY(view_->ExportTo(folder_->File(QStringLiteral("user/run.png"))));
    QFile csv(folder_->File(QStringLiteral("user/run.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), 201);
    QCOMPARE(lines[0], QByteArray::number(one[0].value, 'f', 0) + ',' +
                           QByteArray::number(three[0].value, 'f', 0) + ',');
    QFile bmp(folder_->File(QStringLiteral("user/run.bmp")));
    QVERIFY(bmp.open(QIODevice::ReadOnly));
    QCOMPARE(bmp.read(2), QByteArray("BM"));
    QImage png(folder_->File(QStringLiteral("user/run.png")));
    QCOMPARE(png.width(), plot.width());
    QVERIFY(png.height() > plot.height());  // the legend below the plot
    QVERIFY(view_->ExportTo(folder_->File(QStringLiteral("user/run.svg"))));
    QFile svg(folder_->File(QStringLiteral("user/run.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("Velocity actual value (DEC)"));
    QVERIFY(view_->ExportTo(folder_->File(QStringLiteral("user/table.csv")), true));
    QFile table(folder_->File(QStringLiteral("user/table.csv")));
    QVERIFY(table.open(QIODevice::ReadOnly));
    QList<QByteArray> rows = table.readAll().split('\n');
    QCOMPARE(rows[0], QByteArray("time (s),ch1 Velocity actual value (DEC),"
                                 "ch3 Current actual value (DEC)"));
    QCOMPARE(rows[1], "0.0001250," + lines[0].chopped(1));

    std::vector<double> before;
    for (const CurvePoint& point : one) {
        before.push_back(point.value);
    }
    model.plot().Clear();
    QVERIFY(view_->ImportFrom(txt));
    QCOMPARE(model.plot().At(1).points.size(), size_t{200});
    for (size_t k = 0; k < 200; ++k) {
        QCOMPARE(model.plot().At(1).points[k].value, before[k]);
    }
    // A broken file is refused with a message and changes nothing.
    QFile::resize(txt, QFileInfo(txt).size() - 1);
    QVERIFY(!view_->ImportFrom(txt));
    QVERIFY(rig_->Shown(ScopeRecordFile::Message(ScopeRecordFile::ReadResult::kOddSize)));
    QCOMPARE(model.plot().At(1).points.size(), size_t{200});

    // The connection closes during a capture: it ends at once, says so and frees the link;
    // connected again, the view reads the drive's settings and the link serves everyone.
    model.EnterPeriod("2000");
    settle();
    model.StartOrCancel();
    QTRY_COMPARE_WITH_TIMEOUT(model.run().state(), CaptureRun::State::kWaiting, kLong);
    rig_->frame->Dispatch(1128);
    QTRY_COMPARE_WITH_TIMEOUT(model.StatusText(), std::string("stopped: the connection closed"),
                              kLong);
    QVERIFY(!model.run().Busy());
    QCOMPARE(rig_->state.switches.deferredRelease.load(), 1);
    QCOMPARE(rig_->state.switches.cyclicReadEnabled.load(), 1);
    rig_->frame->Dispatch(1128);
    QTRY_COMPARE_WITH_TIMEOUT(rig_->state.switches.connectionState.load(), ConnectionState::Open,
                              kLong);
    settle();
    QCOMPARE(model.form().samplePeriod, 2000);
}

// With TARVO_SCOPE_SHOTS=DIR: pictures of a two-channel capture with both cursors, the
// measurements and a zoomed range, in both languages, and its exported plot, for looking at.
void ScopeEndToEndTest::screenshots() {
    QString shots = qEnvironmentVariable("TARVO_SCOPE_SHOTS");
    if (shots.isEmpty()) {
        QSKIP("TARVO_SCOPE_SHOTS names no folder");
    }
    ResourceSet chinese(ResourceSet::Language::Chinese);
    for (const ResourceSet* resources : {english_.get(), &chinese}) {
        Open({}, resources);
        if (QTest::currentTestFailed()) {
            return;
        }
        DriverOscilloModel& model = view_->model();
        auto settle = [&] { QTRY_VERIFY_WITH_TIMEOUT(!rig_->state.link.IsBusy(), kLong); };
        const uint32_t keys[2] = {0x606C00, 0x607800};
        for (int channel = 1; channel <= 2; ++channel) {
            model.BeginPick(channel);
            model.onMessage(WM_OBJECT_PICKED, 0, keys[channel - 1]);
            settle();  // the link sends the newest request first: let the pick's write go
            model.ClickChannel(channel, true);
            settle();
        }
        model.EnterPeriod("3");
        model.EnterTotal("400");
        settle();
        model.StartOrCancel();
        QTRY_VERIFY_WITH_TIMEOUT(!model.run().Busy(), 3 * kLong);
        rig_->frame->Views().Frame(ViewKind::kDriverOscillo)->showMaximized();
        QVERIFY(model.Zoom(150, 700));
        view_->Control<QRadioButton>(1264)->click();
        view_->Control<QSlider>(1260)->setValue(180);
        view_->Control<QSlider>(1261)->setValue(620);
        view_->Control<QComboBox>(1180)->setCurrentIndex(0);
        QMetaObject::invokeMethod(view_->Control<QComboBox>(1180), "activated", Q_ARG(int, 0));
        view_->plotView().Flush();
        QTest::qWait(200);
        QString language = resources == english_.get() ? "en" : "zh";
        QVERIFY(view_->window()->grab().save(shots + "/scope-" + language + ".png"));
        QVERIFY(view_->ExportTo(shots + "/plot-" + language + ".png"));
        cleanup();
    }
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::ScopeEndToEndTest)
#include "ScopeEndToEndTest.moc"
