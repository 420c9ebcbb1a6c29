#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <string>
#include <vector>

#include "tests/can/LoadedCanLibrary.h"
#include "tests/drivesim/SimulatorRun.h"

namespace tarvo::canbus::test {
namespace {

constexpr uint32_t k500K = 0x001C;

sim::DriveSimOptions BusOptions(const tarvo::test::TempFolder& folder) {
    sim::DriveSimOptions options;
    options.folder = folder.Path();
    options.canSim = true;
    options.canBitRate = 500000;
    return options;
}

void WriteIni(const tarvo::test::TempFolder& folder, const std::string& extra = "") {
    folder.Write("sys/can.ini", "[can]\r\nbackend=sim\r\nsocket=dev/cansim0\r\n" + extra);
}

TEST(LibCanSimBus, ReadsWritesAndUploadsThroughTheObjectsTable) {
    tarvo::test::TempFolder folder;
    WriteIni(folder);
    sim::test::SimulatorRun run(BusOptions(folder));
    ASSERT_TRUE(run.started);
    LoadedCanLibrary library(folder);
    ASSERT_NE(library.Object(), nullptr);
    ASSERT_EQ(library.Open(1, k500K), 0u) << library.LastError();

    CanMessage reply;
    ASSERT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 0u);
    EXPECT_EQ(reply.id, 0x581u);
    EXPECT_EQ(reply.type, 0);
    EXPECT_EQ(reply.length, 8);
    EXPECT_EQ(reply.data[0], 0x4B);
    EXPECT_EQ(LoadedCanLibrary::Key(reply), 0x604100u);
    EXPECT_EQ(LoadedCanLibrary::Value(reply), 0x0250u);

    ASSERT_EQ(library.Exchange(0x2B, 0x201101, 500, reply), 0u);
    EXPECT_EQ(LoadedCanLibrary::Value(reply), 500u);

    ASSERT_EQ(library.Exchange(0x40, 0x100800, 0, reply), 0u);
    EXPECT_EQ(reply.data[0], 0x41);
    std::string text;
    for (uint8_t toggle = 0x60;; toggle ^= 0x10) {
        ASSERT_EQ(library.Exchange(toggle, 0x100800, 0, reply), 0u);
        int count = 7 - ((reply.data[0] >> 1) & 7);
        text.append(reinterpret_cast<const char*>(reply.data + 1), count);
        if ((reply.data[0] & 1) != 0) {
            break;
        }
    }
    EXPECT_EQ(text, "TSD2405-CAN");

    std::string version = library.Version();
    EXPECT_NE(version.find("simulated bus"), std::string::npos) << version;
    EXPECT_EQ(version.substr(version.rfind(':')), ":1.0.0");
}

TEST(LibCanSimBus, TraceIsACandumpLog) {
    tarvo::test::TempFolder folder;
    WriteIni(folder, "trace=user/can.log\r\n");
    std::filesystem::create_directories(folder.File("user"));  // no folder is made for a trace
    sim::test::SimulatorRun run(BusOptions(folder));
    ASSERT_TRUE(run.started);
    {
        LoadedCanLibrary library(folder);
        ASSERT_EQ(library.Open(1, k500K), 0u) << library.LastError();
        CanMessage reply;
        ASSERT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 0u);
    }
    std::ifstream trace(folder.File("user/can.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(trace, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 2u);
    std::regex format(R"(\(\d{10}\.\d{6}\) cansim0 ([0-9A-F]{3})#([0-9A-F]*))");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, format)) << lines[0];
    EXPECT_EQ(match[1], "601");
    EXPECT_EQ(match[2], "4041600000000000");
    ASSERT_TRUE(std::regex_match(lines[1], match, format)) << lines[1];
    EXPECT_EQ(match[1], "581");
    EXPECT_EQ(match[2], "4B41600050020000");
}

TEST(LibCanSimBus, OpenRefusesWrongRatesNodesAndAMissingBus) {
    tarvo::test::TempFolder folder;
    WriteIni(folder);
    LoadedCanLibrary library(folder);
    EXPECT_EQ(library.Open(1, k500K), 5u);
    EXPECT_NE(library.LastError().find("no simulated drive serves the CAN bus"), std::string::npos)
        << library.LastError();

    sim::test::SimulatorRun run(BusOptions(folder));
    ASSERT_TRUE(run.started);
    EXPECT_EQ(library.Open(1, 0x011C), 5u);
    EXPECT_NE(library.LastError().find("bit rate mismatch: the simulated bus runs at 500000"),
              std::string::npos)
        << library.LastError();
    EXPECT_EQ(library.Open(0, k500K), 3u);
    EXPECT_EQ(library.Open(128, k500K), 3u);
    EXPECT_EQ(library.Open(1, 0x1234), 4u);
    EXPECT_EQ(library.Object()->ops->Open(library.Object(), nullptr), 1u);
    CanMessage reply;
    EXPECT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 1u) << "transmit while closed";
    EXPECT_EQ(library.Open(1, 0x532F), 5u) << "20 kbit/s is a rate, but not this bus's";
}

