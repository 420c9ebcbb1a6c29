#include "serialport/LineControl.h"

// termios2 carries any rate through BOTHER; it clashes with <termios.h>, so this file
// talks to the terminal through the kernel's own headers only.
#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/serial.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace tarvo::serial {

int LineControl::Apply(int fd, const LineSettings& settings) {
    if (settings.baudRate == 0) {
        return EINVAL;
    }
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) {
        return errno;
    }
    tcflag_t size = 0;
    switch (settings.byteSize) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return EINVAL;
    }
    tcflag_t parity = 0;
    switch (settings.parity) {
        case 0:
            break;
        case 1:
            parity = PARENB | PARODD;
            break;
        case 2:
            parity = PARENB;
            break;
        case 3:
            parity = PARENB | PARODD | CMSPAR;
            break;
        case 4:
            parity = PARENB | CMSPAR;
            break;
        default:
            return EINVAL;
    }
    if (settings.stopBits > 2) {
        return EINVAL;
    }
    tio.c_iflag = parity != 0 ? INPCK : 0;
    tio.c_oflag = 0;
    tio.c_lflag = 0;
    tio.c_cflag = size | parity | CREAD | CLOCAL | BOTHER;
    if (settings.stopBits != 0) {
        tio.c_cflag |= CSTOPB;
    }
    tio.c_cflag |= BOTHER << IBSHIFT;
    tio.c_ispeed = settings.baudRate;
    tio.c_ospeed = settings.baudRate;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::ioctl(fd, TCSETS2, &tio) != 0) {
        return errno;
    }
    return 0;
}

int LineControl::Purge(int fd) {
    return ::ioctl(fd, TCFLSH, TCIOFLUSH) == 0 ? 0 : errno;
}

void LineControl::DropModemLines(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &lines);
}

void LineControl::RequestLowLatency(int fd, const char* path) {
    struct serial_struct serial {};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        (void)::ioctl(fd, TIOCSSERIAL, &serial);
    }
    // FTDI-style adapters keep their timer in sysfs; the flag above does not reach it on
    // every kernel.
    char device[PATH_MAX];
    if (::realpath(path, device) == nullptr || std::strncmp(device, "/dev/ttyUSB", 11) != 0) {
        return;
    }
    std::string timer =
        std::string("/sys/bus/usb-serial/devices/") + (device + 5) + "/latency_timer";
    int timerFd = ::open(timer.c_str(), O_WRONLY | O_CLOEXEC);
    if (timerFd >= 0) {
        (void)::write(timerFd, "1", 1);
        ::close(timerFd);
    }
}

uint32_t LineControl::CurrentRate(int fd) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0) {
        return 0;
    }
    return tio.c_ospeed;
}

}  // namespace tarvo::serial
