#include <gtest/gtest.h>

#include <filesystem>

#include "can/CanSettings.h"
#include "can/CanTrace.h"
#include "tests/support/TempFolder.h"

namespace tarvo::canbus::test {
namespace {

TEST(CanSettings, MissingFileMeansSocketCanOnCan0) {
    tarvo::test::TempFolder folder;
    CanSettings settings;
    std::string error;
    ASSERT_TRUE(CanSettings::Load(folder.Path(), settings, error)) << error;
    EXPECT_EQ(settings.backend, CanSettings::Backend::SocketCan);
    EXPECT_EQ(settings.interface, "can0");
    EXPECT_TRUE(settings.trace.empty());
}

TEST(CanSettings, EachBackendWithItsKeys) {
    tarvo::test::TempFolder folder;
    folder.Write("sys/can.ini",
                 "\xEF\xBB\xBF; PCAN-USB through PEAK's library\r\n[CAN]\r\n Backend = PCAN \r\n"
                 "channel=0x52\r\nlibrary=lib/libpcanbasic.so\r\ntrace=user/can.log\r\n");
    CanSettings settings;
    std::string error;
    ASSERT_TRUE(CanSettings::Load(folder.Path(), settings, error)) << error;
    EXPECT_EQ(settings.backend, CanSettings::Backend::Pcan);
    EXPECT_EQ(settings.channel, 0x52u);
    EXPECT_EQ(settings.library, folder.File("lib/libpcanbasic.so"));
    EXPECT_EQ(settings.trace, folder.File("user/can.log"));

    folder.Write("sys/can.ini", "[can]\nbackend=pcan\nchannel=81\nlibrary=libpcanbasic.so\n");
    ASSERT_TRUE(CanSettings::Load(folder.Path(), settings, error)) << error;
    EXPECT_EQ(settings.channel, 81u);
    EXPECT_EQ(settings.library, "libpcanbasic.so") << "a bare name is the system's library";

    folder.Write("sys/can.ini", "[can]\nbackend=sim\nsocket=/tmp/bus\n");
    ASSERT_TRUE(CanSettings::Load(folder.Path(), settings, error)) << error;
    EXPECT_EQ(settings.backend, CanSettings::Backend::SimBus);
    EXPECT_EQ(settings.socket, "/tmp/bus");

    folder.Write("sys/can.ini", "[can]\nbackend=socketcan\ninterface=vcan0\n");
    ASSERT_TRUE(CanSettings::Load(folder.Path(), settings, error)) << error;
    EXPECT_EQ(settings.interface, "vcan0");
}

TEST(CanSettings, BadContentsAreNamedInTheMessage) {
    struct Case {
        std::string content;
        std::string message;
    } cases[] = {
        {"[can]\nbackend=kvaser\n", "backend=kvaser is not one of socketcan, pcan, sim"},
        {"[can]\nbackend=\n", "backend= is not one of"},
        {"[can]\nbakend=sim\n", "unknown key \"bakend\""},
        {"[can]\nbackend=pcan\nchannel=USB1\n", "channel=USB1 is not a PCAN-Basic channel"},
        {"[can]\nbackend=pcan\nchannel=0x10000\n", "channel=0x10000"},
        {"[can]\nbackend=pcan\nchannel=0\n", "channel=0 "},
        {"[can]\ninterface=../can0\n", "interface=../can0 is not a network interface name"},
        {"[can]\ninterface=averyveryverylongname0\n", "is not a network interface name"},
        {"[can]\nbackend=sim\nsocket=\n", "socket= is empty"},
        {"[can]\nbackend=pcan\nlibrary=\n", "library= is empty"},
        {"backend=sim\n", "no [can] section"},
        {"[sys]\nbackend=sim\n", "no [can] section"},
        {std::string("\x00\x01\x02garbage\xFF", 12), "no [can] section"},
        // Not read as an empty file: what is wrong is said.
        {std::string("\xFF\xFE[\0c\0a\0n\0]\0", 12), "is UTF-16 text"},
        {std::string("[\0c\0a\0n\0]\0", 10), "is UTF-16 text"},
        {std::string(9u << 20, '#'), "far larger than such a file can be"},
        // Cut at the reader's 511 characters it would name another file.
        {"[can]\nbackend=sim\nsocket=/run/" + std::string(507, 'a') + "\n",
         "socket= is longer than 511 characters"},
    };
    for (const Case& c : cases) {
        tarvo::test::TempFolder folder;
        folder.Write("sys/can.ini", c.content);
        CanSettings settings;
        std::string error;
        EXPECT_FALSE(CanSettings::Load(folder.Path(), settings, error)) << c.content;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_NE(error.find("can.ini"), std::string::npos) << error;
    }
    tarvo::test::TempFolder folder;
    std::filesystem::create_directories(folder.File("sys/can.ini"));
    CanSettings settings;
    std::string error;
    EXPECT_FALSE(CanSettings::Load(folder.Path(), settings, error));
    EXPECT_NE(error.find("is not a file"), std::string::npos) << error;
}

TEST(CanTrace, LinesFollowCandumpsLogFormat) {
    Frame frame;
    frame.id = 0x601;
    frame.length = 8;
    const uint8_t bytes[8] = {0x40, 0x41, 0x60, 0, 0, 0, 0, 0};
    std::copy(bytes, bytes + 8, frame.data);
    EXPECT_EQ(CanTrace::Line(frame, "can0", 1700000000, 42),
              "(1700000000.000042) can0 601#4041600000000000");
    frame.id = 0x18FF0001 | Frame::kExtended;
    frame.length = 2;
    EXPECT_EQ(CanTrace::Line(frame, "vcan0", 5, 999999), "(0000000005.999999) vcan0 18FF0001#4041");
    frame.id = 0x701 | Frame::kRemote;
    EXPECT_EQ(CanTrace::Line(frame, "can0", 1, 0), "(0000000001.000000) can0 701#R");
    frame.id = 0x080;
    frame.length = 0;
    EXPECT_EQ(CanTrace::Line(frame, "can0", 1, 0), "(0000000001.000000) can0 080#");
}

TEST(CanTrace, AMissingFolderIsAnErrorAndNothingIsMade) {
    tarvo::test::TempFolder folder;
    CanTrace trace;
    EXPECT_NE(trace.Open(folder.File("nonexistent/x.txt")).find("does not exist"),
              std::string::npos);
    EXPECT_FALSE(trace.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(folder.File("nonexistent")));
    EXPECT_EQ(trace.Open(folder.File("x.txt")), "");
}

}  // namespace
}  // namespace tarvo::canbus::test
