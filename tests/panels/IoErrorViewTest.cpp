#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "panels/ioerror/views/DataInOutView.h"
#include "panels/ioerror/views/FunctionListDialog.h"
#include "panels/ioerror/views/HintPopup.h"
#include "panels/ioerror/views/RealtimeErrorView.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"
#include "tests/panels/IoPanelTestLink.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {

// The hint box on an owner of its own, and the two panels over a recording link.
class IoErrorViewTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void hintShowsBelowOrAboveAndIsErased();
    void ioPanelShowsValuesAndWritesClicks();
    void chooserTicksAndSendsTheChoice();
    void errorPanelShowsNamesLampsAndBoxes();
    void panelsOpenWithMissingOrGarbageNameFiles();
    void ioLabelsFitInBothLanguagesAndAFaultOutputIsRed();

private:
    std::unique_ptr<TempFolder> folder_;
    IoPanelTestLink link_;
    RecordingMessageBox messageBox_;
};

void IoErrorViewTest::init() {
    folder_ = std::make_unique<TempFolder>();
    folder_->Write("sys/DataInOut.ini",
                   "[in]\r\nenBit01=Drive enable\r\nenBit02=Fault reset\r\nenBit03=Positive "
                   "limit\r\nenBit16=Jog positive\r\n[out]\r\nenBit01=Ready\r\n");
    folder_->Write("sys/RealTimeError.ini",
                   "[RealTimeError]\r\nenBit01=Internal Error\r\n"
                   "enBit32=Last One\r\n");
    link_.requests.clear();
    link_.connectionState = ConnectionState::Open;
    messageBox_.texts.clear();
}

void IoErrorViewTest::hintShowsBelowOrAboveAndIsErased() {
    QWidget owner;
    owner.resize(449, 526);
    auto* top = new QLineEdit(&owner);
    top->setGeometry(58, 46, 160, 24);
    auto* bottom = new QLineEdit(&owner);
    bottom->setGeometry(58, 480, 160, 24);
    auto* plain = new QLineEdit(&owner);
    plain->setGeometry(58, 200, 160, 24);
    owner.show();
    HintPopup hint(&owner);
    hint.AddHint(top, {"1.Drive enable", "2.Halt"}, QColor(250, 250, 210), Qt::black);
    hint.AddHint(bottom, {"1.Ready"}, QColor(250, 250, 210), Qt::black);
    hint.AddHint(plain, {}, Qt::white, Qt::black);

    hint.TrackMouse(QPoint(70, 50));
    QCOMPARE(hint.ShowingControl(), top);
    QVERIFY(hint.isVisible());
    // Sized for the narrow font of the drive tools; a wider one only widens the box.
    QCOMPARE(hint.geometry().topLeft(), QPoint(58, 70));
    QCOMPARE(hint.height(), 13 * 2 + 12);
    QVERIFY(hint.width() >= 6 * 14 + 10);
    hint.TrackMouse(QPoint(70, 490));
    QCOMPARE(hint.ShowingControl(), bottom);
    // Near the owner's bottom edge the box stands above the field.
    QCOMPARE(hint.geometry().topLeft(), QPoint(58, 480 - 25));
    QCOMPARE(hint.height(), 25);
    hint.TrackMouse(QPoint(70, 210));
    QVERIFY(hint.ShowingControl() == nullptr);  // an empty hint is never stored
    QVERIFY(!hint.isVisible());

    // Entering a control shows its hint; leaving it erases it.
    QEnterEvent enter(QPointF(5, 5), QPointF(63, 51), QPointF(63, 51));
    QApplication::sendEvent(top, &enter);
    QCOMPARE(hint.ShowingControl(), top);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(top, &leave);
    QVERIFY(!hint.isVisible());
    hint.TrackMouse(QPoint(70, 50));
    hint.RemoveHint(top);
    QVERIFY(!hint.isVisible());
    hint.TrackMouse(QPoint(70, 50));
    QVERIFY(hint.ShowingControl() == nullptr);
}

