#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QtTest>

#include "panels/PanelFamily.h"
#include "panels/views/EditListView.h"
#include "panels/views/ParameterPanelView.h"
#include "panels/views/ParameterTableModel.h"
#include "resources/ResourceSet.h"
#include "tests/panels/PanelRig.h"

namespace tarvo::test {

// The editing rules of a panel's list as the user meets them: clicks, Enter, Esc, arrow and
// digit keys, the unit drop-down and the fixed columns.
class EditListViewTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void clickOpensTheEditorOnWritableValuesOnly();
    void onlyEnterWritesAndEscRestores();
    void enterHeldAfterACommitReopensTheEditor();
    void unitDropDown();
    void digitsAndArrows();
    void columnsAreFixedAndCellsScrollIntoView();
    void contextMenu();
    void tabMovesToTheNextRowsValueWithoutWriting();
    void tooltipShowsTheEntrysHelp();

private:
    QRect Cell(int row, int column) const {
        return view_->List().visualRect(view_->Table().index(row, column));
    }
    void Click(int row, int column) {
        QTest::mouseClick(view_->List().viewport(), Qt::LeftButton, {}, Cell(row, column).center());
    }
    QString Text(int row, int column) const {
        return QString::fromStdString(view_->Panel().List().Text(row, column));
    }
    template <typename T>
    T* Editor() const {
        return qobject_cast<T*>(view_->List().OpenEditor());
    }
    void Shown(uint32_t key, uint32_t raw) { view_->Panel().onMessage(WM_LINK_VALUE, raw, key); }

    std::unique_ptr<ResourceSet> resources_;
    std::unique_ptr<PanelRig> rig_;
    std::unique_ptr<ParameterPanelView> view_;
};

void EditListViewTest::init() {
    resources_ = std::make_unique<ResourceSet>(ResourceSet::Language::Chinese);
    rig_ = std::make_unique<PanelRig>();
    rig_->Definition("BasicOperate", "num=3\r\n1=606000\r\n2=606400\r\n3=608100\r\n");
    ParameterPanelView::Setup setup{
        rig_->Services(),         nullptr, *resources_, 96, {"name", "data", "unit"},
        {257, 115, 105, 244, 48}, nullptr};
    view_ = std::make_unique<ParameterPanelView>(*PanelFamily::ByCommand(1227), std::move(setup));
    view_->resize(587, 331);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    Shown(PanelRig::kMode, 3);
    Shown(PanelRig::kPosition, 1000);
    Shown(PanelRig::kVelocity, 512);
    view_->Table().FlushChanges();
    rig_->link.requests.clear();
}

void EditListViewTest::cleanup() {
    view_.reset();
    rig_.reset();
}

void EditListViewTest::clickOpensTheEditorOnWritableValuesOnly() {
    Click(1, ParameterRows::kValueColumn);  // read-only row
    QVERIFY(!view_->List().IsEditing());
    Click(1, ParameterRows::kNameColumn);
    QVERIFY(!view_->List().IsEditing());
    Click(0, ParameterRows::kValueColumn);
    auto* edit = Editor<QLineEdit>();
    QVERIFY(edit != nullptr);
    QCOMPARE(edit->selectedText(), QStringLiteral("3"));
    // A click below the last row changes nothing and ends the edit without writing.
    QTest::keyClicks(edit, "5");
    QTest::mouseClick(view_->List().viewport(), Qt::LeftButton, {},
                      QPoint(10, view_->List().viewport()->height() - 3));
    QTRY_VERIFY(!view_->List().IsEditing());
    QCOMPARE(Text(0, ParameterRows::kValueColumn), QStringLiteral("5"));
    QVERIFY(rig_->link.requests.empty());
}

