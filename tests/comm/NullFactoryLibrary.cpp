// A library whose factories make no object.

#include "protocol/CanObjectAbi.h"
#include "protocol/SerialPortAbi.h"

extern "C" __attribute__((visibility("default"))) int CreateObject(SerialPort** out) {
    *out = nullptr;
    return 0;
}

extern "C" __attribute__((visibility("default"))) void CreateCanObject(CanObject** out) {
    *out = nullptr;
}
