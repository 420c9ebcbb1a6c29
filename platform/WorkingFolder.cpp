#include "platform/WorkingFolder.h"

#include <unistd.h>

#include <vector>

namespace tarvo {

std::string WorkingFolder::Current() {
    std::vector<char> buffer(513, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return ".";
    }
    return buffer.data();
}

}  // namespace tarvo
