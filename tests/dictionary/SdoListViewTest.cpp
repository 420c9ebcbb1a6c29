#include "dictionary/views/SdoListView.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "dictionary/FactsText.h"
#include "dictionary/ObjectDictionary.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"
#include "tests/dictionary/FakeLinkRequester.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {

namespace {

struct PickRecorder : MessageTarget {
    intptr_t onMessage(uint32_t message, uintptr_t, intptr_t lParam) override {
        if (message == WM_OBJECT_PICKED) {
            keys.push_back(static_cast<uint32_t>(lParam));
        }
        return 0;
    }
    std::vector<uint32_t> keys;
};

}  // namespace

class SdoListViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        std::string data;
        for (auto [index, name] :
             {std::pair{"6081", "Profile velocity"}, std::pair{"6040", "Control word"},
              std::pair{"607A", "Target position"}}) {
            test::RecordTexts t;
            t.index = index;
            t.nameEn = name;
            t.helpEn = "Line one\nLine two";
            data += test::Record(t);
        }
        QVERIFY(dictionary_.LoadFile(folder_.Write("tarvo.dat", data), 2, &box_));
    }

    void ColumnsAndHelpPane() {
        for (int dpi : {96, 120}) {
            SdoListView view({dictionary_, box_, resources_, dpi, {}});
            QTableView* list = view.List();
            QCOMPARE(list->model()->rowCount(), 3);
            QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QString("index"));
            QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), QString("sub"));
            QCOMPARE(list->model()->headerData(2, Qt::Horizontal).toString(), QString("name"));
            QCOMPARE(list->model()->index(2, 0).data().toString(), QString("607A"));
            QCOMPARE(list->model()->index(2, 1).data().toString(), QString("00"));
            QCOMPARE(list->columnWidth(0), dpi == 96 ? 60 : 80);
            QCOMPARE(list->columnWidth(1), dpi == 96 ? 40 : 60);
            QCOMPARE(list->columnWidth(2), 300);
            QVERIFY(!(list->model()->flags(list->model()->index(0, 2)) & Qt::ItemIsEditable));
            // Row 0's help at creation, without the CR of its line ends.
            QVERIFY(view.HelpPane()->toPlainText().contains("Name: Profile velocity"));
            QVERIFY(view.HelpPane()->toPlainText().contains("Line one\nLine two"));
            QVERIFY(!view.HelpPane()->toPlainText().contains('\r'));

            list->setCurrentIndex(list->model()->index(1, 0));
            QVERIFY(view.HelpPane()->toPlainText().contains("Name: Control word"));
        }
    }

    void FindNextSelectsTheRow() {
        SdoListView view({dictionary_, box_, resources_, 96, {}});
        auto* search = view.findChild<QLineEdit*>("control1207");
        auto* button = view.findChild<QPushButton*>("control1208");
        QVERIFY(search && button);
        search->setText("TARGET");
        button->click();
        QCOMPARE(view.List()->currentIndex().row(), 2);
        QVERIFY(view.HelpPane()->toPlainText().contains("Name: Target position"));
        search->setText("nowhere");
        button->click();
        QCOMPARE(view.List()->currentIndex().row(), 2);
        QCOMPARE(box_.texts.back(), std::string("Not Found!!"));
    }

    void DoubleClickPicksOnceAndClosesTheFrame() {
        QMdiArea area;
        PickRecorder panel;
        MessageTarget* waiting = &panel;
        auto take = [&waiting] { return std::exchange(waiting, nullptr); };
        auto* view = new SdoListView({dictionary_, box_, resources_, 96, take});
        QMdiSubWindow* frame = area.addSubWindow(view);
        area.show();
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));

        QTableView* list = view->List();
        QRect cell = list->visualRect(list->model()->index(1, 2));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(panel.keys, std::vector<uint32_t>{0x604000});
        QVERIFY(frame->isHidden() || !area.subWindowList().contains(frame));

        // A browser shown from the menu has nobody waiting: a pick goes nowhere.
        view->PickRow(0);
        QCOMPARE(panel.keys.size(), size_t{1});
        // Closing the frame without a pick lets the request lapse.
        waiting = &panel;
        view->onMessage(WM_LINK_STATE, 1, 0);
        QVERIFY(waiting == nullptr);
    }

    // The value column reads the selected entry only, names its code, looks stale once
    // another entry is read or the link is lost, and the help pane tells the facts.
    void ValueColumnAndFacts() {
        test::TempFolder folder;
        folder.Write("tarvo.facts.json", R"({"tarvoFacts": 1, "entries": [
            {"entry": "6060:00", "min": -7, "max": 10, "default": 1,
             "values": [{"value": 1, "en": "Profile position"}, {"value": 3, "en": "Profile velocity"}]}]})");
        test::RecordTexts mode;
        mode.index = "6060";
        mode.nameEn = "Mode";
        mode.dataType = "INTEGER8";
        test::RecordTexts name;
        name.index = "1008";
        name.nameEn = "Device name";
        name.dataType = "VISIBLE STRING";
        test::RecordTexts word;  // the control word, UNSIGNED16
        ObjectDictionary dictionary;
        QVERIFY(dictionary.LoadFile(
            folder.Write("tarvo.dat", test::Record(mode) + test::Record(name) + test::Record(word)),
            2, &box_));
        test::FakeLinkRequester link;
        bool connected = true;
        bool mark = true;
        FactsText texts;
        SdoListView::Context context{dictionary, box_, resources_, 96, {}};
        context.link = &link;
        context.connected = [&connected] { return connected; };
        context.factsText = &texts;
        context.markDefaults = &mark;
        SdoListView view(std::move(context));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto rowOf = [&view](uint32_t key) {
            for (int row = 0; row < view.Model().RowCount(); ++row) {
                if (view.Model().RowAt(row).key == key) {
                    return row;
                }
            }
            return -1;
        };
        QAbstractItemModel* table = view.List()->model();
        const int modeRow = rowOf(0x606000);
        const int nameRow = rowOf(0x100800);
        const int wordRow = rowOf(0x604000);
        QCOMPARE(table->headerData(3, Qt::Horizontal).toString(), QString("Value"));
        QModelIndex value = table->index(modeRow, 3);

        view.List()->setCurrentIndex(table->index(modeRow, 0));
        QCOMPARE(link.requests.back(), (test::SentRequest{&view, SdoCommand::Read, 0x606000, 0}));
        QVERIFY(view.HelpPane()->toPlainText().contains(
            "\n\nRange: -7 to 10\nFactory default: 1 - Profile position\nValues:\n"
            "  1 - Profile position\n  3 - Profile velocity"));
        view.onMessage(WM_LINK_VALUE, 3, 0x606000);
        QCOMPARE(value.data().toString(), QString("3 - Profile velocity"));
        QVERIFY(!value.data(Qt::ForegroundRole).isValid());
        QVERIFY(value.data(Qt::BackgroundRole).isValid());
        QVERIFY(value.data(Qt::ToolTipRole)
                    .toString()
                    .contains("Differs from the factory default (1 - Profile position)"));
        mark = false;
        QVERIFY(!value.data(Qt::BackgroundRole).isValid());

        // A text entry is not read; another entry's read makes the value shown stale.
        link.requests.clear();
        view.List()->setCurrentIndex(table->index(nameRow, 0));
        QVERIFY(link.requests.empty());
        view.List()->setCurrentIndex(table->index(wordRow, 0));
        QCOMPARE(link.requests.size(), size_t{1});
        QVERIFY(value.data(Qt::ForegroundRole).isValid());
        QVERIFY(value.data(Qt::ToolTipRole).toString().contains("Read earlier"));
        view.onMessage(WM_LINK_ABORT, 0, 0x604000);
        QCOMPARE(table->index(wordRow, 3).data().toString(), QString("????"));

        // Once disconnected nothing is read and nothing looks fresh.
        view.onMessage(WM_LINK_VALUE, 1, 0x606000);
        QVERIFY(!value.data(Qt::ForegroundRole).isValid());
        view.onMessage(WM_LINK_STATE, static_cast<uintptr_t>(WindowState::LinkLost), 0);
        QVERIFY(value.data(Qt::ForegroundRole).isValid());
        connected = false;
        link.requests.clear();
        view.List()->setCurrentIndex(table->index(modeRow, 0));
        view.ReadSelected();
        QVERIFY(link.requests.empty());
    }

private:
    test::TempFolder folder_;
    RecordingMessageBox box_;
    ObjectDictionary dictionary_;
    ResourceSet resources_{ResourceSet::Language::Chinese};
};

}  // namespace tarvo

QTEST_MAIN(tarvo::SdoListViewTest)
#include "SdoListViewTest.moc"
