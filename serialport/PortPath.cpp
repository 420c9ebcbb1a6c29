#include "serialport/PortPath.h"

#include <sys/stat.h>

namespace tarvo::serial {

bool PortPath::IsPlainName(const std::string& name) {
    if (name.empty() || name.size() > 7 || name.front() == '/' || name.back() == '/') {
        return false;
    }
    for (char c : name) {
        bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || c == '.' || c == '/';
        if (!allowed) {
            return false;
        }
    }
    // Every component must be a real name: no empty, "." or ".." parts.
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool PortPath::FromName(const uint16_t (&units)[8], std::string& path) {
    std::string name;
    size_t i = 0;
    for (; i < 8 && units[i] != 0; ++i) {
        if (units[i] > 0x7E) {
            return false;
        }
        name.push_back(static_cast<char>(units[i]));
    }
    if (i == 8 || !IsPlainName(name)) {
        return false;
    }
    std::string local = "dev/" + name;
    struct stat info {};
    path = ::stat(local.c_str(), &info) == 0 ? local : "/dev/" + name;
    return true;
}

}  // namespace tarvo::serial
