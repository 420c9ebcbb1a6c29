#pragma once

#include <string>

namespace tarvo {

// The serial library takes port names of at most seven characters and looks them up in
// <program folder>/dev/ before /dev. A port named by a full path or by a longer name
// (/dev/serial/by-id/..., ttyUSB10) gets a link under <program folder>/dev/ with a short
// name of its own, so that it opens exactly the device named.
class PortAlias {
public:
    // The name to give the serial library for `port`; 0, or the errno of the failed step
    // (ENOENT: the device does not exist, EINVAL: a name with path tricks).
    //   ttyUSB0, pts/3          as they are (<folder>/dev/ first, then /dev)
    //   /dev/ttyUSB0            ttyUSB0 when <folder>/dev/ttyUSB0 does not shadow it
    //   ttyUSB10                a link to <folder>/dev/ttyUSB10 or else /dev/ttyUSB10
    //   /any/other/path         a link to that path
    static int ShortName(const std::string& programFolder, const std::string& port,
                         std::string& name);
    // True for the names of the links made here ("a" and six hexadecimal digits).
    static bool IsAliasName(const std::string& name);
    // True when the serial library takes `name` as it is.
    static bool FitsLibrary(const std::string& name);
};

}  // namespace tarvo
