#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "tests/comm/CommTestSupport.h"
#include "tests/serialport/PtyPeer.h"
#include "tests/support/TempFolder.h"

#ifndef TARVOCTL_PROGRAM
#error "TARVOCTL_PROGRAM must name the tool"
#endif

namespace tarvo::test {
namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::chrono::milliseconds took{0};
};

// tarvoctl, run from the staged program folder against the peer's port.
class TarvoctlLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer_.ok()); }

    RunResult Run(const std::string& arguments) {
        std::string command = std::string(TARVOCTL_PROGRAM) + " --folder " + StageFolder() +
                              " --port " + peer_.PortName() + " " + arguments + " > " +
                              files_.File("out") + " 2> " + files_.File("err");
        auto start = std::chrono::steady_clock::now();
        int status = std::system(command.c_str());
        RunResult result;
        result.took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = files_.Read("out");
        result.err = files_.Read("err");
        return result;
    }

    // Answers segment requests from `text`, seven bytes at a time.
    void ServeText(const std::string& text) {
        peer_.Serve([text, offset = size_t{0}](const Bytes& request) mutable {
            if (request[1] == 0x40) {
                return std::vector<Bytes>{
                    ReplyTo(request, 0x41, static_cast<uint32_t>(text.size()))};
            }
            size_t count = std::min<size_t>(7, text.size() - offset);
            bool last = offset + count >= text.size();
            Bytes reply(10, 0);
            reply[0] = request[0];
            reply[1] =
                static_cast<uint8_t>((request[1] & 0x10) | (7 - count) << 1 | (last ? 1 : 0));
            std::memcpy(reply.data() + 2, text.data() + offset, count);
            offset += count;
            uint8_t sum = 0;
            for (int i = 0; i < 9; ++i) {
                sum = static_cast<uint8_t>(sum + reply[i]);
            }
            reply[9] = static_cast<uint8_t>(-sum);
            return std::vector<Bytes>{reply};
        });
    }

    PtyPeer peer_;
    TempFolder files_;
};

TEST_F(TarvoctlLinkTest, ReadPrintsTheValueAndTracesTheExchange) {
    peer_.Serve([](const Bytes& r) { return std::vector<Bytes>{ReplyTo(r, 0x4B, 1234)}; });
    RunResult result = Run("--node 3 --trace " + files_.File("trace.txt") + " read 6041:0");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "0x4D2\n");  // the status word as the dictionary shows it
    ASSERT_EQ(peer_.Requests().size(), 1u);
    EXPECT_EQ(peer_.Requests()[0], DriveFrame(3, 0x40, 0x6041, 0, 0));
    std::string trace = files_.Read("trace.txt");
    EXPECT_NE(trace.find("03 40 41 60 00 00 00 00 00 1C  ->  03 4B 41 60 00 D2 04 00 00"),
              std::string::npos)
        << trace;
}

TEST_F(TarvoctlLinkTest, WritePrintsWhatTheDriveReportsAndAbortsAreShown) {
    peer_.Serve([](const Bytes& r) {
        return std::vector<Bytes>{r[4] == 1 ? ReplyTo(r, 0x80, 0x06090030)
                                            : ReplyTo(r, 0x60, 0xFFFE)};
    });
    RunResult result = Run("write 0x607A:0 -2 --width 16");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "65534\n");
    EXPECT_EQ(peer_.Requests()[0], DriveFrame(1, 0x2B, 0x607A, 0, 0xFFFE));

    result = Run("read 6041:1");
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("6041:01: the drive refused: abort 0x06090030 (Invalid value for "
                              "parameter)"),
              std::string::npos)
        << result.err;
}

// The link reads the entry back after a refused write; the write still fails.
TEST_F(TarvoctlLinkTest, RefusedWriteExitsThreeWithTheAbort) {
    peer_.Serve([](const Bytes& r) {
        return std::vector<Bytes>{r[1] == 0x40 ? ReplyTo(r, 0x43, 100)
                                               : ReplyTo(r, 0x80, 0x06010002)};
    });
    RunResult result = Run("write 6041:0 5 --width 16");
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("abort 0x06010002 (Attempt to write a read only object)"),
              std::string::npos)
        << result.err;
}

TEST_F(TarvoctlLinkTest, UploadEndsAtTheLastSegment) {
    ServeText("TarvoStep 1.0");
    RunResult result = Run("upload 1008:0");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "TarvoStep 1.0\n");

    // A text whose length is a multiple of seven ends without a request too many.
    ServeText("Fourteen bytes");
    size_t before = peer_.RequestCount();
    result = Run("upload 1008:0");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "Fourteen bytes\n");
    auto requests = peer_.Requests();
    ASSERT_EQ(requests.size() - before, 3u);
    EXPECT_EQ(requests[before + 1][1], 0x60);
    EXPECT_EQ(requests[before + 2][1], 0x70);
}

TEST_F(TarvoctlLinkTest, SilentDriveGivesExitCodeTwo) {
    peer_.Serve([](const Bytes&) { return std::vector<Bytes>{}; });
    RunResult result = Run("--timeout 100 read 6041:0");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("does not answer"), std::string::npos) << result.err;
    EXPECT_LT(result.took, std::chrono::milliseconds(20000));  // no hang
}

TEST_F(TarvoctlLinkTest, BadInputIsRefusedClearly) {
    EXPECT_EQ(Run("read 6041").exitCode, 1);
    EXPECT_EQ(Run("read 12345:0").exitCode, 1);
    EXPECT_EQ(Run("write 6040:0 300 --width 8").exitCode, 1);
    EXPECT_EQ(Run("write 6040:0 -129 --width 8").exitCode, 1);
    EXPECT_EQ(Run("write 2FFF:7F 5").exitCode, 1);  // no --width, and no entry to take it from
    // diff's usage error and unreadable file are bad input, as in every other command.
    EXPECT_EQ(Run("diff").exitCode, 1);
    EXPECT_EQ(Run("diff a.cdi b.cdi").exitCode, 1);
    EXPECT_EQ(Run("diff no-such-file.cdi").exitCode, 1);
    RunResult result = Run("--baud x read 6041:0");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("--baud"), std::string::npos);
    EXPECT_EQ(peer_.RequestCount(), 0u);
}

TEST(TarvoctlPort, MissingPortIsReported) {
    TempFolder files;
    std::string command = std::string(TARVOCTL_PROGRAM) + " --folder " + StageFolder() +
                          " --port ttyZZ9 read 6041:0 2> " + files.File("err");
    int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(files.Read("err").find("cannot open port ttyZZ9"), std::string::npos);
}

}  // namespace
}  // namespace tarvo::test
