#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "comm/views/CommCanView.h"
#include "comm/views/CommRs232View.h"
#include "resources/ResourceCatalog.h"
#include "resources/ResourceSet.h"
#include "tests/comm/ConnectionRig.h"

namespace tarvo::test {

// The connection forms as the user sees them, in both languages, at the resolution of the
// screen (the test runs at 96 and at 120 dots per inch).
class CommFormViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(ResourceSet::LoadEnglish(QStringLiteral(TARVO_EN_RCC)));
        chinese_ = std::make_unique<ResourceSet>(ResourceSet::Language::Chinese);
        english_ = std::make_unique<ResourceSet>(ResourceSet::Language::English);
        // The run at 120 dpi must really be at 120 dpi, or it proves nothing.
        int expected = qEnvironmentVariableIntValue("TARVO_TEST_DPI");
        QCOMPARE(qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()),
                 expected != 0 ? expected : 96);
    }

    void englishFormRestoresTheStoredBaudRate() {
        ConnectionRig rig;
        rig.settings.SetSerial("ttyS0", "115200");  // stored trimmed, the entry is "115200 "
        CommRs232View view(rig.Context(), *english_, [] { return std::vector<std::string>{}; });
        auto* bauds = view.findChild<QComboBox*>(QStringLiteral("control1001"));
        QVERIFY(bauds != nullptr);
        QCOMPARE(bauds->currentText(), QStringLiteral("115200 "));
    }

    // Until a version is read the caption is the form's own text; the Detail box bears the
    // program's caption like every other box.
    void canFormCaptionsComeFromTheResources() {
        ConnectionRig rig;
        {
            CommCanView view(rig.Context(), *chinese_);
            auto* caption = view.findChild<QLabel*>(QStringLiteral("control1212"));
            QVERIFY(caption != nullptr);
            QCOMPARE(caption->text(),
                     QString::fromStdString(chinese_->Catalog().Dialog(123)->Control(1212)->text));
        }
        rig.folder.Put(FAKE_CAN_LIBRARY, "libCAN.so");
        CommCanView view(rig.Context(), *english_);
        QString title;
        QTimer::singleShot(0, this, [&title] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                title = box->windowTitle();
                box->close();
            }
        });
        auto* detail = view.findChild<QPushButton*>(QStringLiteral("control1216"));
        QVERIFY(detail != nullptr);
        detail->click();
        QCOMPARE(title, QStringLiteral("TarvoStep V1.6"));
    }

    void formsAreScaledAndTheirTextsFit_data() {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("Chinese") << true;
        QTest::newRow("English") << false;
    }

    void formsAreScaledAndTheirTextsFit() {
        QFETCH(bool, chinese);
        const ResourceSet& resources = chinese ? *chinese_ : *english_;
        const double scale = QGuiApplication::primaryScreen()->logicalDotsPerInch() / 96.0;
        QStringList clipped;
        for (int id : {100, 123, 124, 125, 147, 157}) {
            QWidget host;
            FormBuilder::Form form = FormBuilder::Build(resources, id, &host);
            auto dialog = resources.Catalog().Dialog(id);
            QVERIFY(dialog.has_value());
            QCOMPARE(form.size,
                     QSize(qRound(dialog->width * scale), qRound(dialog->height * scale)));
            for (auto it = form.controls.cbegin(); it != form.controls.cend(); ++it) {
                QString text = TextOf(it.value());
                int needed = it.value()->fontMetrics().horizontalAdvance(text) + Frame(it.value());
                if (!text.isEmpty() && needed > it.value()->width()) {
                    clipped << QString("%1/%2 \"%3\" needs %4 of %5")
                                   .arg(id)
                                   .arg(it.key())
                                   .arg(text)
                                   .arg(needed)
                                   .arg(it.value()->width());
                }
            }
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
    }

private:
    static QString TextOf(QWidget* control) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            text = button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            text = group->title();
        }
        return text.remove('&');
    }

    // What a control needs beside its text: a push button's frame, a radio's indicator.
    static int Frame(QWidget* control) {
        if (qobject_cast<QPushButton*>(control) != nullptr) {
            return 8;
        }
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            return button->sizeHint().width() -
                   button->fontMetrics().horizontalAdvance(TextOf(button));
        }
        return 0;
    }

    std::unique_ptr<ResourceSet> chinese_;
    std::unique_ptr<ResourceSet> english_;
};

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::CommFormViewTest)
#include "CommFormViewTest.moc"