void EditListViewTest::onlyEnterWritesAndEscRestores() {
    Click(0, ParameterRows::kValueColumn);
    QTest::keyClicks(Editor<QLineEdit>(), "-2");
    QTest::keyClick(Editor<QLineEdit>(), Qt::Key_Return);
    QTRY_VERIFY(!view_->List().IsEditing());
    QCOMPARE(rig_->link.requests.size(), size_t(1));
    QCOMPARE(rig_->link.requests.back().command, SdoCommand::Write8);
    QCOMPARE(rig_->link.requests.back().data, 0xFFFFFFFEu);
    QVERIFY(view_->Panel().List().IsSelected(0) && view_->Panel().List().IsFocused(0));

    Click(2, ParameterRows::kValueColumn);
    QTest::keyClicks(Editor<QLineEdit>(), "99");
    QTest::keyClick(Editor<QLineEdit>(), Qt::Key_Escape);
    QTRY_VERIFY(!view_->List().IsEditing());
    QCOMPARE(Text(2, ParameterRows::kValueColumn), QStringLiteral("60.000"));

    // Typed text left by a click on another row is not written.
    Click(2, ParameterRows::kValueColumn);
    QTest::keyClicks(Editor<QLineEdit>(), "120");
    Shown(PanelRig::kVelocity, 1024);  // a live value meanwhile leaves the typing alone
    view_->Table().FlushChanges();
    QCOMPARE(Editor<QLineEdit>()->text(), QStringLiteral("120"));
    Click(1, ParameterRows::kNameColumn);
    QTRY_VERIFY(!view_->List().IsEditing());
    QCOMPARE(Text(2, ParameterRows::kValueColumn), QStringLiteral("120"));
    QCOMPARE(rig_->link.requests.size(), size_t(1));
}

void EditListViewTest::enterHeldAfterACommitReopensTheEditor() {
    Click(0, ParameterRows::kValueColumn);
    QTest::keyClick(Editor<QLineEdit>(), Qt::Key_Return);
    QTRY_VERIFY(!view_->List().IsEditing());
    // The held Enter repeats: the first repeat waits, a later one opens the same row again.
    QTest::keyPress(&view_->List(), Qt::Key_Return, {}, -1);
    QVERIFY(!view_->List().IsEditing());
    QTRY_VERIFY_WITH_TIMEOUT(
        (QTest::keyPress(&view_->List(), Qt::Key_Return), view_->List().IsEditing()), 10000);
    QCOMPARE(view_->List().currentIndex().row(), 0);
    QCOMPARE(view_->List().currentIndex().column(), int(ParameterRows::kValueColumn));
}

void EditListViewTest::unitDropDown() {
    Click(2, ParameterRows::kUnitColumn);
    auto* combo = Editor<QComboBox>();
    QVERIFY(combo != nullptr);
    QStringList choices;
    for (int i = 0; i < combo->count(); ++i) {
        choices << combo->itemText(i);
    }
    QCOMPARE(choices, (QStringList{"rpm", "rpm", "DEC", "DEC"}));
    QCOMPARE(combo->currentText(), QStringLiteral("rpm"));
    combo->hidePopup();
    emit combo->activated(0);  // the unit already shown: nothing
    QTRY_VERIFY(!view_->List().IsEditing());
    QVERIFY(rig_->link.requests.empty());

    Click(2, ParameterRows::kUnitColumn);
    combo = Editor<QComboBox>();
    combo->hidePopup();
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    QTRY_VERIFY(!view_->List().IsEditing());
    QCOMPARE(Text(2, ParameterRows::kUnitColumn), QStringLiteral("DEC"));
    QCOMPARE(rig_->link.requests.back(),
             (SentRequest{&view_->Panel(), SdoCommand::Read, PanelRig::kVelocity, 0}));
    Shown(PanelRig::kVelocity, 512);
    QCOMPARE(Text(2, ParameterRows::kValueColumn), QStringLiteral("512"));

    // A row without units offers only "DEC".
    Click(0, ParameterRows::kUnitColumn);
    QCOMPARE(Editor<QComboBox>()->count(), 1);
    QCOMPARE(Editor<QComboBox>()->itemText(0), QStringLiteral("DEC"));
}

void EditListViewTest::digitsAndArrows() {
    EditListView& list = view_->List();
    list.setFocus();
    list.setCurrentIndex(view_->Table().index(0, ParameterRows::kNameColumn));
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.currentIndex().row(), 1);
    QCOMPARE(view_->Rules().CurrentRow(), 1);
    QTest::keyClick(&list, Qt::Key_3);  // swallowed: no search for row "3"
    QCOMPARE(list.currentIndex().row(), 1);
    Click(1, ParameterRows::kLabelColumn);
    QTest::keyClick(&list, Qt::Key_3);
    QCOMPARE(list.currentIndex().row(), 2);
}

