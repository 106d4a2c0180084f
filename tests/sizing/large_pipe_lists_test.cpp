// The large-pipe and upgraded-link lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sizing/large_pipe_lists.h"
#include "sizing/telescoping_records.h"

namespace velm::test {
namespace {

constexpr std::size_t LARGE_PIPE_HEADING_LINES = 5;  // an empty line and four
constexpr std::size_t UPGRADED_HEADING_LINES = 6;    // an empty line and five

std::vector<std::string> large_pipe_lines(const std::vector<LinkRecord>& records)
{
    LargePipeList list;
    for (const LinkRecord& record : records) list.add(record);
    std::vector<std::string> lines = list.finish();
    return std::vector<std::string>(lines.begin() + LARGE_PIPE_HEADING_LINES, lines.end());
}

std::vector<std::string> upgraded_lines(const std::vector<LinkRecord>& records)
{
    UpgradedLinkList list;
    for (const LinkRecord& record : records) list.add(record);
    std::vector<std::string> lines = list.finish();
    return std::vector<std::string>(lines.begin() + UPGRADED_HEADING_LINES, lines.end());
}

TEST(LargePipeList, Headings)
{
    const std::vector<std::string> lines = LargePipeList().finish();
    const std::vector<std::string> expected{
        "",
        "     The following LINKS have EXISTING SYSTEM or PROPOSED",
        "     SYSTEM Pipe Diameters Greater than or Equal to 84-inch:",
        "            LINK ID         Existing System     Proposed System",
        "       U/S Node   D/S Node      (inches)           (inches)",
        "",
    };
    EXPECT_EQ(lines, expected);
    const std::vector<std::string> upgraded = UpgradedLinkList().finish();
    ASSERT_EQ(upgraded.size(), UPGRADED_HEADING_LINES + 1);
    EXPECT_EQ(upgraded[1], "     Existing system LINKS that are UPGRADED due to telescoping");
    EXPECT_EQ(upgraded[5], "       U/S Node   D/S Node   Dia./H      B      Z     Dia/H       B      Z");
    EXPECT_EQ(upgraded[6], "");
}

TEST(LargePipeList, PipesOfEightyFourInchesOrMore)
{
    struct Case {
        std::string name;
        LinkRecord record;
        std::vector<std::string> lines;  // after the heading
    };
    const std::string listed_7ft = "        10101.0    10102.0         84.00                0.00";
    const std::vector<Case> cases{
        {"an existing 7-ft pipe", link_with(10101.0f, 10102.0f, {{7, 41.0f}, {22, 1.0f}, {23, 7.0f}}), {listed_7ft}},
        {"a pipe just under 84 in is counted but not listed",
         link_with(10101.0f, 10102.0f, {{7, 41.0f}, {22, 1.0f}, {23, 6.99f}, {102, 6.0f}}),
         {}},
        {"a proposed 8-ft pipe",
         link_with(10101.0f, 10102.0f, {{7, 41.0f}, {22, 1.0f}, {23, 3.0f}, {102, 8.0f}}),
         {"        10101.0    10102.0         36.00               96.00"}},
        {"a box with a user pipe shows its height",
         link_with(10101.0f, 10102.0f, {{7, 46.0f}, {22, 2.0f}, {23, 8.0f}, {123, 1.0f}}),
         {"        10101.0    10102.0         96.00                0.00"}},
        {"a box alone is no pipe", link_with(10101.0f, 10102.0f, {{7, 46.0f}, {22, 2.0f}, {102, 8.0f}}), {""}},
        {"a headwater link is never a pipe link",
         link_with(10101.0f, 10102.0f, {{7, 21.0f}, {22, 1.0f}, {23, 8.0f}}),
         {""}},
    };
    for (const Case& c : cases) EXPECT_EQ(large_pipe_lines({c.record}), c.lines) << c.name;
}

TEST(UpgradedLinkList, LinksUpgradedWithoutDeficiency)
{
    struct Case {
        std::string name;
        LinkRecord record;
        std::vector<std::string> lines;  // after the heading
    };
    const std::vector<Case> cases{
        {"an upgraded pipe",
         link_with(10101.0f, 10102.0f, {{7, 41.0f}, {23, 2.0f}, {24, 1.0f}, {102, 5.0f}, {103, 1.0f}}),
         {"        10101.0    10102.0      2.00    0.00    0.0      5.00    0.00    0.0"}},
        {"a deficient link", link_with(10101.0f, 10102.0f, {{7, 41.0f}, {90, 0.01f}, {102, 5.0f}}), {""}},
        {"no proposed element", link_with(10101.0f, 10102.0f, {{7, 41.0f}, {23, 2.0f}}), {""}},
        {"an upgraded channel keeps its widths",
         link_with(10101.0f, 10102.0f,
                   {{7, 51.0f}, {23, 3.0f}, {24, 8.0f}, {25, 2.0f}, {102, 4.0f}, {103, 10.0f}, {104, 1.5f}}),
         {"        10101.0    10102.0      3.00    8.00    2.0      4.00   10.00    1.5"}},
        {"code 92 shows no existing element",
         link_with(10101.0f, 10102.0f, {{7, 92.0f}, {23, 3.0f}, {24, 8.0f}, {25, 2.0f}, {102, 4.0f}, {103, 10.0f}}),
         {"        10101.0    10102.0      0.00    0.00    0.0      4.00    0.00    0.0"}},
    };
    for (const Case& c : cases) EXPECT_EQ(upgraded_lines({c.record}), c.lines) << c.name;
}

}  // namespace
}  // namespace velm::test
