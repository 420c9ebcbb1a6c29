#pragma once

#include <functional>
#include <string>

namespace tarvo {

// Which folder a TarvoStep program runs from. A portable program folder (the current
// directory or the program's own folder holding data/tarvo.dat, or `--folder DIR`) is used
// as it is. An installed program (<prefix>/bin beside <prefix>/share/tarvostep) uses a
// per-user program folder under the XDG data directory instead, so that settings and
// projects are the user's own and nothing is written into the installed tree.
class FolderChoice {
public:
    enum class Kind {
        Given,          // --folder DIR
        Current,        // the current directory is a program folder, or nothing else fits
        BesideProgram,  // the program's own folder is a program folder
        PerUser,        // an installed program: the per-user folder
    };
    struct Inputs {
        std::string given;       // the --folder operand, or empty
        std::string current;     // the current directory
        std::string executable;  // the running program's path
        // Whether a program folder beside the executable counts before the installed
        // layout (tarvoctl works from any directory; the others keep to the current one).
        bool besideProgram = false;
        std::function<const char*(const char*)> environment;  // getenv
    };
    struct Choice {
        Kind kind = Kind::Current;
        std::string folder;
        std::string shippedData;       // <prefix>/share/tarvostep when installed
        std::string shippedLibraries;  // <prefix>/lib/tarvostep when installed
    };

    // True when `folder` holds the dictionary data file.
    static bool IsProgramFolder(const std::string& folder);
    static Choice Choose(const Inputs& inputs);
    // $XDG_DATA_HOME/tarvostep, else $HOME/.local/share/tarvostep (XDG_DATA_HOME counts
    // only when absolute); `home` stands in for HOME when that is unset. Empty when
    // neither gives an absolute folder.
    static std::string PerUserFolder(const std::function<const char*(const char*)>& environment,
                                     const std::string& home);
    // The running program's path (/proc/self/exe), or empty.
    static std::string OwnExecutable();
    // The current user's home folder from the password database, or empty.
    static std::string HomeFromPasswd();
};

}  // namespace tarvo
