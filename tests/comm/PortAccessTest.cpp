#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "comm/PortAccess.h"
#include "tests/support/TempFolder.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;
using Kind = PortAccess::Diagnosis::Kind;

// A tree laid out like /proc: processes with descriptors linked to files.
struct FakeProc {
    test::TempFolder root;
    std::string device = root.Write("dev/ttyUSB0", "");
    std::string Proc() const { return root.File("proc"); }
    void Process(const std::string& pid, const std::string& command,
                 std::initializer_list<std::string> targets) {
        root.Write("proc/" + pid + "/comm", command + "\n");
        fs::create_directories(root.File("proc/" + pid + "/fd"));
        int fd = 0;
        for (const std::string& target : targets) {
            fs::create_symlink(target, root.File("proc/" + pid + "/fd/" + std::to_string(fd++)));
        }
    }
};

TEST(PortAccess, InUseNamesEveryProcessThatHoldsTheDeviceByPid) {
    FakeProc proc;
    proc.Process("812", "minicom", {"/dev/null", proc.device});
    proc.Process("97", "screen", {proc.device});
    proc.Process("300", "bash", {proc.device + "-not", "/dev/tty"});
    proc.Process(std::to_string(::getpid()), "self", {proc.device});  // the asking process
    proc.Process("self", "self", {proc.device});                      // no process number
    proc.Process("12x", "odd", {proc.device});
    // Held through another name of the same device.
    fs::create_symlink(proc.device, proc.root.File("dev/alias"));

    PortAccess::Diagnosis busy =
        PortAccess::Diagnose(proc.root.File("dev/alias"), EBUSY, proc.Proc());
    EXPECT_EQ(busy.kind, Kind::InUse);
    EXPECT_EQ(busy.device, fs::canonical(proc.device).string());
    ASSERT_EQ(busy.holders.size(), 2u);
    EXPECT_EQ(busy.holders[0].pid, 97);
    EXPECT_EQ(busy.holders[0].command, "screen");
    EXPECT_EQ(busy.holders[1].pid, 812);
    EXPECT_EQ(PortAccess::Describe(busy),
              busy.device +
                  " is in use by screen (process 97), minicom (process 812). Close it there, then "
                  "connect again.");

    PortAccess::Diagnosis unseen = PortAccess::Diagnose(proc.device, EBUSY, proc.root.File("none"));
    EXPECT_EQ(PortAccess::Describe(unseen), unseen.device + " is in use by another program.");
}

TEST(PortAccess, OnlyPermissionAndBusyFailuresOfAnExistingDeviceAreExplained) {
    FakeProc proc;
    struct Case {
        std::string device;
        int error;
        Kind kind;
    } cases[] = {
        {proc.device, EACCES, Kind::NoPermission},
        {proc.device, EPERM, Kind::NoPermission},
        {proc.device, EBUSY, Kind::InUse},
        {proc.device, ENOENT, Kind::None},
        {proc.device, ENOTTY, Kind::None},
        {proc.device, 0, Kind::None},
        {proc.root.File("dev/gone"), EACCES, Kind::None},
    };
    for (const Case& c : cases) {
        PortAccess::Diagnosis diagnosis = PortAccess::Diagnose(c.device, c.error, proc.Proc());
        EXPECT_EQ(diagnosis.kind, c.kind) << c.device << " " << c.error;
        EXPECT_EQ(PortAccess::Describe(diagnosis).empty(), c.kind == Kind::None) << c.error;
    }
}

TEST(PortAccess, NoPermissionNamesTheDevicesGroupAndHowToJoinIt) {
    PortAccess::Diagnosis diagnosis;
    diagnosis.kind = Kind::NoPermission;
    diagnosis.device = "/dev/ttyUSB0";
    diagnosis.group = "dialout";
    std::string text = PortAccess::Describe(diagnosis);
    EXPECT_EQ(text.rfind("You may not open /dev/ttyUSB0: it belongs to group dialout. Add yourself "
                         "to that group (sudo adduser ",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find(" dialout), then log out and in again."), std::string::npos) << text;
    diagnosis.inGroupAfterLogin = true;
    EXPECT_EQ(PortAccess::Describe(diagnosis),
              "You may not open /dev/ttyUSB0: it belongs to group dialout. You are a member of "
              "dialout since this session began: log out and in again.");
}

TEST(PortAccess, DevicePathPrefersTheProgramFoldersLink) {
    test::TempFolder folder;
    folder.Write("dev/ttySIM0", "");
    EXPECT_EQ(PortAccess::DevicePath(folder.Path(), "ttySIM0"), folder.File("dev/ttySIM0"));
    EXPECT_EQ(PortAccess::DevicePath(folder.Path(), "ttyUSB7"), "/dev/ttyUSB7");
    EXPECT_EQ(PortAccess::DevicePath(folder.Path(), "/dev/ttyS0"), "/dev/ttyS0");
}

}  // namespace
}  // namespace tarvo
