#include "comm/PortAccess.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>

namespace tarvo {

namespace {

std::string GroupName(gid_t gid) {
    struct group entry {};
    struct group* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->gr_name != nullptr) {
        return found->gr_name;
    }
    return std::to_string(gid);
}

std::string UserName() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr) {
        return found->pw_name;
    }
    return std::string();
}

bool InSessionGroups(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<size_t>(count) : 0);
    count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return count > 0 && std::find(groups.begin(), groups.begin() + count, gid) != groups.end();
}

// The user's groups as the next login will have them.
bool InAccountGroups(gid_t gid) {
    std::string user = UserName();
    if (user.empty()) {
        return false;
    }
    int count = 64;
    std::vector<gid_t> groups;
    for (int attempt = 0; attempt < 4; ++attempt) {
        groups.resize(static_cast<size_t>(count));
        int asked = count;
        if (::getgrouplist(user.c_str(), ::getgid(), groups.data(), &count) >= 0) {
            return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
        }
        count = std::max(count, asked * 2);
    }
    return false;
}

std::string Resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
}

std::vector<PortAccess::Holder> Holders(const std::string& device, const std::string& procRoot) {
    std::vector<PortAccess::Holder> holders;
    const std::string target = Resolved(device);
    const int self = static_cast<int>(::getpid());
    DIR* processes = ::opendir(procRoot.c_str());
    if (processes == nullptr) {
        return holders;
    }
    while (dirent* process = ::readdir(processes)) {
        char* end = nullptr;
        long pid = std::strtol(process->d_name, &end, 10);
        if (end == process->d_name || *end != '\0' || pid <= 0 || pid == self) {
            continue;
        }
        const std::string base = procRoot + "/" + process->d_name;
        DIR* fds = ::opendir((base + "/fd").c_str());
        if (fds == nullptr) {
            continue;  // another user's process: not ours to look into
        }
        bool holds = false;
        while (dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.') {
                continue;
            }
            char link[PATH_MAX];
            ssize_t length =
                ::readlink((base + "/fd/" + fd->d_name).c_str(), link, sizeof link - 1);
            if (length > 0 && std::string(link, static_cast<size_t>(length)) == target) {
                holds = true;
                break;
            }
        }
        ::closedir(fds);
        if (holds) {
            std::string command;
            std::ifstream(base + "/comm") >> command;
            holders.push_back({static_cast<int>(pid), command});
        }
    }
    ::closedir(processes);
    std::sort(
        holders.begin(), holders.end(),
        [](const PortAccess::Holder& a, const PortAccess::Holder& b) { return a.pid < b.pid; });
    return holders;
}

}  // namespace

std::string PortAccess::DevicePath(const std::string& programFolder, const std::string& name) {
    if (!name.empty() && name[0] == '/') {
        return name;
    }
    std::string own = (programFolder.empty() ? std::string(".") : programFolder) + "/dev/" + name;
    struct stat info {};
    return ::stat(own.c_str(), &info) == 0 ? own : "/dev/" + name;
}

PortAccess::Diagnosis PortAccess::Diagnose(const std::string& device, int error,
                                           const std::string& procRoot) {
    Diagnosis diagnosis;
    diagnosis.device = Resolved(device);
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) {
        return diagnosis;
    }
    if (error == EACCES || error == EPERM) {
        diagnosis.kind = Diagnosis::Kind::NoPermission;
        diagnosis.group = GroupName(info.st_gid);
        diagnosis.inGroupAfterLogin = !InSessionGroups(info.st_gid) && InAccountGroups(info.st_gid);
    } else if (error == EBUSY) {
        diagnosis.kind = Diagnosis::Kind::InUse;
        diagnosis.holders = Holders(device, procRoot);
    }
    return diagnosis;
}

std::string PortAccess::Describe(const Diagnosis& diagnosis) {
    switch (diagnosis.kind) {
        case Diagnosis::Kind::NoPermission: {
            std::string text = "You may not open " + diagnosis.device + ": it belongs to group " +
                               diagnosis.group + ". ";
            if (diagnosis.inGroupAfterLogin) {
                return text + "You are a member of " + diagnosis.group +
                       " since this session began: log out and in again.";
            }
            std::string user = UserName();
            return text + "Add yourself to that group (sudo adduser " +
                   (user.empty() ? std::string("$USER") : user) + " " + diagnosis.group +
                   "), then log out and in again.";
        }
        case Diagnosis::Kind::InUse: {
            if (diagnosis.holders.empty()) {
                return diagnosis.device + " is in use by another program.";
            }
            std::string text = diagnosis.device + " is in use by ";
            for (size_t i = 0; i < diagnosis.holders.size(); ++i) {
                const Holder& holder = diagnosis.holders[i];
                text += (i == 0 ? "" : ", ") + holder.command + " (process " +
                        std::to_string(holder.pid) + ")";
            }
            return text + ". Close it there, then connect again.";
        }
        case Diagnosis::Kind::None:
            break;
    }
    return std::string();
}

std::string PortAccess::Explain(const std::string& device, int error) {
    return Describe(Diagnose(device, error));
}

}  // namespace tarvo
