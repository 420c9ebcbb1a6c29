#include "comm/PortAlias.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "comm/SerialPortProbe.h"

namespace tarvo {

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string LinkTarget(const std::string& link) {
    std::vector<char> buffer(4096, '\0');
    ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
}

uint32_t Hash(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

bool HasPathTricks(const std::string& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        end = end == std::string::npos ? path.size() : end;
        if (path.compare(start, end - start, "..") == 0 && end - start == 2) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Links <folder>/dev/aNNNNNN to `target`, reusing a link that already points there. The
// link is made under a temporary name and renamed into place, so that a tool running at
// the same time never sees half of it.
int MakeLink(const std::string& folder, const std::string& target, std::string& name) {
    std::string devFolder = folder + "/dev";
    if (::mkdir(devFolder.c_str(), 0755) != 0 && errno != EEXIST) {
        return errno;
    }
    uint32_t hash = Hash(target);
    for (uint32_t attempt = 0; attempt < 16; ++attempt) {
        char shortName[8];
        std::snprintf(shortName, sizeof shortName, "a%06x", (hash + attempt) & 0xFFFFFF);
        std::string link = devFolder + "/" + shortName;
        if (Exists(link)) {
            if (LinkTarget(link) == target) {
                name = shortName;
                return 0;
            }
            continue;  // another port's link
        }
        std::string temporary = link + "." + std::to_string(::getpid());
        ::unlink(temporary.c_str());
        if (::symlink(target.c_str(), temporary.c_str()) != 0) {
            return errno;
        }
        if (::rename(temporary.c_str(), link.c_str()) != 0) {
            int error = errno;
            ::unlink(temporary.c_str());
            return error;
        }
        name = shortName;
        return 0;
    }
    return EEXIST;
}

}  // namespace

bool PortAlias::IsAliasName(const std::string& name) {
    return name.size() == 7 && name[0] == 'a' &&
           name.find_first_not_of("0123456789abcdef", 1) == std::string::npos;
}

bool PortAlias::FitsLibrary(const std::string& name) {
    return SerialPortProbe::IsPlainPortName(name);
}

int PortAlias::ShortName(const std::string& folder, const std::string& port, std::string& name) {
    if (port.empty() || HasPathTricks(port)) {
        return EINVAL;
    }
    // Links hold absolute targets: a relative one would be read from inside dev/.
    char resolved[PATH_MAX];
    std::string programFolder = ::realpath(folder.c_str(), resolved) ? resolved : folder;
    if (port.front() != '/') {
        if (FitsLibrary(port)) {
            name = port;
            return 0;
        }
        std::string local = programFolder + "/dev/" + port;
        std::string target = Exists(local) ? local : "/dev/" + port;
        return Exists(target) ? MakeLink(programFolder, target, name) : ENOENT;
    }
    if (!Exists(port)) {
        return ENOENT;
    }
    const std::string devPrefix = "/dev/";
    if (port.rfind(devPrefix, 0) == 0) {
        std::string bare = port.substr(devPrefix.size());
        if (FitsLibrary(bare) && !Exists(programFolder + "/dev/" + bare)) {
            name = bare;
            return 0;
        }
    }
    return MakeLink(programFolder, port, name);
}

}  // namespace tarvo
