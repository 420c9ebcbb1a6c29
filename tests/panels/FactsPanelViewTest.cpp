#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include "panels/PanelFamily.h"
#include "panels/views/EditListView.h"
#include "panels/views/ParameterPanelView.h"
#include "panels/views/ParameterTableModel.h"
#include "resources/ResourceSet.h"
#include "tests/panels/PanelRig.h"

namespace tarvo::test {

namespace {
const char* kFacts = R"({"tarvoFacts": 1, "entries": [
  {"entry": "6060:00", "min": -7, "max": 10, "default": 1,
   "values": [{"value": -1, "en": "Pulse mode"}, {"value": 1, "en": "Profile position"},
              {"value": 3, "en": "Profile velocity"}]},
  {"entry": "6041:00", "bits": [{"bit": 0, "en": "Ready to switch on"}, {"bit": 3, "en": "Fault"}]},
  {"entry": "6081:00", "min": 0, "max": 409600, "default": 5120}
]})";
}  // namespace

// What a panel makes of the dictionary's facts: names for codes, a drop-down of them, the
// set bits' names, range refusals and the mark of values not at their factory default.
class FactsPanelViewTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void namedCodesShowTheirNamesButEditAndStoreTheCode();
    void theDropDownWritesTheCodeAndOutOfRangeIsRefused();
    void valuesNotAtTheirDefaultAreMarkedUntilSwitchedOff();

private:
    QModelIndex Value(int row) const {
        return view_->Table().index(row, ParameterRows::kValueColumn);
    }
    void Click(int row, int column) {
        QRect cell = view_->List().visualRect(view_->Table().index(row, column));
        QTest::mouseClick(view_->List().viewport(), Qt::LeftButton, {}, cell.center());
    }
    void Shown(uint32_t key, uint32_t raw) {
        view_->Panel().onMessage(WM_LINK_VALUE, raw, key);
        view_->Table().FlushChanges();
    }

    bool markDefaults_ = true;
    std::unique_ptr<ResourceSet> resources_;
    std::unique_ptr<PanelRig> rig_;
    std::unique_ptr<ParameterPanelView> view_;
};

void FactsPanelViewTest::init() {
    resources_ = std::make_unique<ResourceSet>(ResourceSet::Language::Chinese);
    rig_ = std::make_unique<PanelRig>(kFacts);
    QVERIFY2(rig_->dictionary.FactsOf(PanelRig::kMode) != nullptr,
             rig_->dictionary.FactsProblem().c_str());
    rig_->Definition("BasicOperate", "num=3\r\n1=606000\r\n2=604100\r\n3=608100\r\n");
    ParameterPanelView::Setup setup{
        rig_->Services(),        nullptr, *resources_, 96, {"name", "data", "unit"},
        {257, 115, 105, 244, 48}};
    markDefaults_ = true;
    setup.markDefaults = &markDefaults_;
    view_ = std::make_unique<ParameterPanelView>(*PanelFamily::ByCommand(1227), std::move(setup));
    view_->resize(587, 331);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    Shown(PanelRig::kMode, 3);
    Shown(PanelRig::kStatus, 0x0009);
    Shown(PanelRig::kVelocity, 5120);
    rig_->link.requests.clear();
}

void FactsPanelViewTest::cleanup() {
    view_.reset();
    rig_.reset();
}

void FactsPanelViewTest::namedCodesShowTheirNamesButEditAndStoreTheCode() {
    QCOMPARE(Value(0).data(Qt::DisplayRole).toString(), QStringLiteral("3 - Profile velocity"));
    QCOMPARE(Value(0).data(Qt::EditRole).toString(), QStringLiteral("3"));
    // The list keeps the bare code: project saves and writes read it back.
    QCOMPARE(view_->Panel().List().Text(0, ParameterRows::kValueColumn), std::string("3"));
    Shown(PanelRig::kMode, static_cast<uint32_t>(-1));
    QCOMPARE(Value(0).data(Qt::DisplayRole).toString(), QStringLiteral("-1 - Pulse mode"));
    Shown(PanelRig::kMode, 5);  // a code without a name
    QCOMPARE(Value(0).data(Qt::DisplayRole).toString(), QStringLiteral("5"));

    // The status word's tooltip names its set bits, the unnamed one by number.
    Shown(PanelRig::kStatus, 0x0109);
    QString tip = Value(1).data(Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains("Ready to switch on\nFault\nbit 8"), qPrintable(tip));
    QCOMPARE(Value(1).data(Qt::DisplayRole).toString(), QStringLiteral("265"));
}

