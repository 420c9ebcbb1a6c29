#pragma once

#include <string>

namespace tarvo {

// tarvoctl's process exit codes. Commands and the drive connection return them as plain
// ints (the process's exit status), so the values convert implicitly.
struct ExitCode {
    enum Value : int {
        Done = 0,
        BadInput = 1,    // a bad line, an unreadable file, no port; also `diff`'s "rows differ"
        NoAnswer = 2,    // no usable answer from the drive
        Refused = 3,     // the drive refused; its abort code and meaning go to standard error
        NotReached = 4,  // the drive did not reach the state or the target asked for
    };

    struct Meaning {
        Value code;
        const char* text;
    };

    // The meanings the help text and the README give, in the order of the codes.
    static constexpr Meaning kMeanings[] = {
        {Done, "done"},
        {BadInput, "bad input or no port"},
        {NoAnswer, "no usable answer from the drive"},
        {Refused, "the drive refused"},
        {NotReached, "the drive did not reach the state or target asked for"},
    };

    // "0 done, 1 bad input or no port, ...": the list of the help text and the README.
    static std::string List() {
        std::string list;
        for (const Meaning& meaning : kMeanings) {
            list += (list.empty() ? "" : ", ") + std::to_string(meaning.code) + " " + meaning.text;
        }
        return list;
    }
};

}  // namespace tarvo
