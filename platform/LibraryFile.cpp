#include "platform/LibraryFile.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tarvo {

namespace {

bool ReadAt(int fd, void* buffer, size_t size, uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        ssize_t n = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

// True when [offset, offset + size) lies inside a file of `fileSize` bytes.
bool Inside(uint64_t offset, uint64_t size, uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

// Checks the program headers of an ELF file of this machine's byte order and word size;
// other files are left to the loader, which refuses them with a message of its own.
template <typename Header, typename ProgramHeader>
std::string CheckSegments(int fd, uint64_t fileSize) {
    Header header{};
    if (!ReadAt(fd, &header, sizeof header, 0)) {
        return "it is truncated (its ELF header is incomplete)";
    }
    uint64_t tableSize = uint64_t{header.e_phnum} * sizeof(ProgramHeader);
    if (header.e_phentsize != sizeof(ProgramHeader) ||
        !Inside(header.e_phoff, tableSize, fileSize)) {
        return "it is truncated or damaged (its program header table lies outside the file)";
    }
    std::vector<ProgramHeader> segments(header.e_phnum);
    if (!segments.empty() && !ReadAt(fd, segments.data(), tableSize, header.e_phoff)) {
        return "its program header table cannot be read";
    }
    for (const ProgramHeader& segment : segments) {
        if (segment.p_type == PT_LOAD && !Inside(segment.p_offset, segment.p_filesz, fileSize)) {
            return "it is truncated (a segment reaches past the end of the file)";
        }
    }
    return {};
}

}  // namespace

std::string LibraryFile::Check(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::strerror(errno);
    }
    struct stat st {};
    std::string problem;
    unsigned char ident[EI_NIDENT] = {};
    if (::fstat(fd, &st) != 0) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        problem = "it is not a regular file";
    } else if (ReadAt(fd, ident, sizeof ident, 0) && std::memcmp(ident, ELFMAG, SELFMAG) == 0 &&
               ident[EI_DATA] ==
                   (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB)) {
        auto size = static_cast<uint64_t>(st.st_size);
        if (ident[EI_CLASS] == ELFCLASS64) {
            problem = CheckSegments<Elf64_Ehdr, Elf64_Phdr>(fd, size);
        } else if (ident[EI_CLASS] == ELFCLASS32) {
            problem = CheckSegments<Elf32_Ehdr, Elf32_Phdr>(fd, size);
        }
    }
    ::close(fd);
    return problem;
}

void* LibraryFile::Open(const std::string& path, std::string& error) {
    error = Check(path);
    if (!error.empty()) {
        return nullptr;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        error = why != nullptr ? why : "the dynamic loader refused it";
    }
    return handle;
}

std::string LibraryFile::Diagnose(const std::string& path) {
    std::string error;
    if (void* handle = Open(path, error)) {
        ::dlclose(handle);
    }
    return error;
}

}  // namespace tarvo
