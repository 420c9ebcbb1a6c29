#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "platform/FolderChoice.h"
#include "platform/PerUserFolderSetup.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;
using Kind = FolderChoice::Kind;

std::function<const char*(const char*)> Environment(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    };
}

// A current directory, a build folder and an installed tree side by side.
struct Layout {
    test::TempFolder root;
    std::string current = root.File("work");
    std::string stage = root.File("stage");
    std::string prefix = root.File("usr");
    Layout() {
        fs::create_directories(current);
        root.Write("stage/data/tarvo.dat", "x");
        root.Write("usr/share/tarvostep/data/tarvo.dat", "x");
    }
    FolderChoice::Choice Choose(const std::string& executable, bool beside,
                                const std::string& given = "") const {
        return FolderChoice::Choose(
            {given, current, executable, beside, Environment({{"HOME", root.File("home")}})});
    }
};

TEST(FolderChoice, PicksGivenThenCurrentThenBesideProgramThenInstalled) {
    Layout layout;
    const std::string staged = layout.stage + "/tarvoctl";
    const std::string installed = layout.prefix + "/bin/tarvoctl";
    struct Case {
        const char* what;
        std::string executable;
        bool beside;
        std::string given;
        Kind kind;
        std::string folder;
    } cases[] = {
        {"--folder wins over everything", installed, true, "/x", Kind::Given, "/x"},
        {"staged, tarvoctl", staged, true, "", Kind::BesideProgram, layout.stage},
        {"staged, program keeps the current directory", staged, false, "", Kind::Current,
         layout.current},
        {"installed", installed, false, "", Kind::PerUser,
         layout.root.File("home") + "/.local/share/tarvostep"},
        {"installed, tarvoctl", installed, true, "", Kind::PerUser,
         layout.root.File("home") + "/.local/share/tarvostep"},
        {"not in a bin folder", layout.prefix + "/sbin/tarvoctl", false, "", Kind::Current,
         layout.current},
        {"no executable known", "", true, "", Kind::Current, layout.current},
        {"a prefix without the shipped data", layout.root.File("other/bin/tarvoctl"), false, "",
         Kind::Current, layout.current},
    };
    for (const Case& c : cases) {
        FolderChoice::Choice choice = layout.Choose(c.executable, c.beside, c.given);
        EXPECT_EQ(choice.kind, c.kind) << c.what;
        EXPECT_EQ(choice.folder, c.folder) << c.what;
    }
    FolderChoice::Choice choice = layout.Choose(installed, false);
    EXPECT_EQ(choice.shippedData, layout.prefix + "/share/tarvostep");
    EXPECT_EQ(choice.shippedLibraries, layout.prefix + "/lib/tarvostep");

    // A program folder as the current directory is used as today, installed or not.
    layout.root.Write("work/data/tarvo.dat", "x");
    for (const std::string& executable : {installed, staged}) {
        choice = layout.Choose(executable, true);
        EXPECT_EQ(choice.kind, Kind::Current) << executable;
        EXPECT_EQ(choice.folder, layout.current) << executable;
    }
}

TEST(FolderChoice, PerUserFolderFollowsXdgDataHome) {
    struct Case {
        std::map<std::string, std::string> environment;
        std::string passwdHome;
        std::string folder;
    } cases[] = {
        {{{"XDG_DATA_HOME", "/d"}, {"HOME", "/h"}}, "/p", "/d/tarvostep"},
        {{{"XDG_DATA_HOME", "/d//"}, {"HOME", "/h"}}, "/p", "/d/tarvostep"},
        {{{"XDG_DATA_HOME", ""}, {"HOME", "/h"}}, "/p", "/h/.local/share/tarvostep"},
        {{{"XDG_DATA_HOME", "rel"}, {"HOME", "/h/"}}, "/p", "/h/.local/share/tarvostep"},
        {{{"HOME", "/h"}}, "/p", "/h/.local/share/tarvostep"},
        {{{"HOME", "/"}}, "/p", "/.local/share/tarvostep"},
        {{{"XDG_DATA_HOME", "/"}}, "/p", "/tarvostep"},
        {{}, "/p", "/p/.local/share/tarvostep"},
        {{{"HOME", ""}}, "/p", "/p/.local/share/tarvostep"},
        {{{"HOME", "h"}}, "", ""},
        {{}, "", ""},
        {{}, "relative", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FolderChoice::PerUserFolder(Environment(c.environment), c.passwdHome), c.folder)
            << c.folder;
    }
}

