// Linked into every program of the ThreadSanitizer build only.
//
// Qt starts a child process with clone(CLONE_VM | CLONE_VFORK): the child runs on the
// parent's memory and thread-local state until it calls exec. ThreadSanitizer's clone()
// wrapper treats every clone as a fork and does the child's after-fork bookkeeping in the
// child, which here is the parent's own state: from then on the parent's main thread goes
// unchecked, and its next new thread stops the program ("starting new threads after
// multi-threaded fork is not supported"). This clone() comes ahead of the wrapper and turns
// such a vfork-style clone into a real fork(), which ThreadSanitizer handles; every other
// clone goes on to the wrapper unchanged.
#include <dlfcn.h>
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>

namespace {

using CloneFunction = int (*)(int (*)(void*), void*, int, void*, ...);

constexpr int kVforkStyle = CLONE_VM | CLONE_VFORK;
constexpr int kHandled = kVforkStyle | CLONE_PIDFD | CSIGNAL;

}  // namespace

extern "C" int clone(int (*function)(void*), void* stack, int flags, void* argument, ...) {
    va_list rest;
    va_start(rest, argument);
    auto* parentTid = va_arg(rest, int*);
    void* tls = va_arg(rest, void*);
    auto* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    if ((flags & kVforkStyle) != kVforkStyle || (flags & ~kHandled) != 0 ||
        (flags & CSIGNAL) != SIGCHLD) {
        static auto next = reinterpret_cast<CloneFunction>(dlsym(RTLD_NEXT, "clone"));
        return next(function, stack, flags, argument, parentTid, tls, childTid);
    }
    pid_t child = fork();
    if (child == 0) {
        _exit(function(argument));
    }
    if (child > 0 && (flags & CLONE_PIDFD) != 0) {
        *parentTid = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    }
    return child;
}
