#pragma once

#include <cstdint>
#include <string>

namespace tarvo::canbus {

// The CAN library's settings file sys/can.ini, section [can]:
//
//   backend=socketcan | pcan | sim     (default socketcan)
//   interface=can0                     SocketCAN interface (default can0)
//   channel=0x51                       PCAN-Basic channel handle (default 0x51, PCAN_USBBUS1)
//   library=libpcanbasic.so            PCAN-Basic library (default libpcanbasic.so)
//   socket=dev/cansim0                 simulated bus socket (default dev/cansim0)
//   trace=user/can.log                 candump log of every frame (default: none)
//
// Relative paths are taken from the program folder. A missing file means the defaults.
// The environment variable TARVO_CAN_INI, when set, names another file to read instead.
struct CanSettings {
    enum class Backend { SocketCan, Pcan, SimBus };

    Backend backend = Backend::SocketCan;
    std::string interface = "can0";
    uint32_t channel = 0x51;
    std::string library = "libpcanbasic.so";
    std::string socket = "dev/cansim0";
    std::string trace;

    // Reads <programFolder>/sys/can.ini; false with a message naming the file, the key and
    // what is wrong.
    static bool Load(const std::string& programFolder, CanSettings& settings, std::string& error);
    static std::string BackendName(Backend backend);
    // The backend with what it opens, in the file's own words: "backend=socketcan
    // interface=can0", "backend=pcan library=... channel=0x51", "backend=sim socket=...".
    std::string Describe() const;
};

}  // namespace tarvo::canbus