TEST(LibCanSimBus, RepliesAreMatchedToTheirRequestsWhateverElseIsOnTheBus) {
    tarvo::test::TempFolder folder;
    WriteIni(folder);
    sim::DriveSimOptions options = BusOptions(folder);
    options.faults.strayEvery = 1;  // heartbeat, PDO and node 2's reply before every answer
    options.faults.delayEvery = 3;  // every third answer comes after the reply timeout
    options.faults.delayUs = 120000;
    sim::test::SimulatorRun run(options);
    ASSERT_TRUE(run.started);
    LoadedCanLibrary library(folder);
    ASSERT_EQ(library.Open(1, k500K, 80), 0u) << library.LastError();
    const uint32_t keys[] = {0x604100, 0x201101, 0x200003, 0x201201, 0x201301, 0x100000};
    int answered = 0;
    int unanswered = 0;
    for (int round = 0; round < 3; ++round) {
        for (uint32_t key : keys) {
            CanMessage reply;
            uint32_t result = library.Exchange(0x40, key, 0, reply);
            if (result == 0) {
                ++answered;
                EXPECT_EQ(reply.id, 0x581u);
                EXPECT_EQ(LoadedCanLibrary::Key(reply), key) << "a stale or foreign reply";
                EXPECT_NE(LoadedCanLibrary::Value(reply), 0xDEADBEEFu);
            } else {
                ++unanswered;
                EXPECT_EQ(result, 3u);
            }
        }
    }
    EXPECT_GT(answered, 6);
    EXPECT_GT(unanswered, 0);
}

// Every second answer comes after the reply timeout: the segments of an upload are still
// taken, as a segment request waits a grace period longer; a read is not.
TEST(LibCanSimBus, ALateSegmentIsTakenWithinTheGracePeriod) {
    tarvo::test::TempFolder folder;
    WriteIni(folder);
    sim::DriveSimOptions options = BusOptions(folder);
    options.faults.delayEvery = 2;
    options.faults.delayUs = 300000;
    sim::test::SimulatorRun run(options);
    ASSERT_TRUE(run.started);
    LoadedCanLibrary library(folder);
    ASSERT_EQ(library.Open(1, k500K, 80), 0u) << library.LastError();
    CanMessage reply;
    ASSERT_EQ(library.Exchange(0x40, 0x100800, 0, reply), 0u);
    std::string text;
    for (uint8_t toggle = 0x60; text.size() < 16; toggle ^= 0x10) {
        ASSERT_EQ(library.Exchange(toggle, 0x100800, 0, reply), 0u) << text;
        text.append(reinterpret_cast<const char*>(reply.data + 1), 7 - ((reply.data[0] >> 1) & 7));
        if ((reply.data[0] & 1) != 0) {
            break;
        }
    }
    EXPECT_EQ(text, "TSD2405-CAN");
    EXPECT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 3u);  // the fourth answer, late
}

TEST(LibCanSimBus, SilenceAndALostBusAreTransmitFailures) {
    tarvo::test::TempFolder folder;
    WriteIni(folder);
    sim::DriveSimOptions options = BusOptions(folder);
    options.faults.dropEvery = 2;
    sim::test::SimulatorRun run(options);
    ASSERT_TRUE(run.started);
    LoadedCanLibrary library(folder);
    ASSERT_EQ(library.Open(1, k500K, 50), 0u) << library.LastError();
    CanMessage reply;
    EXPECT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 0u);
    EXPECT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 3u) << "dropped";
    EXPECT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 0u);
    EXPECT_EQ(library.Exchange(0x40, 0x604100, 0, reply, 9), 3u) << "no node 9 on the bus";
    EXPECT_EQ(library.Object()->ops->Receive(library.Object(), &reply), 1u);
    run.Stop();
    run.simulator.reset();  // the bus goes away
    uint32_t result = library.Exchange(0x40, 0x604100, 0, reply);
    EXPECT_TRUE(result == 2u || result == 4u) << result;
    library.Object()->ops->Close(library.Object());
    library.Object()->ops->Close(library.Object());
}

// The program closes the bus from its user-interface thread while the link's worker waits
// for a drive that does not answer: the wait ends at once instead of running out the reply
// timeout (a minute here), and nothing more goes out once the close has begun.
TEST(LibCanSimBus, CloseEndsATransmitWaitingForASilentDrive) {
    tarvo::test::TempFolder folder;
    WriteIni(folder, "trace=user/can.log\r\n");
    std::filesystem::create_directories(folder.File("user"));
    sim::DriveSimOptions options = BusOptions(folder);
    options.faults.dropEvery = 1;
    sim::test::SimulatorRun run(options);
    ASSERT_TRUE(run.started);
    LoadedCanLibrary library(folder);
    ASSERT_EQ(library.Open(1, k500K, 60000), 0u) << library.LastError();
    auto waiting = std::async(std::launch::async, [&] {
        CanMessage reply;
        return library.Exchange(0x40, 0x604100, 0, reply);
    });
    // The request is in the trace once it is on the bus; the transmit then waits.
    auto traced = [&] {
        std::ifstream trace(folder.File("user/can.log"));
        std::string line;
        return static_cast<bool>(std::getline(trace, line));
    };
    while (!traced() &&
           waiting.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
    }
    ASSERT_TRUE(traced());
    CanObject* object = library.Object();
    auto closing = std::async(std::launch::async, [object] { object->ops->Close(object); });
    // Half the reply timeout: only the close can have ended the wait by then.
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "the close did not end the wait";
    EXPECT_EQ(waiting.get(), 3u);
    closing.get();
    CanMessage reply;
    EXPECT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 1u) << "transmit after the close";
}

}  // namespace
}  // namespace tarvo::canbus::test