void IoErrorViewTest::ioPanelShowsValuesAndWritesClicks() {
    ResourceSet resources(ResourceSet::Language::Chinese);
    DataInOutView view({link_.Link(), resources, messageBox_, nullptr, nullptr, nullptr, nullptr,
                        folder_->Path(), false, 96});
    view.show();
    QCOMPARE(link_.monitors.size(), 3u);
    auto* din3 = qobject_cast<QLineEdit*>(view.Control(1037));
    QVERIFY(din3 != nullptr);
    QCOMPARE(din3->text(), QStringLiteral("NULL"));
    QCOMPARE(view.IconOf(1053), 207);

    view.onMessage(WM_LINK_VALUE, 0b101, 0x201005);
    QCOMPARE(din3->text(), QStringLiteral("Drive enable+Positive limit"));
    QCOMPARE(view.Hints().Lines(din3), (QStringList{"1.Drive enable", "2.Positive limit"}));
    view.onMessage(WM_LINK_VALUE, 0, 0x201005);
    QCOMPARE(din3->text(), QStringLiteral("NULL"));
    QVERIFY(view.Hints().Lines(din3).isEmpty());  // no functions: no hint

    view.onMessage(WM_LINK_VALUE, 0x04, 0x20100B);
    QCOMPARE(view.IconOf(1069), 211);
    QCOMPARE(view.IconOf(1068), 205);

    link_.requests.clear();
    qobject_cast<QPushButton*>(view.Control(1053))->click();  // DIN3 simulate
    QCOMPARE(view.IconOf(1053), 206);
    qobject_cast<QPushButton*>(view.Control(1053))->click();
    QCOMPARE(view.IconOf(1053), 207);
    QCOMPARE(link_.Take(), (std::vector<IoRequest>{{SdoCommand::Write16, 0x201002, 0x04},
                                                   {SdoCommand::Write16, 0x201002, 0x00}}));
}

void IoErrorViewTest::chooserTicksAndSendsTheChoice() {
    ResourceSet resources(ResourceSet::Language::Chinese);
    DataInOutView view({link_.Link(), resources, messageBox_, nullptr, nullptr, nullptr, nullptr,
                        folder_->Path(), false, 96});
    view.onMessage(WM_LINK_VALUE, 0b10, 0x201003);
    link_.connectionState = ConnectionState::Closed;
    qobject_cast<QPushButton*>(view.Control(1043))->click();  // DIN1 "..."
    FunctionListDialog& chooser = view.Chooser(IoFunctionNames::Kind::kInput);
    QVERIFY(chooser.isVisible());
    QTreeWidget* list = chooser.List();
    QCOMPARE(list->topLevelItemCount(), 4);
    QCOMPARE(list->topLevelItem(3)->text(1), QStringLiteral("Bit16"));
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(list->topLevelItem(row)->checkState(0), Qt::Unchecked);
    }
    chooser.hide();
    link_.connectionState = ConnectionState::Open;
    view.OpenChooser(0);
    QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Checked);

    link_.requests.clear();
    chooser.SetTicked(3, true);  // bit 15 with bit 1: refused
    chooser.Accept();
    QCOMPARE(messageBox_.texts, (std::vector<std::string>{"Your setting is wrong!!"}));
    QVERIFY(chooser.isVisible());
    QVERIFY(link_.requests.empty());
    chooser.SetTicked(3, false);
    chooser.SetTicked(0, true);
    chooser.Accept();
    QVERIFY(!chooser.isVisible());
    QCOMPARE(link_.Take(), (std::vector<IoRequest>{{SdoCommand::Write32, 0x201003, 0x3}}));
}

void IoErrorViewTest::errorPanelShowsNamesLampsAndBoxes() {
    ResourceSet resources(ResourceSet::Language::Chinese);
    RealtimeErrorView view({link_.Link(), resources, messageBox_, folder_->Path(), false});
    QCOMPARE(qobject_cast<QLabel*>(view.Control(1301))->text(), QStringLiteral("Internal Error"));
    QCOMPARE(qobject_cast<QLabel*>(view.Control(1302))->text(), QString());
    QCOMPARE(qobject_cast<QLabel*>(view.Control(1332))->text(), QStringLiteral("Last One"));
    auto* box31 = qobject_cast<QCheckBox*>(view.Control(1382));
    auto* box0 = qobject_cast<QCheckBox*>(view.Control(1341));
    QVERIFY(box31->isChecked() && box0->isChecked());

    link_.requests.clear();
    box0->click();  // the low word is not known yet: nothing is written
    QVERIFY(link_.requests.empty());
    QVERIFY(!box0->isChecked());
    view.onMessage(WM_LINK_VALUE, 0x0011, 0x260001);
    // The waiting click goes out first, then the read sequence asks for the high word.
    QCOMPARE(link_.Take(), (std::vector<IoRequest>{{SdoCommand::Write16, 0x260001, 0x0010},
                                                   {SdoCommand::Read, 0x260002, 0}}));
    qobject_cast<QCheckBox*>(view.Control(1343))->click();
    QCOMPARE(link_.Take(), (std::vector<IoRequest>{{SdoCommand::Write16, 0x260001, 0x0015}}));
    view.onMessage(WM_LINK_VALUE, 0x8001, 0x260002);
    QVERIFY(box31->isChecked());
    QVERIFY(!qobject_cast<QCheckBox*>(view.Control(1358))->isChecked());
    view.onMessage(WM_LINK_VALUE, 0x0005, 0x260100);
    QCOMPARE(view.LampIcon(0), 210);
    QCOMPARE(view.LampIcon(1), 211);
    QCOMPARE(view.LampIcon(2), 210);
}

