#include <unistd.h>

#include <QApplication>
#include <QFontDatabase>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/LanguageSettlement.h"
#include "app/SharedState.h"
#include "app/views/DemoSession.h"
#include "app/views/LanguageDialog.h"
#include "app/views/MainFrame.h"
#include "app/views/QtMessageBox.h"
#include "app/views/QtMessageSender.h"
#include "platform/PerUserFolderSetup.h"
#include "platform/SystemLocale.h"
#include "resources/ResourceSet.h"

namespace {

struct CommandLine {
    const char* folder = nullptr;
    const char* dictionary = nullptr;  // another dictionary data file
    bool demo = false;
    bool can = false;  // the demo's drive on the simulated CAN bus
    bool help = false;
};

constexpr const char* kUsage =
    "usage: tarvostep [--folder DIR] [--dictionary FILE] [--demo [--can]] [--version] [--help]\n"
    "\n"
    "  --folder DIR  use DIR as the program folder (data/, sys/, user/); by default the\n"
    "                current directory, the program's own folder, or for an installed\n"
    "                program the per-user folder ~/.local/share/tarvostep\n"
    "  --dictionary FILE  start on another dictionary data file (tarvoctl dict build --eds\n"
    "                makes one from a CiA 306 EDS); sys.ini key \"dictionary\" of [sys] too\n"
    "  --demo        run with a simulated drive on dev/ttySIM0 and connect to it; started\n"
    "                from a terminal, the terminal becomes the simulated drive's console\n"
    "                (type help there: error BIT, pin, clear ...)\n"
    "  --can         with --demo: the simulated drive is on the simulated CAN bus\n"
    "  --version     print the program's version\n"
    "  --help        print this text\n"
    "\n"
    "Qt's own options (-platform offscreen, ...) are passed on.\n";

bool Parse(int argc, char** argv, CommandLine& line) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) {
            line.folder = argv[++i];
        } else if (std::strcmp(argv[i], "--dictionary") == 0 && i + 1 < argc) {
            line.dictionary = argv[++i];
        } else if (std::strcmp(argv[i], "--demo") == 0) {
            line.demo = true;
        } else if (std::strcmp(argv[i], "--can") == 0) {
            line.can = true;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tarvostep " TARVO_VERSION "\n");
            std::exit(0);
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            line.help = true;
        } else if (argv[i][0] == '-' && std::strncmp(argv[i], "-platform", 9) != 0) {
            std::fprintf(stderr, "%s", kUsage);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (!Parse(argc, argv, line)) {
        return 2;
    }
    if (line.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // A dictionary named from where the program was started stays that file after the
    // change into the program folder; a name that is no file there is taken in the folder.
    std::string dictionary = line.dictionary != nullptr ? line.dictionary : "";
    std::error_code ignored;
    if (!dictionary.empty() && std::filesystem::path(dictionary).is_relative() &&
        std::filesystem::is_regular_file(dictionary, ignored)) {
        dictionary = std::filesystem::absolute(dictionary, ignored).string();
    }
    // The program folder is the current directory: every file is found from it.
    if (line.folder != nullptr && ::chdir(line.folder) != 0) {
        std::fprintf(stderr, "tarvostep: cannot change into %s\n", line.folder);
        return 2;
    }
    QApplication application(argc, argv);
    tarvo::QtMessageBox messageBox(QStringLiteral("TarvoStep"));
    // Without --folder: the current directory or the program's own folder when either is a
    // program folder, else the per-user folder of an installed program.
    tarvo::FolderChoice::Choice folder;
    std::string error;
    if (!tarvo::PerUserFolderSetup::ChooseHere(line.folder ? line.folder : "", true, folder,
                                               error) ||
        (folder.kind != tarvo::FolderChoice::Kind::Current &&
         folder.kind != tarvo::FolderChoice::Kind::Given && ::chdir(folder.folder.c_str()) != 0)) {
        error = error.empty() ? "cannot change into " + folder.folder : error;
        std::fprintf(stderr, "tarvostep: %s\n", error.c_str());
        messageBox.Show(error);
        return 2;
    }
    tarvo::QtMessageSender sender;
    const bool canShowChinese = tarvo::SystemLocale::CanShowChinese(
        [](const char* name) { return std::getenv(name); },
        tarvo::SystemLocale::ChineseLocaleInstalled(),
        // Fontconfig's fonts, as Qt sees them.
        [] { return !QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty(); });
    tarvo::SharedState::Options options;
    options.systemIsChinese = canShowChinese;
    options.messageBox = &messageBox;
    options.sender = &sender;
    options.dictionaryFile = dictionary;
    tarvo::SharedState state(options);

    std::unique_ptr<tarvo::ResourceSet> resources;
    tarvo::LanguageSettlement::StartHooks hooks;
    hooks.showLanguageDialog = [&] {
        // Before a language is settled the built-in set is the only one there is.
        tarvo::ResourceSet builtIn(tarvo::ResourceSet::Language::Chinese);
        tarvo::AppSettings settings(state.settingsFilePath);
        tarvo::LanguageDialogModel model(settings, messageBox, state.systemIsChinese());
        tarvo::LanguageDialog dialog(model, builtIn);
        dialog.exec();
    };
    hooks.loadEnglishResources = [&] {
        return tarvo::ResourceSet::LoadEnglish(QString::fromStdString(state.englishLibraryPath));
    };
    auto outcome = tarvo::LanguageSettlement::SettleAtStart(state, hooks);
    if (outcome == tarvo::LanguageSettlement::Outcome::Exit) {
        state.link.Shutdown([] {});
        return 0;
    }
    resources =
        std::make_unique<tarvo::ResourceSet>(outcome == tarvo::LanguageSettlement::Outcome::English
                                                 ? tarvo::ResourceSet::Language::English
                                                 : tarvo::ResourceSet::Language::Chinese);
    messageBox.SetCaption(resources->String(102));
    // Range refusals and the other sentences about entry facts speak the interface language.
    state.valueText.SetTextLookup(
        [set = resources.get()](int id) { return set->String(id).toStdString(); });
    // Child frames and dialogs show the program's icon rather than the toolkit's.
    application.setWindowIcon(resources->Icon(128));

    int dpi = application.primaryScreen() ? application.primaryScreen()->logicalDotsPerInch() : 96;
    tarvo::LanguageSettlement::ApplyColumnSettings(state, dpi);
    tarvo::MainFrame mainFrame(state, *resources);
    messageBox.SetParentWindow(&mainFrame);
    mainFrame.show();
    state.switches.mainFrameWindow = &mainFrame;

    tarvo::DemoSession demo(QString::fromStdString(state.programFolder));
    if (line.demo) {
        const bool console = ::isatty(STDIN_FILENO) != 0 && ::isatty(STDOUT_FILENO) != 0;
        if (console) {
            std::fputs(
                "tarvostep: this terminal is the simulated drive's console now "
                "(help lists its commands).\n",
                stdout);
            std::fflush(stdout);
        }
        if (demo.Start(line.can, console)) {
            bool can = line.can;
            QTimer::singleShot(0, &mainFrame, [&mainFrame, can] {
                if (can) {
                    mainFrame.ConnectCan(tarvo::DemoSession::kCanBitRateCode, 1);
                } else {
                    mainFrame.ConnectSerial(tarvo::DemoSession::kPortName, 115200, 1);
                }
            });
        } else {
            messageBox.Show(demo.Error().toStdString());
        }
    }
    int result = application.exec();
    state.switches.linkStop = 1;
    sender.Abandon();
    state.link.Shutdown([] {});
    demo.Stop();
    return result;
}
