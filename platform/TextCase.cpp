#include "platform/TextCase.h"

#include <algorithm>

namespace tarvo {

std::string_view Trim(std::string_view text, std::string_view front, std::string_view back) {
    size_t first = text.find_first_not_of(front);
    if (first == std::string_view::npos) {
        return {};
    }
    text.remove_prefix(first);
    size_t last = text.find_last_not_of(back);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    auto lowered = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lowered(x) == lowered(y);
           });
}

}  // namespace tarvo
