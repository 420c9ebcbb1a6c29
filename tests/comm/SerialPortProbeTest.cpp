#include "comm/SerialPortProbe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/serialport/PtyPeer.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {
namespace {

namespace fs = std::filesystem;

// A program folder and a stand-in for /dev, both holding links to pseudo-terminals.
class SerialPortProbeTest : public ::testing::Test {
protected:
    void Link(const std::string& folder, const std::string& name, const PtyPeer& peer) {
        fs::create_directories(folder);
        fs::create_symlink("/dev/" + peer.PortName(), folder + "/" + name);
    }
    std::vector<std::string> List() {
        return SerialPortProbe::ListPorts({program.Path(), devices.Path()});
    }

    TempFolder program;
    TempFolder devices;
    PtyPeer a, b, c;
};

TEST_F(SerialPortProbeTest, ProgramLinksComeFirstThenSerialDevicesInNaturalOrder) {
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    Link(program.File("dev"), "ttySIM0", a);
    Link(program.File("dev"), "ttyUSB0", b);
    Link(devices.Path(), "ttyS10", a);
    Link(devices.Path(), "ttyS2", b);
    Link(devices.Path(), "ttyUSB10", b);      // opened through a short link
    Link(program.File("dev"), "a0c1d2e", b);  // such a short link
    Link(devices.Path(), "ttyUSB0", c);       // named by the program folder already
    Link(devices.Path(), "ttyACM0", c);
    Link(devices.Path(), "tty5", c);  // a console, not a serial port
    Link(devices.Path(), "pts", c);
    program.Write("dev/notatty", "x");
    program.Write("dev/ttyLONGER1", "x");
    EXPECT_EQ(List(), (std::vector<std::string>{"ttySIM0", "ttyUSB0", "ttyACM0", "ttyS2", "ttyS10",
                                                "ttyUSB10"}));
}

TEST_F(SerialPortProbeTest, LinksToNothingAreLeftOut) {
    fs::create_directories(program.File("dev"));
    fs::create_symlink(program.File("gone"), program.File("dev/ttySIM1"));
    fs::create_symlink(program.File("gone"), devices.File("ttyUSB0"));
    EXPECT_TRUE(List().empty());
    // No dev/ folder at all is no error either.
    EXPECT_TRUE(SerialPortProbe::ListPorts({"/nonexistent-folder", "/nonexistent-dev"}).empty());
}

TEST_F(SerialPortProbeTest, PortHeldByAnotherProgramIsListed) {
    ASSERT_TRUE(a.ok());
    Link(program.File("dev"), "ttySIM0", a);
    const std::string port = "/dev/" + a.PortName();
    int holder = ::open(port.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(List(), std::vector<std::string>{"ttySIM0"});
        ::close(holder);
        return;
    }
    // Exclusive mode does not hold against root: the probe runs as another user, to whom
    // the terminal belongs, so that its open fails as it does for a user against a held port.
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::chown(port.c_str(), kNobody, static_cast<gid_t>(-1)), 0);
    ::chmod(program.Path().c_str(), 0755);
    ::chmod(program.File("dev").c_str(), 0755);
    ::chmod(devices.Path().c_str(), 0755);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool listed = ::setuid(kNobody) == 0 && List() == std::vector<std::string>{"ttySIM0"};
        ::_exit(listed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(holder);
}

TEST(SerialPortName, PlainNamesOnly) {
    for (const char* good : {"ttyS0", "ttyUSB0", "ttyACM9", "pts/3", "pts/123", "COM1"}) {
        EXPECT_TRUE(SerialPortProbe::IsPlainPortName(good)) << good;
    }
    for (const char* bad : {"", "ttyUSB10", "ttyACM12", "../tty", "/dev/x", "pts/", "a/b",
                            "pts/1/2", "tty S0", "..", "tty;rm"}) {
        EXPECT_FALSE(SerialPortProbe::IsPlainPortName(bad)) << bad;
    }
}

}  // namespace
}  // namespace tarvo::test
