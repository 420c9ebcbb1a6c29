#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "drivesim/DriveSimOptions.h"
#include "drivesim/SerialFramer.h"
#include "tests/support/TempFolder.h"

namespace tarvo::sim::test {
namespace {

std::string Source() {
    const char* root = std::getenv("TARVO_SOURCE");
    return std::string(root != nullptr ? root : TARVO_SOURCE_DIR) + "/drivedata/dictionary.json";
}

// tarvo-drivesim as a child process with its standard output and error on pipes.
class Child {
public:
    explicit Child(const std::vector<std::string>& args) {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, STDIN_FILENO);
            std::vector<char*> argv;
            std::string program = TARVO_DRIVESIM_PATH;
            argv.push_back(program.data());
            std::vector<std::string> copy = args;
            for (std::string& arg : copy) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }

    // Standard output up to the line "ready", or everything until it closes.
    std::string ReadUntilReady() {
        std::string text;
        while (text.find("ready\n") == std::string::npos) {
            pollfd entry{out_, POLLIN, 0};
            if (::poll(&entry, 1, 10000) <= 0) {
                break;
            }
            char buffer[256];
            ssize_t got = ::read(out_, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            text.append(buffer, static_cast<size_t>(got));
        }
        return text;
    }
    std::string Errors() {
        std::string text;
        char buffer[256];
        ssize_t got;
        while ((got = ::read(err_, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<size_t>(got));
        }
        return text;
    }
    int Wait(int signal = 0) {
        if (signal != 0) {
            ::kill(pid_, signal);
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

TEST(DriveSimProgram, PrintsItsPortsServesThemAndCleansUpOnTerm) {
    tarvo::test::TempFolder folder;
    Child child({"--folder", folder.Path(), "--source", Source(), "--link", "ttyT1", "--can-sim",
                 "--no-console"});
    std::string out = child.ReadUntilReady();
    EXPECT_NE(out.find("port /dev/pts/"), std::string::npos) << out;
    EXPECT_NE(out.find("link " + folder.File("dev/ttyT1") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("bus " + folder.File("dev/cansim0") + "\n"), std::string::npos) << out;
    ASSERT_NE(out.find("ready\n"), std::string::npos) << child.Errors();

    int fd = ::open(folder.File("dev/ttyT1").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    SerialFramer::Frame request = SerialFramer::Encode(1, SdoReply::Expedited(0x40, 0x100800, 0));
    ASSERT_EQ(::write(fd, request.data(), 10), 10);
    std::vector<uint8_t> reply;
    while (reply.size() < 10) {
        pollfd entry{fd, POLLIN, 0};
        ASSERT_GT(::poll(&entry, 1, 5000), 0);
        uint8_t buffer[16];
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        ASSERT_GT(got, 0);
        reply.insert(reply.end(), buffer, buffer + got);
    }
    ::close(fd);
    EXPECT_EQ(reply[1], 0x41) << "the device name is a text upload";

    EXPECT_EQ(child.Wait(SIGTERM), 0);
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::symlink_status(folder.File("dev/ttyT1"))));
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::symlink_status(folder.File("dev/cansim0"))));
}

TEST(DriveSimProgram, BadCommandLinesAndSourcesGiveClearMessages) {
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string message;
    } cases[] = {
        {{"--node", "0"}, 2, "--node: expected a node ID from 1 to 127"},
        {{"--link"}, 2, "--link needs a value"},
        {{"--frobnicate"}, 2, "unknown option --frobnicate"},
        {{"--source", "/nonexistent/dictionary.json", "--no-console"},
         1,
         "cannot read the dictionary source"},
        {{"--source", Source(), "--link", "../../etc", "--no-console"},
         1,
         "a link name is a plain device name"},
    };
    for (const Case& c : cases) {
        Child child(c.args);
        child.ReadUntilReady();
        std::string errors = child.Errors();
        EXPECT_EQ(child.Wait(), c.code) << errors;
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
}

TEST(DriveSimOptions, FaultOptionsAndDefaults) {
    DriveSimOptions options;
    bool help = false;
    std::string error;
    ASSERT_TRUE(DriveSimOptions::Parse({}, options, help, error));
    EXPECT_TRUE(options.pty) << "RS232 on a pseudo-terminal when no transport is named";
    options = DriveSimOptions();
    ASSERT_TRUE(DriveSimOptions::Parse({"--can-sim", "--delay-every", "5:20", "--stray-every", "3",
                                        "--line-baud", "115200", "--turnaround", "2"},
                                       options, help, error))
        << error;
    EXPECT_FALSE(options.pty);
    EXPECT_EQ(options.canSimPath, "dev/cansim0");
    EXPECT_EQ(options.faults.delayEvery, 5u);
    EXPECT_EQ(options.faults.delayUs, 20000u);
    EXPECT_EQ(options.faults.strayEvery, 3u);
    EXPECT_EQ(options.faults.strayBytes, 3u);
    EXPECT_EQ(options.faults.turnaroundUs, 2000u);
    EXPECT_FALSE(DriveSimOptions::Parse({"--delay-every", "0"}, options, help, error));
    EXPECT_FALSE(DriveSimOptions::Parse({"--split", "12"}, options, help, error));
    EXPECT_FALSE(DriveSimOptions::Parse({"--can-bitrate", "fast"}, options, help, error));
    EXPECT_NE(error.find("--can-bitrate"), std::string::npos);
    EXPECT_FALSE(options.canPaced) << "frames pass at once unless asked";
}

TEST(DriveSimOptions, BitRatesInKilobitsAndPacing) {
    const struct {
        const char* text;
        uint32_t rate;  // 0: refused
    } cases[] = {{"500k", 500000}, {"1000K", 1000000}, {"125000", 125000}, {"5k", 5000},
                 {"1001k", 0},     {"4k", 0},          {"k", 0},           {"500kk", 0}};
    for (const auto& c : cases) {
        DriveSimOptions options;
        bool help = false;
        std::string error;
        bool parsed = DriveSimOptions::Parse({"--can-sim", "--can-bitrate", c.text, "--can-paced"},
                                             options, help, error);
        EXPECT_EQ(parsed, c.rate != 0) << c.text;
        if (parsed) {
            EXPECT_EQ(options.canBitRate, c.rate) << c.text;
            EXPECT_TRUE(options.canPaced);
        }
    }
}

}  // namespace
}  // namespace tarvo::sim::test
