#include "cli/ArgumentText.h"

#include <gtest/gtest.h>

namespace tarvo {
namespace {

TEST(ArgumentTextNodes, ListsAndRangesWithinOneTo127) {
    struct Case {
        const char* text;
        bool ok;
        std::vector<uint32_t> nodes;
    };
    const Case cases[] = {
        {"5", true, {5}},     {"1", true, {1}},
        {"127", true, {127}}, {"126-127", true, {126, 127}},
        {"3-3", true, {3}},   {"10-12,1,11", true, {1, 10, 11, 12}},  // sorted, each once
        {"0", false, {}},     {"128", false, {}},
        {"0-5", false, {}},   {"120-128", false, {}},
        {"7-5", false, {}},   {"", false, {}},
        {"1,", false, {}},    {",1", false, {}},
        {"1,,2", false, {}},  {"1-", false, {}},
        {"-5", false, {}},    {"1-2-3", false, {}},
        {"0x10", false, {}},  {" 1", false, {}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> nodes = {99};
        EXPECT_EQ(ArgumentText::ParseNodes(c.text, nodes), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(nodes, c.nodes) << c.text;
        }
    }
    std::vector<uint32_t> all;
    ASSERT_TRUE(ArgumentText::ParseNodes("1-127", all));
    EXPECT_EQ(all.size(), 127u);
    EXPECT_EQ(all.front(), 1u);
    EXPECT_EQ(all.back(), 127u);
}

}  // namespace
}  // namespace tarvo
