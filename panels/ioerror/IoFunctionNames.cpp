#include "panels/ioerror/IoFunctionNames.h"

#include <cstdio>

#include "platform/TextCase.h"

namespace tarvo {

namespace {

constexpr size_t kNameBuffer = 256;

}  // namespace

std::string IoFunctionNames::Problem() const {
    std::string problem = file_.SectionProblem("in");
    return problem.empty() ? file_.SectionProblem("out") : problem;
}

std::string IoFunctionNames::Name(Kind kind, int number) const {
    char key[16];
    std::snprintf(key, sizeof key, "%sBit%.2d", chinese_ ? "ch" : "en", number);
    return file_.GetString(kind == Kind::kInput ? "in" : "out", key, "", kNameBuffer);
}

int IoFunctionNames::BitNamed(Kind kind, std::string_view englishName) const {
    for (int bit = 0; bit < 32; ++bit) {
        char key[16];
        std::snprintf(key, sizeof key, "enBit%.2d", bit + 1);
        std::string name =
            file_.GetString(kind == Kind::kInput ? "in" : "out", key, "", kNameBuffer);
        if (!name.empty() && SameIgnoringCase(name, englishName)) {
            return bit;
        }
    }
    return -1;
}

IoFunctionNames::Description IoFunctionNames::Describe(Kind kind, uint32_t bits) const {
    Description description;
    for (int bit = 0; bit < 32; ++bit) {
        if ((bits & (1u << bit)) == 0) {
            continue;
        }
        std::string name = Name(kind, bit + 1);
        if (name.empty()) {
            continue;
        }
        description.lines.push_back(std::to_string(description.lines.size() + 1) + "." + name);
        if (!description.text.empty()) {
            description.text += "+";
        }
        description.text += name;
    }
    if (description.text.empty()) {
        description.text = "NULL";
    }
    return description;
}

}  // namespace tarvo
