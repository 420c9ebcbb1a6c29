#include <gtest/gtest.h>

#include "can/CanLinkInfo.h"
#include "can/SocketCanBackend.h"
#include "tests/can/LoadedCanLibrary.h"

namespace tarvo::canbus::test {
namespace {

// No CAN interface can be made on a test machine without the vcan module; what can be
// checked is how the kernel is asked and what the user is told.
TEST(SocketCan, KernelIsAskedAboutTheInterface) {
    CanLinkInfo info;
    std::string error;
    ASSERT_TRUE(CanLinkInfo::Query("lo", info, error)) << error;
    EXPECT_TRUE(info.exists);
    EXPECT_TRUE(info.up);
    EXPECT_EQ(info.bitRate, 0u) << "not a CAN interface: no bit timing";
    ASSERT_TRUE(CanLinkInfo::Query("nosuchcan9", info, error)) << error;
    EXPECT_FALSE(info.exists);

    SocketCanBackend backend("nosuchcan9");
    EXPECT_NE(backend.Open(0x001C, 500000).find("no CAN interface nosuchcan9"), std::string::npos);
    std::string detail;
    EXPECT_FALSE(backend.Probe(detail));
}

TEST(SocketCan, MissingAdapterFailsOpenAndTheVersionQuery) {
    tarvo::test::TempFolder folder;
    folder.Write("sys/can.ini", "[can]\nbackend=socketcan\ninterface=nosuchcan9\n");
    LoadedCanLibrary library(folder);
    EXPECT_EQ(library.Version(), "");
    EXPECT_NE(library.LastError().find("no CAN interface nosuchcan9"), std::string::npos)
        << library.LastError();
    EXPECT_EQ(library.Open(1, 0x001C), 5u);
}

}  // namespace
}  // namespace tarvo::canbus::test