struct Installed {
    test::TempFolder root;
    FolderChoice::Choice choice;
    Installed() {
        root.Write("usr/share/tarvostep/data/tarvo.dat", "dictionary");
        root.Write("usr/share/tarvostep/data/EN.rcc", "english");
        root.Write("usr/lib/tarvostep/libCOM.so", "com");
        root.Write("usr/share/tarvostep/sys/PositionLoop.ini", "panel");
        root.Write("usr/share/tarvostep/sys/can.ini", "shipped can");
        root.Write("usr/share/tarvostep/user/AllParameters.cdo", "sample");
        ::chmod(root.File("usr/share/tarvostep/sys/can.ini").c_str(), 0444);
        choice.kind = Kind::PerUser;
        choice.folder = root.File("home/.local/share/tarvostep");
        choice.shippedData = root.File("usr/share/tarvostep");
        choice.shippedLibraries = root.File("usr/lib/tarvostep");
    }
    std::string Mine(const std::string& relative) const { return choice.folder + "/" + relative; }
    std::string Listing() const {
        std::string text;
        for (const auto& entry : fs::recursive_directory_iterator(root.File("usr"))) {
            text += entry.path().string() + "\n";
        }
        return text;
    }
    bool Prepare() const {
        std::string error;
        bool ready = PerUserFolderSetup::Prepare(choice, error);
        EXPECT_TRUE(ready) << error;
        return ready;
    }
};

TEST(PerUserFolderSetup, FirstStartLinksShippedFilesAndCopiesDefaults) {
    Installed installed;
    const std::string before = installed.Listing();
    ASSERT_TRUE(installed.Prepare());
    for (auto [mine, shipped] : {std::pair{"data/tarvo.dat", "usr/share/tarvostep/data/tarvo.dat"},
                                 {"data/EN.rcc", "usr/share/tarvostep/data/EN.rcc"},
                                 {"data/libCOM.so", "usr/lib/tarvostep/libCOM.so"}}) {
        EXPECT_TRUE(fs::is_symlink(installed.Mine(mine))) << mine;
        EXPECT_EQ(fs::read_symlink(installed.Mine(mine)), installed.root.File(shipped)) << mine;
    }
    EXPECT_FALSE(fs::is_symlink(installed.Mine("sys/can.ini")));
    EXPECT_EQ(installed.root.Read("home/.local/share/tarvostep/sys/can.ini"), "shipped can");
    EXPECT_TRUE(FolderChoice::IsProgramFolder(installed.choice.folder));
    // The user's copy of a read-only default is the user's to change.
    struct stat info {};
    ASSERT_EQ(::stat(installed.Mine("sys/can.ini").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IWUSR);
    EXPECT_EQ(installed.root.Read("home/.local/share/tarvostep/user/AllParameters.cdo"), "sample");
    EXPECT_EQ(installed.Listing(), before) << "nothing is written into the installed tree";
}

TEST(PerUserFolderSetup, LaterStartsKeepTheUsersFilesAndAddWhatIsNew) {
    Installed installed;
    ASSERT_TRUE(installed.Prepare());
    installed.root.Write("home/.local/share/tarvostep/sys/can.ini", "mine");
    fs::remove(installed.Mine("user/AllParameters.cdo"));
    fs::remove(installed.Mine("data/EN.rcc"));
    installed.root.Write("home/.local/share/tarvostep/data/EN.rcc", "my own resource set");
    // A link left by an installation elsewhere is pointed at this one.
    fs::remove(installed.Mine("data/tarvo.dat"));
    fs::create_symlink("/nowhere/tarvo.dat", installed.Mine("data/tarvo.dat"));
    installed.root.Write("usr/share/tarvostep/sys/New.ini", "new panel");

    ASSERT_TRUE(installed.Prepare());
    EXPECT_EQ(installed.root.Read("home/.local/share/tarvostep/sys/can.ini"), "mine");
    EXPECT_EQ(installed.root.Read("home/.local/share/tarvostep/sys/New.ini"), "new panel");
    EXPECT_FALSE(fs::exists(installed.Mine("user/AllParameters.cdo")))
        << "samples come once, with the folder";
    EXPECT_EQ(installed.root.Read("home/.local/share/tarvostep/data/EN.rcc"),
              "my own resource set");
    EXPECT_EQ(fs::read_symlink(installed.Mine("data/tarvo.dat")),
              installed.root.File("usr/share/tarvostep/data/tarvo.dat"));
}

TEST(PerUserFolderSetup, AFolderThatCannotBeMadeIsReported) {
    Installed installed;
    installed.root.Write("home/.local/share/tarvostep", "a file in the way");
    std::string error;
    EXPECT_FALSE(PerUserFolderSetup::Prepare(installed.choice, error));
    EXPECT_NE(error.find(installed.Mine("data")), std::string::npos) << error;
}

}  // namespace
}  // namespace tarvo
