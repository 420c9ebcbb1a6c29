#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "resources/ResourceSet.h"
#include "tests/transfer/TransferRig.h"
#include "transfer/views/ExportDrvDataView.h"
#include "transfer/views/ImportDrvDataView.h"

namespace tarvo {

// The views over their models: list contents and colours, statuses, buttons, progress.
class TransferViewsTest : public QObject {
    Q_OBJECT
private:
    test::TransferRig rig;
    ResourceSet resources{ResourceSet::Language::Chinese};
    TransferViewContext Context() {
        return {rig.link,  rig.switches, rig.box,          rig.dictionary,
                resources, nullptr,      rig.folder.Path()};
    }
    template <typename View>
    void Answer(View& view, uint32_t value, bool abort = false) {
        view.onMessage(abort ? WM_LINK_ABORT : WM_LINK_VALUE, value,
                       rig.link.requests.back().address);
    }

private slots:
    void exportShowsRowsColoursAndProgress() {
        ExportDrvDataView view(Context());
        std::string list = rig.folder.Write("list.cdo", "60400010\r\n30000110\r\n60810020\r\n");
        view.SetFileChooser([&list](const FileDialogRequest& r) {
            return r.save ? QString() : QString::fromStdString(list);
        });
        view.OpenFile();
        auto* tree = view.findChild<QTreeWidget*>();
        auto* bar = view.findChild<QProgressBar*>();
        QVERIFY(tree && bar);
        QCOMPARE(tree->topLevelItemCount(), 3);
        QCOMPARE(tree->topLevelItem(1)->text(4), QStringLiteral("? ? ? ?"));
        view.Model().Read();
        Answer(view, 15);
        QCOMPARE(bar->value(), 1);
        QCOMPARE(bar->maximum(), 3);
        Answer(view, 0x06020000, true);
        Answer(view, 7);
        QCOMPARE(tree->topLevelItem(1)->text(3), QStringLiteral("Fail"));
        QCOMPARE(tree->topLevelItem(1)->foreground(0).color(), TransferList::kFailColour);
        QVERIFY(tree->topLevelItem(0)->foreground(0).color() != TransferList::kFailColour);
        QCOMPARE(bar->value(), 3);
        bool found = false;
        for (auto* label : view.findChildren<QLabel*>()) {
            found = found || label->text() == QStringLiteral("Finish: Total:3  Error:1 ");
        }
        QVERIFY(found);
    }

    void importColoursAlarmsAndFailures() {
        ImportDrvDataView view(Context());
        std::string file =
            rig.folder.Write("p.cdi", "60400010,1,True\r\n60810020,5,True\r\n607A0020,2,True\r\n");
        view.SetFileChooser(
            [&file](const FileDialogRequest&) { return QString::fromStdString(file); });
        view.OpenFile();
        auto* tree = view.findChild<QTreeWidget*>();
        QCOMPARE(tree->topLevelItemCount(), 3);
        view.Model().Write();
        Answer(view, 1);
        Answer(view, 0);  // read back 0: Alarm
        Answer(view, 0x06010002, true);
        Answer(view, 2);
        Answer(view, 2);
        QCOMPARE(tree->topLevelItem(0)->foreground(0).color(), TransferList::kAlarmColour);
        QCOMPARE(tree->topLevelItem(1)->foreground(0).color(), TransferList::kFailColour);
        QCOMPARE(tree->topLevelItem(2)->text(4), QStringLiteral("True"));
        QCOMPARE(view.findChild<QProgressBar*>()->value(), 3);
        const char* finish =
            "Finish: Total:3  Alarm:1  Error:1 - check red and yellow rows, then "
            "Write again";
        QVERIFY(HasLabel(view, finish));

        // Another file: the previous results go; its unreadable lines are counted and named.
        file = rig.folder.Write("bad.cdi", "garbage\r\n60400010,1,True\r\n\r\n" +
                                               std::string(300, 'x') +
                                               "\r\n;;\r\n1\r\n2\r\n3\r\n4\r\n");
        view.OpenFile();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QVERIFY(!HasLabel(view, finish));
        QVERIFY(
            HasLabel(view, "Import data finished. 7 lines could not be read: 1, 4, 5, 6, 7 ..."));
    }

    void importComparesListsDifferencesAndSaysWhyItCannot() {
        ImportDrvDataView view(Context());
        QVERIFY(view.Compare() == nullptr);
        QCOMPARE(QString::fromStdString(rig.box.texts.back()), resources.String(1785));
        std::string file =
            rig.folder.Write("c.cdi", "60400010,1,True\r\n60810020,5,True\r\n607A0020,2,True\r\n");
        view.SetFileChooser(
            [&file](const FileDialogRequest&) { return QString::fromStdString(file); });
        view.OpenFile();
        rig.switches.connectionState = ConnectionState::Closed;
        size_t sent = rig.link.requests.size();
        QVERIFY(view.Compare() == nullptr);
        QCOMPARE(QString::fromStdString(rig.box.texts.back()), resources.String(1789));
        QCOMPARE(rig.link.requests.size(), sent);
        rig.switches.connectionState = ConnectionState::Open;

        CompareDrvDataDialog* compare = view.Compare();
        QVERIFY(compare != nullptr);
        QVERIFY(!compare->WriteButton()->isEnabled());
        Answer(view, 1);                 // equal
        Answer(view, 9);                 // differs
        Answer(view, 0x06020000, true);  // refused
        QVERIFY(!compare->Busy());
        QTreeWidget* list = compare->List();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("6081:00"));
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("5"));
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("9"));
        QCOMPARE(list->topLevelItem(1)->text(3),
                 resources.String(1783).arg(
                     "abort 0x06020000 (Object does not exist in the object dictionary)"));
        QCOMPARE(list->topLevelItem(1)->foreground(3).color(), TransferList::kFailColour);
        QCOMPARE(compare->Status()->text(), resources.String(1780).arg(2).arg(3));
        QVERIFY(compare->WriteButton()->isEnabled());

        // Writing: both listed rows, each read back; a cancel ends it and says so.
        sent = rig.link.requests.size();
        compare->WriteButton()->click();
        QCOMPARE(rig.link.requests.size(), sent + 1);
        QCOMPARE(rig.link.requests.back().address, 0x608100u);
        QVERIFY(!compare->WriteButton()->isEnabled());
        compare->reject();
        QVERIFY(!view.Model().Running());
        QCOMPARE(compare->Status()->text(), resources.String(1782));
    }

private:
    static bool HasLabel(QWidget& view, const char* text) {
        for (auto* label : view.findChildren<QLabel*>()) {
            if (label->text() == QString::fromUtf8(text)) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace tarvo

QTEST_MAIN(tarvo::TransferViewsTest)
#include "TransferViewsTest.moc"
