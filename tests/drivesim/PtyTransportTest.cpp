#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "drivesim/SerialFramer.h"
#include "tests/drivesim/SimulatorRun.h"
#include "tests/support/TempFolder.h"

namespace tarvo::sim::test {
namespace {

using Frame = SerialFramer::Frame;

// The program's side of the line: the terminal opened raw, as the serial library does.
class Terminal {
public:
    explicit Terminal(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios settings{};
            ::tcgetattr(fd_, &settings);
            ::cfmakeraw(&settings);
            ::tcsetattr(fd_, TCSANOW, &settings);
        }
    }
    ~Terminal() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool IsOpen() const { return fd_ >= 0; }

    void Send(uint8_t command, uint32_t key, uint32_t data = 0, uint8_t node = 1) {
        Frame frame = SerialFramer::Encode(node, SdoReply::Expedited(command, key, data));
        ASSERT_EQ(::write(fd_, frame.data(), frame.size()), 10);
    }
    // Collects bytes until `count` arrived or the line stays quiet for quietMs; -1 when
    // the line hung up.
    int Collect(std::vector<uint8_t>& bytes, size_t count, int quietMs = 1000) {
        while (bytes.size() < count) {
            pollfd entry{fd_, POLLIN, 0};
            int ready = ::poll(&entry, 1, quietMs);
            if (ready <= 0) {
                return 0;
            }
            uint8_t buffer[64];
            ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0) {
                return (entry.revents & POLLHUP) != 0 || got == 0 ? -1 : 0;
            }
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return 1;
    }
    std::vector<uint8_t> Exchange(uint8_t command, uint32_t key, uint32_t data = 0) {
        Send(command, key, data);
        std::vector<uint8_t> bytes;
        Collect(bytes, 10);
        return bytes;
    }

private:
    int fd_ = -1;
};

uint32_t ValueOf(const std::vector<uint8_t>& reply) {
    return reply.size() < 10
               ? 0xFFFFFFFF
               : static_cast<uint32_t>(reply[5] | reply[6] << 8 | reply[7] << 16 | reply[8] << 24);
}

TEST(PtyTransport, AnswersOnTheLinkedTerminalAndRemovesTheLink) {
    tarvo::test::TempFolder folder;
    DriveSimOptions options;
    options.folder = folder.Path();
    options.pty = true;
    options.link = "ttySIM0";
    options.rebootSilenceMs = 300;
    std::string link = folder.File("dev/ttySIM0");
    {
        SimulatorRun run(options);
        ASSERT_TRUE(run.started);
        ASSERT_TRUE(std::filesystem::is_symlink(link));
        Terminal terminal(link);
        ASSERT_TRUE(terminal.IsOpen());
        std::vector<uint8_t> reply = terminal.Exchange(0x40, 0x604100);
        ASSERT_EQ(reply.size(), 10u);
        EXPECT_EQ(reply[1], 0x4B);
        EXPECT_EQ(ValueOf(reply), 0x0250u);
        EXPECT_EQ(SerialFramer::Checksum(reply.data()), reply[9]);
        terminal.Send(0x40, 0x604100, 0, 2);  // another node's request goes unanswered
        std::vector<uint8_t> none;
        EXPECT_EQ(terminal.Collect(none, 1, 100), 0);
        // The reboot reply comes, then nothing until the drive is up again.
        EXPECT_EQ(ValueOf(terminal.Exchange(0x2B, 0x2FFF00, 0xAA55)), 0xAA55u);
        terminal.Send(0x40, 0x604100);
        EXPECT_EQ(terminal.Collect(none, 1, 20), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_EQ(ValueOf(terminal.Exchange(0x40, 0x604100)), 0x0250u);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(PtyTransport, FaultsShapeTheRepliesAndCloseEndsTheRun) {
    tarvo::test::TempFolder folder;
    DriveSimOptions options;
    options.folder = folder.Path();
    options.pty = true;
    options.faults.echo = true;
    options.faults.dropEvery = 2;
    options.faults.closeAfter = 3;
    SimulatorRun run(options);
    ASSERT_TRUE(run.started);
    Terminal terminal(run.simulator->PortPath());
    std::vector<uint8_t> bytes;
    terminal.Send(0x40, 0x604100);
    EXPECT_EQ(terminal.Collect(bytes, 20), 1);
    EXPECT_EQ(bytes[1], 0x40) << "the echo comes first";
    EXPECT_EQ(bytes[11], 0x4B);
    bytes.clear();
    terminal.Send(0x40, 0x604100);
    EXPECT_EQ(terminal.Collect(bytes, 20, 100), 0);
    EXPECT_EQ(bytes.size(), 10u) << "only the echo: the second reply is dropped";
    bytes.clear();
    terminal.Send(0x40, 0x604100);
    EXPECT_EQ(terminal.Collect(bytes, 20), 1);
    bytes.clear();
    EXPECT_EQ(terminal.Collect(bytes, 1, 2000), -1) << "the port closes after three";
    run.thread.join();
    EXPECT_EQ(run.exitCode, 0);
}

}  // namespace
}  // namespace tarvo::sim::test