void EditListViewTest::columnsAreFixedAndCellsScrollIntoView() {
    EditListView& list = view_->List();
    QHeaderView* header = list.horizontalHeader();
    for (int column = 0; column < ParameterRows::kColumnCount; ++column) {
        QCOMPARE(header->sectionResizeMode(column), QHeaderView::Fixed);
    }
    QVERIFY(list.isColumnHidden(1) && list.isColumnHidden(3) && list.isColumnHidden(5));
    QCOMPARE(list.columnWidth(ParameterRows::kNameColumn), 257);

    // A narrow window: the value cell lies partly right of the view until it is opened.
    view_->resize(340, 331);
    QTRY_VERIFY(Cell(0, ParameterRows::kValueColumn).right() > list.viewport()->width());
    list.setCurrentIndex(view_->Table().index(0, ParameterRows::kNameColumn));
    QVERIFY(list.OpenCell(0, ParameterRows::kValueColumn));
    QRect cell = Cell(0, ParameterRows::kValueColumn);
    QVERIFY(cell.left() >= 0 && cell.right() < list.viewport()->width());
}

void EditListViewTest::contextMenu() {
    auto enabled = [this] {
        QStringList on;
        for (QAction* action : view_->ContextActions()) {
            on << (action->isEnabled() ? "on" : "off");
        }
        return on;
    };
    QCOMPARE(enabled(), (QStringList{"on", "off", "off"}));
    Click(1, ParameterRows::kNameColumn);
    QCOMPARE(enabled(), (QStringList{"on", "on", "on"}));
    view_->ContextActions()[1]->trigger();  // del
    QCOMPARE(view_->Panel().List().RowCount(), 2);
    QCOMPARE(Text(1, ParameterRows::kLabelColumn), QStringLiteral("2"));
}

// Tab ends the value edit without writing and opens the next writable row's value, never
// the unit drop-down beside it; Shift+Tab goes back; past the last row the edit just ends.
void EditListViewTest::tabMovesToTheNextRowsValueWithoutWriting() {
    Click(0, ParameterRows::kValueColumn);
    QTest::keyClicks(Editor<QLineEdit>(), "7");
    QTest::keyClick(Editor<QLineEdit>(), Qt::Key_Tab);
    QTRY_COMPARE(view_->List().currentIndex().row(), 2);  // row 1 is read-only
    QVERIFY(view_->List().IsEditing());
    QCOMPARE(view_->List().currentIndex().column(), int(ParameterRows::kValueColumn));
    QVERIFY(Editor<QComboBox>() == nullptr);
    QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr);
    // Left in the cell unwritten, as by a click elsewhere; the next read replaces it.
    QCOMPARE(Text(0, ParameterRows::kValueColumn), QStringLiteral("7"));
    QVERIFY(rig_->link.requests.empty());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE(view_->List().currentIndex().row(), 0);
    QVERIFY(view_->List().IsEditing());

    Click(2, ParameterRows::kValueColumn);
    QTRY_COMPARE(view_->List().currentIndex().row(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_VERIFY(!view_->List().IsEditing());
    QCOMPARE(view_->List().currentIndex().row(), 2);
    QVERIFY(rig_->link.requests.empty());
}

void EditListViewTest::tooltipShowsTheEntrysHelp() {
    auto tip = [this](int row, int column) {
        return view_->Table().index(row, column).data(Qt::ToolTipRole).toString();
    };
    QCOMPARE(tip(0, ParameterRows::kNameColumn), QString(PanelRig::kModeHelp));
    QCOMPARE(tip(0, ParameterRows::kValueColumn), QString(PanelRig::kModeHelp));
    // Without help the cell's own text, for texts wider than the column.
    QCOMPARE(tip(2, ParameterRows::kNameColumn), QStringLiteral("Profile velocity"));
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::EditListViewTest)
#include "EditListViewTest.moc"
