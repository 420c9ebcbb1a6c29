#pragma once

#include <iostream>
#include <string>

#include "platform/MessageBox.h"

namespace tarvo {

// Message boxes of the command-line tool go to standard error, one line each.
class ConsoleMessageBox : public MessageBox {
public:
    void Show(std::string_view text) override {
        std::string line(text);
        while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) {
            line.pop_back();
        }
        std::cerr << "tarvoctl: " << line << '\n';
        ++count;
    }
    int count = 0;
};

}  // namespace tarvo
