#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tarvo {

namespace {

std::string Failure(const std::string& path, const char* step, int error) {
    return std::string("cannot ") + step + " " + path + ": " + std::strerror(error);
}

}  // namespace

std::string AtomicFile::Write(const std::string& path, std::string_view content) {
    std::string tmpl = path + ".XXXXXX";
    int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        return Failure(path, "create a temporary file for", errno);
    }
    // Keep the permissions of a file being replaced, else the usual ones.
    struct stat st {};
    mode_t mode = (stat(path.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
    fchmod(fd, mode);
    const char* p = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            int error = errno;
            ::close(fd);
            ::unlink(tmpl.c_str());
            return Failure(path, "write", error);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int error = errno;
        ::unlink(tmpl.c_str());
        return Failure(path, "write", error);
    }
    if (std::rename(tmpl.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(tmpl.c_str());
        return Failure(path, "replace", error);
    }
    return {};
}

bool AtomicFile::Read(const std::string& path, std::string& content) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        return false;
    }
    content = std::move(buffer).str();
    return true;
}

}  // namespace tarvo
