#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <cstdlib>
#include <optional>

#include "app/LanguageSettlement.h"
#include "app/SharedState.h"
#include "app/views/LanguageDialog.h"
#include "app/views/QtMessageBox.h"
#include "platform/AppSettings.h"
#include "platform/SystemLocale.h"
#include "resources/ResourceSet.h"
#include "tests/app/ProgramFolder.h"

namespace tarvo::test {

namespace {

// The locale variables of one test, given back afterwards.
class LocaleScope {
public:
    explicit LocaleScope(const char* lang) {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        ::setenv("LANG", lang, 1);
    }
    ~LocaleScope() {
        for (size_t i = 0; i < std::size(kNames); ++i) {
            if (saved_[i]) {
                ::setenv(kNames[i], saved_[i]->c_str(), 1);
            } else {
                ::unsetenv(kNames[i]);
            }
        }
    }

private:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::optional<std::string>> saved_;
};

}  // namespace

// Start-up as main() runs it: the system's locale decides whether the language dialog is
// asked, the English set comes from data/EN.rcc, and a missing set ends the program.
class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void chineseSystemAsksAtFirstStart_data();
    void chineseSystemAsksAtFirstStart();
    void otherSystemsStartInEnglish();
    void missingEnglishSetEndsTheProgram();

private:
    struct Start {
        LanguageSettlement::Outcome outcome;
        int dialogs = 0;
        QStringList shown;
        uint8_t language = 0;
    };
    // Settles the language with the real dialog, which `answer` fills in.
    Start Run(const ProgramFolder& folder, const std::function<void(LanguageDialog&)>& answer);
};

StartupTest::Start StartupTest::Run(const ProgramFolder& folder,
                                    const std::function<void(LanguageDialog&)>& answer) {
    QtMessageBox box(QStringLiteral("TarvoStep"));
    box.SetRecordOnly(true);
    SharedState state({folder.PathText(), SystemLocale::IsChinesePrc(), &box, nullptr, false});
    Start start;
    LanguageSettlement::StartHooks hooks;
    hooks.showLanguageDialog = [&] {
        ++start.dialogs;
        ResourceSet builtIn(ResourceSet::Language::Chinese);
        AppSettings settings(state.settingsFilePath);
        LanguageDialogModel model(settings, box, state.systemIsChinese());
        LanguageDialog dialog(model, builtIn);
        dialog.show();
        answer(dialog);
    };
    hooks.loadEnglishResources = [&] {
        return ResourceSet::LoadEnglish(QString::fromStdString(state.englishLibraryPath));
    };
    start.outcome = LanguageSettlement::SettleAtStart(state, hooks);
    start.shown = box.Shown();
    start.language = state.languageSetting.load();
    return start;
}

void StartupTest::chineseSystemAsksAtFirstStart_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<int>("outcome");
    QTest::newRow("English chosen") << 1137 << int(LanguageSettlement::Outcome::English);
    QTest::newRow("Chinese chosen") << 1136 << int(LanguageSettlement::Outcome::Chinese);
}

void StartupTest::chineseSystemAsksAtFirstStart() {
    QFETCH(int, choice);
    QFETCH(int, outcome);
    LocaleScope locale("zh_CN.UTF-8");
    ProgramFolder folder;  // no settings file yet
    Start start = Run(folder, [choice](LanguageDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("语言设置"));
        auto* chinese = dialog.findChild<QRadioButton*>(QStringLiteral("control1136"));
        auto* english = dialog.findChild<QRadioButton*>(QStringLiteral("control1137"));
        QVERIFY(chinese && english);
        QVERIFY(!chinese->isChecked() && !english->isChecked());
        QCOMPARE(chinese->text(), QStringLiteral("中文"));
        dialog.findChild<QRadioButton*>(QStringLiteral("control%1").arg(choice))->click();
        dialog.findChild<QPushButton*>(QStringLiteral("control1090"))->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    });
    QCOMPARE(start.dialogs, 1);
    QCOMPARE(int(start.outcome), outcome);
    QVERIFY(start.shown.isEmpty());
    QCOMPARE(int(start.language), choice == 1136 ? 1 : 2);
    QCOMPARE(AppSettings(folder.PathText() + "/sys/sys.ini").Language(), choice == 1136 ? 1 : 2);
    if (start.outcome == LanguageSettlement::Outcome::English) {
        ResourceSet english(ResourceSet::Language::English);
        QVERIFY(english.IsValid());
        QCOMPARE(english.String(125), QStringLiteral("Interface Change"));
    }

    // The next start asks no more.
    Start again = Run(folder, [](LanguageDialog&) { QFAIL("asked twice"); });
    QCOMPARE(again.dialogs, 0);
    QCOMPARE(int(again.outcome), outcome);
}

void StartupTest::otherSystemsStartInEnglish() {
    LocaleScope locale("en_US.UTF-8");
    QVERIFY(!SystemLocale::IsChinesePrc());
    ProgramFolder folder;
    folder.Write(QStringLiteral("sys/sys.ini"), "[sys]\r\nlang=1\r\n");  // ignored here
    Start start = Run(folder, [](LanguageDialog&) { QFAIL("no dialog expected"); });
    QCOMPARE(start.dialogs, 0);
    QCOMPARE(start.outcome, LanguageSettlement::Outcome::English);
    QCOMPARE(int(start.language), 2);
    QVERIFY(start.shown.isEmpty());
}

void StartupTest::missingEnglishSetEndsTheProgram() {
    const QString failure = QStringLiteral("Load EN.dll resource failure!\n  System exit!\n");
    LocaleScope locale("en_US.UTF-8");
    ProgramFolder empty(false);
    Start start = Run(empty, [](LanguageDialog&) {});
    QCOMPARE(start.outcome, LanguageSettlement::Outcome::Exit);
    QCOMPARE(start.shown, QStringList{failure});

    // A file of that name that is no resource set fails the same way.
    empty.Write(QStringLiteral("data/EN.rcc"), "not a resource file");
    start = Run(empty, [](LanguageDialog&) {});
    QCOMPARE(start.outcome, LanguageSettlement::Outcome::Exit);
    QCOMPARE(start.shown, QStringList{failure});

    // On a Chinese system that chose English at the dialog as well.
    LocaleScope chinese("zh_CN.GBK");
    ProgramFolder bare(false);
    start = Run(bare, [](LanguageDialog& dialog) {
        dialog.findChild<QRadioButton*>(QStringLiteral("control1137"))->click();
        dialog.findChild<QPushButton*>(QStringLiteral("control1090"))->click();
    });
    QCOMPARE(start.outcome, LanguageSettlement::Outcome::Exit);
    QCOMPARE(start.shown, QStringList{failure});
}

}  // namespace tarvo::test

QTEST_MAIN(tarvo::test::StartupTest)
#include "StartupTest.moc"
