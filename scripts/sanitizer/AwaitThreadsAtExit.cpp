// Linked into every program of the AddressSanitizer build only.
//
// Qt's global thread pool (the raster engine fills large areas on it) runs its work on
// detached threads. When the application object goes, the pool waits until each thread has
// said it is finished, but the thread still drops its last reference to its Qt thread data
// on the way out. The leak check runs at exit and may come first: it then reports those 152
// bytes as a direct leak, now and then, in whichever GUI test happened to paint enough. This
// exit handler runs ahead of the leak check and waits, up to two seconds, until the other
// threads of the process have ended; a thread still running after that is left to the check.
#include <dirent.h>
#include <time.h>

#include <cstdlib>

namespace {

int ThreadCount() {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) {
        return 1;
    }
    int count = 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    closedir(tasks);
    return count;
}

void AwaitOtherThreads() {
    const timespec step{0, 5'000'000};
    for (int waited = 0; waited < 400 && ThreadCount() > 1; ++waited) {
        nanosleep(&step, nullptr);
    }
}

// Registered after the sanitizer's own exit-time check, so it runs before it.
const int registered = std::atexit(AwaitOtherThreads);

}  // namespace
