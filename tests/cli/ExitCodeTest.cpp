#include "cli/ExitCode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace tarvo::test {
namespace {

std::string Collapsed(const std::string& text) {
    std::istringstream words(text);
    std::string collapsed, word;
    while (words >> word) {
        collapsed += (collapsed.empty() ? "" : " ") + word;
    }
    return collapsed;
}

// The README's "Exit codes:" sentence, up to its parenthesis, on one line.
std::string ReadmeExitCodes() {
    std::ifstream file(std::string(TARVO_SOURCE_DIR) + "/README.md");
    std::stringstream text;
    text << file.rdbuf();
    std::string readme = text.str();
    size_t start = readme.find("Exit codes:");
    if (start == std::string::npos) {
        return {};
    }
    start += std::string("Exit codes:").size();
    size_t end = readme.find('(', start);
    return Collapsed(readme.substr(start, end - start));
}

TEST(ExitCode, TheReadmeListsEveryCodeWithItsMeaning) {
    std::string readme = ReadmeExitCodes();
    ASSERT_FALSE(readme.empty()) << "README.md has no \"Exit codes:\" sentence";
    EXPECT_EQ(readme, ExitCode::List());
}

}  // namespace
}  // namespace tarvo::test
