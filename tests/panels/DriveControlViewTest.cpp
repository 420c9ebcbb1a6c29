#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "panels/drivecontrol/views/DriveControlView.h"
#include "protocol/DriveObjects.h"
#include "resources/ResourceSet.h"
#include "tests/panels/IoPanelTestLink.h"

namespace tarvo::test {

using DeviceControl::Transition;

// The Drive Control view over a recording link: which buttons a state enables, hold-to-run
// jog with the mouse, and what a fault during a move leaves on screen.
class DriveControlViewTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void buttonsFollowTheState();
    void jogRunsWhileTheButtonIsHeld();
    void hidingTheViewStopsTheJog();
    void faultDuringAMoveIsShownAndOffersTheReset();

private:
    void Status(DriveControlView& view, uint16_t word) {
        view.onMessage(WM_LINK_VALUE, word, DriveObject::kStatusWord);
    }
    // Acknowledges every write sent, as the drive does, until nothing more is sent.
    std::vector<IoRequest> AckAll(DriveControlView& view) {
        std::vector<IoRequest> all;
        for (std::vector<IoRequest> sent = link_.Take(); !sent.empty(); sent = link_.Take()) {
            for (const IoRequest& request : sent) {
                all.push_back(request);
                if (request.command != SdoCommand::Read) {
                    view.onMessage(WM_LINK_VALUE, request.data, request.key);
                }
            }
        }
        return all;
    }
    static bool Wrote(const std::vector<IoRequest>& requests, uint32_t key, uint32_t value) {
        for (const IoRequest& request : requests) {
            if (request.command != SdoCommand::Read && request.key == key &&
                request.data == value) {
                return true;
            }
        }
        return false;
    }
    static bool AnyWrite(const std::vector<IoRequest>& requests) {
        for (const IoRequest& request : requests) {
            if (request.command != SdoCommand::Read) {
                return true;
            }
        }
        return false;
    }

    IoPanelTestLink link_;
};

void DriveControlViewTest::init() {
    link_.requests.clear();
    link_.connectionState = ConnectionState::Open;
}

void DriveControlViewTest::buttonsFollowTheState() {
    ResourceSet resources(ResourceSet::Language::Chinese);
    DriveControlView view({link_.Link(), resources});
    view.show();
    QVERIFY(!AnyWrite(link_.Take()));
    // Nothing read yet: only the quick stop.
    QVERIFY(view.TransitionButton(Transition::QuickStop)->isEnabled());
    QVERIFY(!view.TransitionButton(Transition::Shutdown)->isEnabled());
    QVERIFY(!view.JogButton(true)->isEnabled());

    struct Row {
        uint16_t word;
        const char* enabled;  // Shutdown ... Fault reset, as the transitions are numbered
        bool motion;
    };
    const Row rows[] = {
        {0x0250, "1000010", false}, {0x0231, "0100110", false}, {0x0233, "1010110", false},
        {0x0637, "1001110", true},  {0x0217, "0010110", false}, {0x0218, "0000011", false},
    };
    for (const Row& row : rows) {
        Status(view, row.word);
        for (int t = 0; t < DeviceControl::kTransitionCount; ++t) {
            QCOMPARE(view.TransitionButton(static_cast<Transition>(t))->isEnabled(),
                     row.enabled[t] == '1');
        }
        QCOMPARE(view.JogButton(false)->isEnabled(), row.motion);
        QCOMPARE(view.StartButton()->isEnabled(), row.motion);
        QVERIFY(!view.StopButton()->isEnabled());
        QVERIFY(!view.StateLabel()->text().isEmpty());
    }
    Status(view, 0x0637);
    QVERIFY(view.JogButton(true)->toolTip().isEmpty());
    Status(view, 0x0233);
    QVERIFY2(!view.JogButton(true)->toolTip().isEmpty(), "a disabled jog says why");

    view.TransitionButton(Transition::EnableOperation)->click();
    std::vector<IoRequest> sent = link_.Take();
    QVERIFY(Wrote(sent, DriveObject::kControlWord, 0x000F));
    link_.connectionState = ConnectionState::Closed;
    view.onMessage(WM_LINK_STATE, ToWParam(WindowState::ConnectionChanged), 0);
    for (int t = 0; t < DeviceControl::kTransitionCount; ++t) {
        QVERIFY(!view.TransitionButton(static_cast<Transition>(t))->isEnabled());
    }
    QVERIFY(!view.ModeChoice()->isEnabled());
    QVERIFY(!AnyWrite(link_.Take()));
}

