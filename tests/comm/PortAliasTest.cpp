#include "comm/PortAlias.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "comm/ConnectionSession.h"
#include "tests/serialport/PtyPeer.h"
#include "tests/support/TempFolder.h"

namespace tarvo::test {
namespace {

namespace fs = std::filesystem;

std::string Name(const std::string& folder, const std::string& port, int expected = 0) {
    std::string name;
    EXPECT_EQ(PortAlias::ShortName(folder, port, name), expected) << port;
    return name;
}

TEST(PortAliasTest, ShortNamesStayFullPathsAndLongNamesOpenThroughALink) {
    TempFolder folder;
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    const std::string device = "/dev/" + peer.PortName();
    fs::create_directories(folder.File("dev"));
    fs::create_directories(folder.File("by-id"));
    fs::create_symlink(device, folder.File("dev/ttyQ0"));
    fs::create_symlink(device, folder.File("dev/simulated0"));
    fs::create_symlink(device, folder.File("by-id/usb-Tarvo_Sim_Adapter-if00-port0"));

    EXPECT_EQ(Name(folder.Path(), "ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(Name(folder.Path(), device), peer.PortName());
    // A full path means that path, never the program folder's link of the same name.
    Name(folder.Path(), "/dev/ttyQ0", ENOENT);
    Name(folder.Path(), "../ttyS0", EINVAL);
    Name(folder.Path(), "/nonexistent/serial/port", ENOENT);

    std::string byId = folder.File("by-id/usb-Tarvo_Sim_Adapter-if00-port0");
    std::string alias = Name(folder.Path(), byId);
    EXPECT_TRUE(PortAlias::IsAliasName(alias)) << alias;
    EXPECT_EQ(fs::read_symlink(folder.File("dev/" + alias)).string(), byId);
    EXPECT_EQ(Name(folder.Path(), byId), alias);  // the link is reused

    std::string local = Name(folder.Path(), "simulated0");
    EXPECT_TRUE(PortAlias::IsAliasName(local)) << local;
    EXPECT_EQ(fs::canonical(folder.File("dev/" + local)), fs::canonical(device));
}

// The forms and the reconnect give the library a link for a long name, never a cut name.
TEST(PortAliasTest, SettingsOfALongNameHoldItsLinkAndNeverACutName) {
    TempFolder folder;
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    fs::create_directories(folder.File("dev"));
    fs::create_symlink("/dev/" + peer.PortName(), folder.File("dev/ttyUSB10"));
    fs::path previous = fs::current_path();
    fs::current_path(folder.Path());
    auto text = [](const CommSettings& settings) {
        std::string name;
        for (uint16_t unit : settings.portName) {
            if (unit != 0) {
                name.push_back(static_cast<char>(unit));
            }
        }
        return name;
    };
    std::string alias = text(ConnectionSession::MakeSettings("ttyUSB10", 1, 115200));
    std::string missing = text(ConnectionSession::MakeSettings("/no/such/port/here", 1, 9600));
    fs::current_path(previous);
    EXPECT_TRUE(PortAlias::IsAliasName(alias)) << alias;
    EXPECT_EQ(missing, "");
}

}  // namespace
}  // namespace tarvo::test
