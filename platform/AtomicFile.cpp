#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>

#include "platform/InputFile.h"

namespace tarvo {

namespace {

std::string Failure(const std::string& path, const char* step, int error) {
    return std::string("cannot ") + step + " " + path + ": " + std::strerror(error);
}

// The process's file creation mask, read without changing it (umask() would, for a
// moment, for every thread).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
        }
    }
    return 022;
}

// The file a symbolic link names, so that the link itself stays; the path as given for
// anything else (and for a link that points nowhere yet).
std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

struct SplitPath {
    std::string folder;
    std::string name;
};

SplitPath Split(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Removes the temporaries of `name` whose writing process no longer exists: a process
// killed between creating its temporary and renaming it leaves one behind. Temporaries
// of living processes (this one included) are theirs to finish.
void RemoveStaleTemporaries(const SplitPath& target) {
    DIR* folder = ::opendir(target.folder.c_str());
    if (folder == nullptr) {
        return;
    }
    const std::string start = target.name + ".tmp-";
    const long self = static_cast<long>(::getpid());
    while (dirent* item = ::readdir(folder)) {
        std::string_view name(item->d_name);
        if (name.size() <= start.size() || name.compare(0, start.size(), start) != 0) {
            continue;
        }
        std::string_view rest = name.substr(start.size());
        size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos || rest.size() - dash - 1 != 6 ||
            rest.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos ||
            dash > 9) {
            continue;
        }
        long pid = std::strtol(std::string(rest.substr(0, dash)).c_str(), nullptr, 10);
        if (pid <= 0 || pid == self || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(folder), item->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode)) {
            ::unlinkat(::dirfd(folder), item->d_name, 0);
        }
    }
    ::closedir(folder);
}

bool WriteAll(int fd, std::string_view content) {
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Makes the rename itself durable. File systems that cannot sync a folder say EINVAL.
int SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error = (::fsync(fd) == 0 || errno == EINVAL) ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

std::string AtomicFile::TemporaryPrefix(const std::string& path, long pid) {
    return path + ".tmp-" + std::to_string(pid) + "-";
}

std::string AtomicFile::Write(const std::string& path, std::string_view content) {
    const std::string target = ResolveLink(path);
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        return "cannot replace " + path + ": it is not a regular file";
    }
    const SplitPath parts = Split(target);
    RemoveStaleTemporaries(parts);

    std::string temporary = TemporaryPrefix(target, static_cast<long>(::getpid())) + "XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return Failure(path, "create a temporary file for", errno);
    }
    auto fail = [&](const char* step, int error) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        return Failure(path, step, error);
    };
    mode_t mode = 0666 & ~CurrentUmask();
    if (replacing) {
        mode = old.st_mode & 07777;
        // Only root may give a file away; others keep theirs, which is the same owner.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            (void)::fchown(fd, old.st_uid, old.st_gid);
        }
    }
    if (::fchmod(fd, mode) != 0) {
        return fail("set the permissions of", errno);
    }
    if (!WriteAll(fd, content)) {
        return fail("write", errno);
    }
    if (::fsync(fd) != 0) {
        return fail("write", errno);
    }
    int closing = ::close(fd);
    fd = -1;
    if (closing != 0) {
        return fail("write", errno);
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail("replace", errno);
    }
    if (int error = SyncFolder(parts.folder); error != 0) {
        return Failure(path, "sync the folder of", error);
    }
    return {};
}

bool AtomicFile::Read(const std::string& path, std::string& content) {
    return InputFile::Read(path, content, std::numeric_limits<size_t>::max()).empty();
}

}  // namespace tarvo
