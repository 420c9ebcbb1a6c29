#include "tests/platform/FileFaults.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace tarvo::test {
namespace {

std::mutex mutex;
std::string armedCall;
int armedError = 0;
std::string syncs;

// True when `call` is armed; sets errno to the armed error.
bool Fails(const char* call) {
    std::lock_guard lock(mutex);
    if (armedCall != call) {
        return false;
    }
    errno = armedError;
    return true;
}

template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

void FileFaults::Arm(const std::string& call, int error) {
    std::lock_guard lock(mutex);
    armedCall = call;
    armedError = error;
}

std::string FileFaults::Syncs() {
    std::lock_guard lock(mutex);
    return syncs;
}

void FileFaults::Clear() {
    std::lock_guard lock(mutex);
    syncs.clear();
}

}  // namespace tarvo::test

using tarvo::test::Fails;
using tarvo::test::Next;

extern "C" {

int fsync(int fd) {
    static auto next = Next<int (*)(int)>("fsync");
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        std::lock_guard lock(tarvo::test::mutex);
        tarvo::test::syncs += S_ISDIR(st.st_mode) ? 'd' : 'f';
    }
    return Fails("fsync") ? -1 : next(fd);
}

ssize_t write(int fd, const void* data, size_t size) {
    static auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
    return Fails("write") ? -1 : next(fd, data, size);
}

int rename(const char* from, const char* to) {
    static auto next = Next<int (*)(const char*, const char*)>("rename");
    return Fails("rename") ? -1 : next(from, to);
}

int fchmod(int fd, mode_t mode) {
    static auto next = Next<int (*)(int, mode_t)>("fchmod");
    return Fails("fchmod") ? -1 : next(fd, mode);
}

int mkostemp(char* pattern, int flags) {
    static auto next = Next<int (*)(char*, int)>("mkostemp");
    return Fails("mkostemp") ? -1 : next(pattern, flags);
}

}  // extern "C"
