#include "cli/MotionSignals.h"

#include <pthread.h>

#include <csignal>

namespace tarvo {

namespace {

std::atomic<int> gCaught{0};
struct sigaction gPreviousInterrupt {};
struct sigaction gPreviousTerminate {};

const sigset_t& Both() {
    static const sigset_t both = [] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        return set;
    }();
    return both;
}

void Catch(int signal) {
    gCaught.store(signal);
}

}  // namespace

MotionSignals::MotionSignals() {
    static_assert(std::atomic<int>::is_always_lock_free);
    gCaught.store(0);
    struct sigaction action {};
    action.sa_handler = Catch;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &gPreviousInterrupt);
    sigaction(SIGTERM, &action, &gPreviousTerminate);
    pthread_sigmask(SIG_BLOCK, &Both(), nullptr);
}

void MotionSignals::Listen() {
    pthread_sigmask(SIG_UNBLOCK, &Both(), nullptr);
}

MotionSignals::~MotionSignals() {
    Listen();
    sigaction(SIGINT, &gPreviousInterrupt, nullptr);
    sigaction(SIGTERM, &gPreviousTerminate, nullptr);
}

const std::atomic<int>& MotionSignals::Caught() {
    return gCaught;
}

}  // namespace tarvo