void FactsPanelViewTest::theDropDownWritesTheCodeAndOutOfRangeIsRefused() {
    Click(0, ParameterRows::kValueColumn);
    auto* combo = qobject_cast<QComboBox*>(view_->List().OpenEditor());
    QVERIFY(combo != nullptr);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(1), QStringLiteral("1 - Profile position"));
    QCOMPARE(combo->currentText(), QStringLiteral("3"));
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    QTRY_VERIFY(!view_->List().IsEditing());
    QCOMPARE(rig_->link.requests.size(), size_t(1));
    QCOMPARE(rig_->link.requests.back(),
             (SentRequest{&view_->Panel(), SdoCommand::Write8, PanelRig::kMode, 0xFFFFFFFFu}));
    // The list holds the code the name stands for, not the name.
    QCOMPARE(view_->Panel().List().Text(0, ParameterRows::kValueColumn), std::string("-1"));

    // A typed code outside the range never reaches the link; the message holds the range.
    rig_->link.requests.clear();
    rig_->box.texts.clear();
    Click(0, ParameterRows::kValueColumn);
    combo = qobject_cast<QComboBox*>(view_->List().OpenEditor());
    QVERIFY(combo != nullptr);
    combo->setEditText("11");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QTRY_VERIFY(!view_->List().IsEditing());
    QVERIFY(rig_->link.requests.empty());
    QCOMPARE(rig_->box.texts.size(), size_t(1));
    QVERIFY2(rig_->box.texts[0].find("(-7 to 10)") != std::string::npos,
             rig_->box.texts[0].c_str());
}

void FactsPanelViewTest::valuesNotAtTheirDefaultAreMarkedUntilSwitchedOff() {
    const QVariant tint = QColor(ParameterTableModel::kNotDefaultColour);
    QCOMPARE(Value(0).data(Qt::BackgroundRole), tint);  // 3, the default is 1
    QVERIFY(Value(0)
                .data(Qt::ToolTipRole)
                .toString()
                .contains("Differs from the factory default (1 - Profile position)"));
    QVERIFY(!Value(2).data(Qt::BackgroundRole).isValid());  // at its default
    QVERIFY(!Value(1).data(Qt::BackgroundRole).isValid());  // no default known
    Shown(PanelRig::kMode, 1);
    QVERIFY(!Value(0).data(Qt::BackgroundRole).isValid());
    QVERIFY(!Value(0).data(Qt::ToolTipRole).toString().contains("Differs"));

    // A row in a unit with a formula says the default in raw units.
    Shown(PanelRig::kVelocity, 512);
    QCOMPARE(Value(2).data(Qt::BackgroundRole), tint);
    QVERIFY2(Value(2).data(Qt::ToolTipRole).toString().contains("(5120 DEC)"),
             qPrintable(Value(2).data(Qt::ToolTipRole).toString()));

    // A refused read shows no value, so nothing differs.
    view_->Panel().onMessage(WM_LINK_ABORT, 0, PanelRig::kVelocity);
    view_->Table().FlushChanges();
    QVERIFY(!Value(2).data(Qt::BackgroundRole).isValid());

    Shown(PanelRig::kVelocity, 512);
    QAction* mark = view_->MarkDefaultsAction();
    QVERIFY(mark != nullptr && mark->isChecked());
    mark->trigger();
    QVERIFY(!markDefaults_);
    QVERIFY(!Value(2).data(Qt::BackgroundRole).isValid());
    QVERIFY(!Value(2).data(Qt::ToolTipRole).toString().contains("Differs"));
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::FactsPanelViewTest)
#include "FactsPanelViewTest.moc"
