#pragma once

#include <string>
#include <vector>

namespace tarvo {

// Why a serial port that exists could not be opened, told so that the user can fix it: a
// device the user may not open names the group that owns it, a device held by another
// program names the processes that hold it (as far as /proc shows them).
class PortAccess {
public:
    struct Holder {
        int pid = 0;
        std::string command;  // /proc/<pid>/comm
    };
    struct Diagnosis {
        enum class Kind { None, NoPermission, InUse } kind = Kind::None;
        std::string device;
        std::string group;               // the device's group (its number when it has no name)
        bool inGroupAfterLogin = false;  // the user is a member; this session is not yet
        std::vector<Holder> holders;
    };

    // The device the serial library opens for `name`: <folder>/dev/<name> when that
    // exists, else /dev/<name>.
    static std::string DevicePath(const std::string& programFolder, const std::string& name);
    // Looks into an open that failed with `error` (an errno); Kind::None for other causes.
    // `procRoot` is /proc, or a tree laid out like it.
    static Diagnosis Diagnose(const std::string& device, int error,
                              const std::string& procRoot = "/proc");
    // The explanation in English, empty for Kind::None.
    static std::string Describe(const Diagnosis& diagnosis);
    // Diagnose and Describe in one.
    static std::string Explain(const std::string& device, int error);
};

}  // namespace tarvo
