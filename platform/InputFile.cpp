#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvo {

namespace {

std::string Failure(const std::string& path, int error) {
    return "cannot read " + path + ": " + std::strerror(error);
}

}  // namespace

std::string InputFile::Read(const std::string& path, std::string& content, size_t limit) {
    // Non-blocking, so that opening a FIFO in place of the file returns at once.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Failure(path, errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int error = errno;
        ::close(fd);
        return Failure(path, error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return path + " is not a regular file";
    }
    if (static_cast<unsigned long long>(st.st_size) > limit) {
        ::close(fd);
        return path + " is " + std::to_string(st.st_size) +
               " bytes, far larger than such a file can be (at most " + std::to_string(limit) +
               "); it was not read";
    }
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    while (true) {
        if (got == bytes.size()) {
            if (bytes.size() > limit) {
                ::close(fd);
                return path + " grew past " + std::to_string(limit) +
                       " bytes while it was read; it was not read";
            }
            bytes.resize(bytes.size() + 4096);  // the file grew since fstat
        }
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            int error = errno;
            ::close(fd);
            return Failure(path, error);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    content = std::move(bytes);
    return {};
}

}  // namespace tarvo