void IoErrorViewTest::panelsOpenWithMissingOrGarbageNameFiles() {
    ResourceSet resources(ResourceSet::Language::Chinese);
    for (bool garbage : {false, true}) {
        TempFolder folder;
        if (garbage) {
            static const char kGarbage[] =
                "\xff\xfe[in\x00\r\nenBit01\r\n=\x81\x30[RealTimeError]\n";
            std::string bytes(kGarbage, sizeof kGarbage - 1);
            folder.Write("sys/DataInOut.ini", bytes);
            folder.Write("sys/RealTimeError.ini", bytes);
        }
        DataInOutView io({link_.Link(), resources, messageBox_, nullptr, nullptr, nullptr, nullptr,
                          folder.Path(), true, 120});
        io.onMessage(WM_LINK_VALUE, 0xFFFFFFFF, 0x201003);
        QCOMPARE(qobject_cast<QLineEdit*>(io.Control(1035))->text(), QStringLiteral("NULL"));
        QCOMPARE(io.Chooser(IoFunctionNames::Kind::kInput).List()->topLevelItemCount(), 0);
        RealtimeErrorView errors({link_.Link(), resources, messageBox_, folder.Path(), true});
        QCOMPARE(qobject_cast<QLabel*>(errors.Control(1301))->text(), QString());
        // Each file is named once, with what is wrong with it.
        QTRY_COMPARE(messageBox_.texts.size(), size_t(2));
        QTest::qWait(50);
        QCOMPARE(messageBox_.texts.size(), size_t(2));
        const char* ioText =
            garbage ? "DataInOut.ini has no [in] section" : "DataInOut.ini: No such";
        const char* names = garbage ? "RealTimeError.ini has no [RealTimeError] section"
                                    : "RealTimeError.ini: No such";
        QVERIFY2(messageBox_.texts[0].find(ioText) != std::string::npos,
                 messageBox_.texts[0].c_str());
        QVERIFY2(messageBox_.texts[1].find(names) != std::string::npos,
                 messageBox_.texts[1].c_str());
        messageBox_.texts.clear();
    }
}

void IoErrorViewTest::ioLabelsFitInBothLanguagesAndAFaultOutputIsRed() {
    folder_->Write("sys/DataInOut.ini",
                   "[in]\r\nenBit01=Drive enable\r\n[out]\r\nenBit01=Ready\r\nenBit02=Fault\r\n");
    QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_STAGE "/data/EN.rcc")));
    for (auto language : {ResourceSet::Language::Chinese, ResourceSet::Language::English}) {
        ResourceSet resources(language);
        DataInOutView view({link_.Link(), resources, messageBox_, nullptr, nullptr, nullptr,
                            nullptr, folder_->Path(), language == ResourceSet::Language::Chinese,
                            96});
        view.show();
        for (int id : {1602, 1603, 1604, 1605, 1610, 1617, 1622, 1623, 1624, 1630, 1634}) {
            auto* label = qobject_cast<QLabel*>(view.Control(id));
            QVERIFY(label != nullptr);
            int needed = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(label->width() >= needed, qPrintable(label->text()));
            QVERIFY(label->geometry().left() >= 0);
        }
        // A port name ends where its field begins.
        QVERIFY(view.Control(1630)->geometry().right() < view.Control(1083)->geometry().left());

        view.onMessage(WM_LINK_VALUE, 0b10, 0x201011);  // DOUT2: Fault
        view.onMessage(WM_LINK_VALUE, 0b01, 0x201010);  // DOUT1: Ready
        view.onMessage(WM_LINK_VALUE, 0b11, 0x201018);  // both on
        QCOMPARE(view.IconOf(1115), 211);
        QCOMPARE(view.IconOf(1116), 210);
        view.onMessage(WM_LINK_VALUE, 0b01, 0x201018);
        QCOMPARE(view.IconOf(1116), 205);
    }
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::IoErrorViewTest)
#include "IoErrorViewTest.moc"
