#pragma once

#include <atomic>

#include "comm/LinkDoorbell.h"

namespace tarvo {

// A process-wide switch that the control link's worker waits on: every write rings the
// link's doorbell, so that the worker takes up the new state at once instead of finding it
// at its next look. Reads are those of the atomic value.
template <typename T>
class RingingSwitch : public std::atomic<T> {
public:
    RingingSwitch(T initial, LinkDoorbell& bell) : std::atomic<T>(initial), bell_(bell) {}
    RingingSwitch(const RingingSwitch&) = delete;
    RingingSwitch& operator=(const RingingSwitch&) = delete;

    T operator=(T value) {
        store(value);
        return value;
    }
    void store(T value, std::memory_order order = std::memory_order_seq_cst) {
        std::atomic<T>::store(value, order);
        bell_.Ring();
    }

private:
    LinkDoorbell& bell_;
};

}  // namespace tarvo
