#include "cli/ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace tarvo {

bool ProgramFolder::IsProgramFolder(const std::string& folder) {
    struct stat info {};
    return ::stat((folder + "/data/tarvo.dat").c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ProgramFolder::Find(const std::string& current, const std::string& executable) {
    if (IsProgramFolder(current)) {
        return current;
    }
    size_t slash = executable.rfind('/');
    if (slash != std::string::npos) {
        std::string folder = slash == 0 ? "/" : executable.substr(0, slash);
        if (IsProgramFolder(folder)) {
            return folder;
        }
    }
    return current;
}

std::string ProgramFolder::OwnExecutable() {
    std::vector<char> buffer(4096, '\0');
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
}

}  // namespace tarvo
