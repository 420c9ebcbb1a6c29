#include <gtest/gtest.h>

#include "app/SharedState.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"
#include "tests/support/DataFileBuilder.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

class SharedStateTest : public ::testing::Test {
protected:
    SharedState::Options Options(bool chinese, bool loader = false) {
        return {folder.Path(), chinese, &box, nullptr, loader};
    }
    test::TempFolder folder;
    RecordingMessageBox box;
};

TEST_F(SharedStateTest, PathsFollowTheProgramFolder) {
    SharedState state(Options(false));
    EXPECT_EQ(state.programFolder, folder.Path());
    EXPECT_EQ(state.settingsFilePath, folder.Path() + "/sys/sys.ini");
    EXPECT_EQ(state.dataFilePath, folder.Path() + "/data/tarvo.dat");
    EXPECT_EQ(state.englishLibraryPath, folder.Path() + "/data/EN.rcc");
    EXPECT_EQ(state.userFolder, folder.Path() + "/user/");
}

TEST_F(SharedStateTest, AnotherDictionaryFromTheCommandLineOrTheSettingsFile) {
    struct Case {
        const char* settings;  // [sys] dictionary=
        const char* option;    // --dictionary
        std::string expected;
    } cases[] = {
        {"", "", folder.Path() + "/data/tarvo.dat"},
        {"data/lab.dat", "", folder.Path() + "/data/lab.dat"},
        {"/x/lab.dat", "", "/x/lab.dat"},
        {"data/lab.dat", "other.dat", folder.Path() + "/other.dat"},
        {"", "/y/other.dat", "/y/other.dat"},
    };
    for (const Case& c : cases) {
        folder.Write("sys/sys.ini", std::string("[sys]\ndictionary=") + c.settings + "\n");
        SharedState::Options options = Options(false);
        options.dictionaryFile = c.option;
        SharedState state(options);
        EXPECT_EQ(state.dataFilePath, c.expected) << c.settings << " / " << c.option;
    }
}

TEST_F(SharedStateTest, LanguageAndInterfaceModeFromTheSettingsFile) {
    folder.Write("sys/sys.ini", "[sys]\nlang=1\ncomm=261\n");
    SharedState chinese(Options(true));
    EXPECT_EQ(chinese.languageSetting.load(), 1);
    EXPECT_EQ(chinese.session.interfaceMode, 5);  // the low byte of 0x105
    // "lang" = 1 gives English on a system that is not Chinese.
    SharedState other(Options(false));
    EXPECT_EQ(other.languageSetting.load(), 2);
}

TEST_F(SharedStateTest, NoSettingsFileReadsAsZero) {
    SharedState state(Options(true));
    EXPECT_EQ(state.languageSetting.load(), 0);
    EXPECT_EQ(state.session.interfaceMode, 0);
}

TEST_F(SharedStateTest, LoaderStartsWithTheState) {
    folder.Write("sys/sys.ini", "[sys]\nlang=2\n");
    folder.Write("data/tarvo.dat", test::Record("6041", "00", "Status word"));
    SharedState state(Options(true, true));
    ASSERT_TRUE(state.dictionary.WaitLoaded(std::chrono::seconds(5)));
    EXPECT_EQ(state.dictionary.FindEntry(0x604100)->name, "Status word");
}

TEST_F(SharedStateTest, SettingsKeysRoundTrip) {
    AppSettings settings(folder.File("sys/sys.ini"));
    ASSERT_TRUE(settings.SetSerial("ttyUSB0", "115200"));
    ASSERT_TRUE(settings.SetSerialNodeId(1));
    ASSERT_TRUE(settings.SetCanBitRateCode(3));
    ASSERT_TRUE(settings.SetCanNodeId(2));
    ASSERT_TRUE(settings.SetInterfaceMode(5));
    EXPECT_EQ(settings.SerialPort(), "ttyUSB0");
    EXPECT_EQ(settings.SerialBaudRate(), "115200");
    EXPECT_EQ(settings.CanBitRateCode(), "3");
    EXPECT_EQ(settings.CanNodeId(), "2");
    EXPECT_EQ(settings.InterfaceMode(), 5);
    // The key names are the file's own, odd spelling included.
    EXPECT_NE(folder.Read("sys/sys.ini").find("buadrate=115200"), std::string::npos);
}

}  // namespace
}  // namespace tarvo
