#pragma once

#include <string>

#include "platform/FolderChoice.h"

namespace tarvo {

// Makes the per-user program folder of an installed program ready, on every start:
// data/ holds links to the shipped read-only files (dictionary, resource set, run-time
// libraries), read in place; sys/ gets a copy of each shipped default it lacks; user/ gets
// the sample files once, when it is created. The user's own files are never replaced.
class PerUserFolderSetup {
public:
    // False with `error` set when the folder cannot be made ready.
    static bool Prepare(const FolderChoice::Choice& choice, std::string& error);
    // Chooses the folder of this process (`given` is the --folder operand, already made
    // current) and prepares it when it is the per-user one.
    static bool ChooseHere(const std::string& given, bool besideProgram,
                           FolderChoice::Choice& choice, std::string& error);
};

}  // namespace tarvo
