#include <dlfcn.h>
#include <gtest/gtest.h>

#include "tests/can/LoadedCanLibrary.h"

namespace tarvo::canbus::test {
namespace {

// The double as the CAN library loads it: the same file gives the same instance.
class DoubleState {
public:
    DoubleState() : handle_(::dlopen(TARVO_PCAN_DOUBLE_PATH, RTLD_NOW | RTLD_LOCAL)) {}
    ~DoubleState() {
        if (handle_ != nullptr) {
            ::dlclose(handle_);
        }
    }
    template <typename Result>
    Result Call(const char* name) {
        auto function = reinterpret_cast<Result (*)()>(::dlsym(handle_, name));
        return function != nullptr ? function() : Result{};
    }

private:
    void* handle_;
};

void WriteIni(const tarvo::test::TempFolder& folder, const std::string& channel,
              const std::string& library = TARVO_PCAN_DOUBLE_PATH) {
    folder.Write("sys/can.ini",
                 "[can]\nbackend=pcan\nchannel=" + channel + "\nlibrary=" + library + "\n");
}

TEST(PcanBasicBackend, PassesTheCodeAndSkipsEverythingButTheReply) {
    tarvo::test::TempFolder folder;
    WriteIni(folder, "0x51");
    DoubleState peak;
    LoadedCanLibrary library(folder);
    ASSERT_EQ(library.Open(1, 0x011C), 0u) << library.LastError();
    EXPECT_EQ(peak.Call<uint32_t>("PcanDouble_BitRate"), 0x011Cu);
    CanMessage reply;
    ASSERT_EQ(library.Exchange(0x40, 0x604100, 0, reply), 0u);
    EXPECT_EQ(reply.id, 0x581u);
    EXPECT_EQ(LoadedCanLibrary::Key(reply), 0x604100u);
    EXPECT_EQ(LoadedCanLibrary::Value(reply), 0x12345678u);
    ASSERT_EQ(library.Exchange(0x40, 0x606400, 0, reply, 127), 0u);
    EXPECT_EQ(reply.id, 0x5FFu) << "node 127's reply, not node 1's";
    EXPECT_EQ(peak.Call<int>("PcanDouble_Writes"), 2);

    std::string version = library.Version();
    EXPECT_NE(version.find("PCAN-Basic 4.9.9.42"), std::string::npos) << version;
    EXPECT_EQ(version.substr(version.rfind(':')), ":1.0.0");
    library.Object()->ops->Close(library.Object());
    EXPECT_EQ(peak.Call<int>("PcanDouble_Open"), 0);
}

TEST(PcanBasicBackend, FailuresOfTheLibraryAreReported) {
    tarvo::test::TempFolder folder;
    WriteIni(folder, "0x52");
    LoadedCanLibrary library(folder);
    EXPECT_EQ(library.Open(1, 0x001C), 5u);
    EXPECT_NE(library.LastError().find("The hardware is not there (double)"), std::string::npos)
        << library.LastError();

    WriteIni(folder, "0x51", folder.File("data/libmissing.so"));
    EXPECT_EQ(library.Open(1, 0x001C), 5u);
    EXPECT_NE(library.LastError().find("cannot be loaded"), std::string::npos);
    EXPECT_EQ(library.Version(), "") << "no driver: the version query fails";

    WriteIni(folder, "0x51", TARVO_LIBCAN_PATH);
    EXPECT_EQ(library.Open(1, 0x001C), 5u);
    EXPECT_NE(library.LastError().find("is not a PCAN-Basic library"), std::string::npos)
        << library.LastError();
}

}  // namespace
}  // namespace tarvo::canbus::test
