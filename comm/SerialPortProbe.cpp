#include "comm/SerialPortProbe.h"

#include "comm/PortAlias.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <tuple>

namespace tarvo {

namespace {

constexpr size_t kMaxNameLength = 7;

enum class Probe { kAbsent, kPresent };

// Opens the device the way the serial library will; a port in use still counts.
Probe ProbeDevice(const std::string& path, bool requireHardware) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return (errno == EBUSY || errno == EACCES || errno == EPERM) ? Probe::kPresent
                                                                     : Probe::kAbsent;
    }
    Probe result = ::isatty(fd) ? Probe::kPresent : Probe::kAbsent;
    if (result == Probe::kPresent && requireHardware) {
        // The kernel creates ttyS0..31 whether or not a UART is fitted.
        serial_struct info{};
        if (::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN) {
            result = Probe::kAbsent;
        }
    }
    ::close(fd);
    return result;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

std::string ReadLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

// Natural order: ttyUSB2 before ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        size_t digits = s.find_last_not_of("0123456789") + 1;
        std::string number = s.substr(digits);
        return std::make_tuple(s.substr(0, digits), number.size(), number);
    };
    return split(a) < split(b);
}

bool IsSerialDeviceName(const std::string& name) {
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS", "ttyAMA", "rfcomm"}) {
        if (name.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool SerialPortProbe::IsPlainPortName(const std::string& name) {
    return name.size() <= kMaxNameLength && IsPortName(name);
}

bool SerialPortProbe::IsPortName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name.find("..") != std::string::npos ||
        name.front() == '/' || name.back() == '/') {
        return false;
    }
    size_t slashes = std::count(name.begin(), name.end(), '/');
    if (slashes > 1 || (slashes == 1 && name.rfind("pts/", 0) != 0)) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '/';
    });
}

std::vector<std::string> SerialPortProbe::ListPorts(const Options& options) {
    std::vector<std::string> ports;
    std::string linkFolder = options.programFolder + "/dev";
    std::vector<std::string> links = Entries(linkFolder);
    std::sort(links.begin(), links.end(), NaturalLess);
    for (const std::string& name : links) {
        if (IsPortName(name) && !PortAlias::IsAliasName(name) &&
            ProbeDevice(linkFolder + "/" + name, false) == Probe::kPresent) {
            ports.push_back(name);
        }
    }
    std::vector<std::string> devices = Entries(options.systemDevFolder);
    std::sort(devices.begin(), devices.end(), NaturalLess);
    for (const std::string& name : devices) {
        if (!IsSerialDeviceName(name) || !IsPortName(name) ||
            std::find(ports.begin(), ports.end(), name) != ports.end()) {
            continue;
        }
        if (ProbeDevice(options.systemDevFolder + "/" + name, true) == Probe::kPresent) {
            ports.push_back(name);
        }
    }
    return ports;
}

std::string SerialPortProbe::Describe(const Options& options, const std::string& name) {
    std::string local = options.programFolder + "/dev/" + name;
    struct stat info {};
    if (::lstat(local.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char target[PATH_MAX];
        ssize_t length = ::readlink(local.c_str(), target, sizeof target - 1);
        return length > 0 ? "-> " + std::string(target, static_cast<size_t>(length)) : "";
    }
    // The tty's device folder lies below its USB device, which names the adapter.
    char resolved[PATH_MAX];
    std::string device = options.sysTtyFolder + "/" + name + "/device";
    if (name.find('/') != std::string::npos || ::realpath(device.c_str(), resolved) == nullptr) {
        return "";
    }
    std::string folder = resolved;
    for (int depth = 0; depth < 4 && folder.size() > 1; ++depth) {
        std::string product = ReadLine(folder + "/product");
        if (!product.empty()) {
            std::string text = ReadLine(folder + "/manufacturer");
            text += (text.empty() ? "" : " ") + product;
            std::string serial = ReadLine(folder + "/serial");
            return serial.empty() ? text : text + " (" + serial + ")";
        }
        folder = folder.substr(0, folder.rfind('/'));
    }
    return "";
}

}  // namespace tarvo