void DriveControlViewTest::jogRunsWhileTheButtonIsHeld() {
    ResourceSet resources(ResourceSet::Language::Chinese);
    DriveControlView view({link_.Link(), resources});
    view.show();
    view.onMessage(WM_LINK_VALUE, 3, DriveObject::kModesOfOperationDisplay);
    Status(view, 0x0637);
    link_.Take();
    QTest::mousePress(view.JogButton(false), Qt::LeftButton);
    std::vector<IoRequest> sent = AckAll(view);
    // 60 raw units, negative: without a dictionary the raw value is typed.
    QVERIFY(Wrote(sent, DriveObject::kTargetVelocity, static_cast<uint32_t>(-60)));
    QVERIFY(Wrote(sent, DriveObject::kControlWord, 0x000F));
    QVERIFY2(view.JogButton(false)->isEnabled(), "held, it stays enabled for its release");
    QVERIFY(!view.StartButton()->isEnabled());
    QTest::mouseRelease(view.JogButton(false), Qt::LeftButton);
    sent = AckAll(view);
    QVERIFY(Wrote(sent, DriveObject::kTargetVelocity, 0));
    QCOMPARE(view.Model().motion(), DriveControlModel::Motion::None);
}

void DriveControlViewTest::hidingTheViewStopsTheJog() {
    ResourceSet resources(ResourceSet::Language::Chinese);
    DriveControlView view({link_.Link(), resources});
    view.show();
    view.onMessage(WM_LINK_VALUE, 3, DriveObject::kModesOfOperationDisplay);
    Status(view, 0x0637);
    QTest::mousePress(view.JogButton(true), Qt::LeftButton);
    AckAll(view);
    QCOMPARE(view.Model().motion(), DriveControlModel::Motion::Jogging);
    view.hide();
    QVERIFY(Wrote(AckAll(view), DriveObject::kTargetVelocity, 0));
    QCOMPARE(view.Model().motion(), DriveControlModel::Motion::None);
}

void DriveControlViewTest::faultDuringAMoveIsShownAndOffersTheReset() {
    ResourceSet resources(ResourceSet::Language::Chinese);
    DriveControlView view({link_.Link(), resources});
    view.show();
    view.onMessage(WM_LINK_VALUE, 1, DriveObject::kModesOfOperationDisplay);
    Status(view, 0x0637);
    view.StartButton()->click();
    std::vector<IoRequest> sent = AckAll(view);
    QVERIFY(Wrote(sent, DriveObject::kTargetPosition, 10000));
    QVERIFY(Wrote(sent, DriveObject::kControlWord, 0x007F));
    Status(view, 0x0237);
    QVERIFY(view.StopButton()->isEnabled());
    QVERIFY(view.NoticeLabel()->text().isEmpty());
    Status(view, 0x0218);
    view.onMessage(WM_LINK_VALUE, 0x2310, 0x603F00);
    QVERIFY(!view.NoticeLabel()->text().isEmpty());
    QVERIFY(!view.StopButton()->isEnabled());
    QVERIFY(!view.StartButton()->isEnabled());
    QVERIFY(view.TransitionButton(Transition::FaultReset)->isEnabled());
    QVERIFY2(!AnyWrite(link_.Take()), "nothing restarts");
    view.TransitionButton(Transition::FaultReset)->click();
    sent = AckAll(view);
    QVERIFY(Wrote(sent, DriveObject::kControlWord, 0x0080));
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::DriveControlViewTest)
#include "DriveControlViewTest.moc"
