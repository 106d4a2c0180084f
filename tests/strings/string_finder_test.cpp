// The string finder on hand-traced networks: strings from the headwaters,
// the mainstream chosen at each confluence, the string files and the index.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text_file.h"
#include "strings/string_finder.h"
#include "support/session_test.h"
#include "support/study_builder.h"

namespace velm {
namespace {

using test::TemporaryDirectory;

StringRecord link(float up, float down, float length, float flow)
{
    return StringRecord{up, down, length, flow, 0.0f, 0.0f};
}

// The node pairs of a string, upstream first.
std::vector<std::pair<float, float>> pairs(const std::vector<StringRecord>& records)
{
    std::vector<std::pair<float, float>> out;
    for (const StringRecord& r : records) out.emplace_back(r.upstream_node, r.downstream_node);
    return out;
}

// Three headwaters.  Strings 1 (101-110-120) and 2 (102-120) meet at 120
// with the same last peak flow, 8 cfs; string 3 (103-130) meets the line
// from 120 at 130, which runs on to the outlet 140.  The row of 130 stands
// before the row of 120, so it is ready only after a restart; in the row of
// 120 the slot of node 102 comes first.
const std::vector<float> HEADWATERS{101.0f, 102.0f, 103.0f};
const std::vector<ConfluenceRow> CONFLUENCES{
    {130.0f, {103.0f, 120.0f, 0.0f, 0.0f, 0.0f}},
    {120.0f, {102.0f, 110.0f, 0.0f, 0.0f, 0.0f}},
};
const std::vector<StringRecord> LINKS{
    link(101.0f, 110.0f, 100.0f, 5.0f), link(110.0f, 120.0f, 150.0f, 8.0f),  link(102.0f, 120.0f, 200.0f, 8.0f),
    link(103.0f, 130.0f, 50.0f, 3.0f),  link(120.0f, 130.0f, 300.0f, 16.0f), link(130.0f, 140.0f, 400.0f, 19.0f),
};

using Pairs = std::vector<std::pair<float, float>>;

struct SelectionCase {
    const char* name;
    float selection;
    std::vector<Pairs> strings;
    std::vector<std::string> extended;  // window lines after the three "Creating" lines
};

// A case shows as its name in test listings, not as its bytes.
void PrintTo(const SelectionCase& c, std::ostream* os)
{
    *os << c.name;
}

class MainstreamSelectionTest : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(MainstreamSelectionTest, ThreeStringsWithOneConfluenceAfterTheOther)
{
    const SelectionCase& c = GetParam();
    const ResolvedStrings resolved = resolve_strings(HEADWATERS, CONFLUENCES, LINKS, c.selection);
    ASSERT_EQ(resolved.strings.size(), 3u);
    for (std::size_t s = 0; s < 3; ++s) EXPECT_EQ(pairs(resolved.strings[s]), c.strings[s]) << "string " << s + 1;
    std::vector<std::string> expected{"      Creating String File Number [0001]",
                                      "      Creating String File Number [0002]",
                                      "      Creating String File Number [0003]"};
    expected.insert(expected.end(), c.extended.begin(), c.extended.end());
    EXPECT_EQ(resolved.window_lines, expected);
}

INSTANTIATE_TEST_SUITE_P(
    StringFinder, MainstreamSelectionTest,
    ::testing::Values(
        // Peak flows tie at 120 (8 = 8): the earlier slot, node 102, makes
        // string 2 the mainstream; at 130 string 2 (16 cfs) beats string 3.
        SelectionCase{"LargestPeakFlowTieGoesToEarlierSlot",
                      1.0f,
                      {{{101, 110}, {110, 120}}, {{102, 120}, {120, 130}, {130, 140}}, {{103, 130}}},
                      {"     Extending String File Number [0002]", "     Extending String File Number [0002]"}},
        // Lengths: string 1 (250 ft) beats string 2 (200 ft) at 120, then
        // string 1 (550 ft) beats string 3 (50 ft) at 130.
        SelectionCase{"LongestBranch",
                      2.0f,
                      {{{101, 110}, {110, 120}, {120, 130}, {130, 140}}, {{102, 120}}, {{103, 130}}},
                      {"     Extending String File Number [0001]", "     Extending String File Number [0001]"}},
        // Neither rule: no confluence is extended, each said once.
        SelectionCase{"OtherSelectionExtendsNothing",
                      3.0f,
                      {{{101, 110}, {110, 120}}, {{102, 120}}, {{103, 130}}},
                      {"     * Confluence NODE [   120.0] not extended: mainstream selection is neither 1 nor 2"}}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

TEST(StringFinder, PeakFlowIsTheSmallestUsableEventFlow)
{
    struct Case {
        std::array<float, 6> flows;
        float expected;
    } cases[] = {
        {{0.0f, 12.5f, 99999.0f, -3.0f, 8.0f, 0.0f}, -3.0f},  // a negative flow counts
        {{0.0f, 12.5f, 100000.0f, 99999.0f, 8.25f, 0.0f}, 8.25f},
        {{0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}, 0.0f},
        {{99999.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}, 0.0f},
    };
    for (const Case& c : cases) {
        LinkRecord record;
        record.upstream_node() = 5.0f;
        record.downstream_node() = 6.0f;
        record.link_length() = 80.0f;
        record.upstream_elevation() = 101.0f;
        record.downstream_elevation() = 100.0f;
        for (int event = 1; event <= 6; ++event) record.downstream_peak_flow(event) = c.flows[event - 1];
        const StringRecord row = string_finder_link(record);
        EXPECT_EQ(row.peak_flow_rate, c.expected);
        EXPECT_EQ(row.link_length, 80.0f);
        EXPECT_EQ(row.upstream_elevation, 101.0f);
        EXPECT_EQ(row.downstream_elevation, 100.0f);
    }
}

TEST(StringFinder, RecordsHoldTheValuesTheirFileLinesReadBack)
{
    // 0.855 is stored as a float just above it and prints 0.86; the string
    // keeps what the file says, so later steps and sums agree with it.
    const ResolvedStrings resolved = resolve_strings({1.0f}, {}, {link(1.0f, 2.0f, 100.004f, 0.855f)}, 1.0f);
    ASSERT_EQ(resolved.strings.at(0).size(), 1u);
    EXPECT_EQ(resolved.strings[0][0].link_length, 100.0f);
    EXPECT_EQ(resolved.strings[0][0].peak_flow_rate, 0.86f);
}

TEST(StringFinder, FirstLinkLeavingANodeIsFollowed)
{
    const ResolvedStrings resolved = resolve_strings(
        {1.0f}, {}, {link(1.0f, 2.0f, 10.0f, 1.0f), link(2.0f, 3.0f, 10.0f, 1.0f), link(2.0f, 4.0f, 10.0f, 1.0f)},
        1.0f);
    EXPECT_EQ(pairs(resolved.strings[0]), (Pairs{{1, 2}, {2, 3}}));
}

TEST(StringFinder, SixthTributaryRunsThroughTheConfluence)
{
    // Node 7 is not among the five slots of the row of 10: its string goes on.
    const ResolvedStrings resolved =
        resolve_strings({7.0f}, {{10.0f, {1.0f, 2.0f, 3.0f, 4.0f, 5.0f}}},
                        {link(7.0f, 10.0f, 10.0f, 1.0f), link(10.0f, 11.0f, 10.0f, 1.0f)}, 1.0f);
    EXPECT_EQ(pairs(resolved.strings[0]), (Pairs{{7, 10}, {10, 11}}));
}

TEST(StringFinder, SlotsUpToOneHundredthHoldNoTributaryStillToArrive)
{
    // String 1 (1 -> 50) enters the row of 50; its other slot decides
    // whether the row is ready and string 1 goes on to 60.
    struct Case {
        float other_slot;
        Pairs string_1;
    } cases[] = {
        {0.0f, {{1, 50}, {50, 60}}},
        {0.01f, {{1, 50}, {50, 60}}},
        {0.02f, {{1, 50}}},
        {9.0f, {{1, 50}}},
    };
    for (const Case& c : cases) {
        const ResolvedStrings resolved =
            resolve_strings({1.0f}, {{50.0f, {1.0f, c.other_slot, 0.0f, 0.0f, 0.0f}}},
                            {link(1.0f, 50.0f, 10.0f, 1.0f), link(50.0f, 60.0f, 10.0f, 1.0f)}, 1.0f);
        EXPECT_EQ(pairs(resolved.strings[0]), c.string_1) << "other slot " << c.other_slot;
    }
}

TEST(StringFinder, ValueBeyondItsFieldEndsTheRunNamingStringAndLink)
{
    // A mistyped length of 150000 ft, or a flow of -12000 cfs, does not fit
    // the string record's F8.2 fields.
    struct Case {
        StringRecord second_link;
        const char* message;
    } cases[] = {
        {link(2.0f, 3.5f, 150000.0f, 1.0f), "String file 1 (link 2.0 - 3.5), value 3: 150000 does not fit its field"},
        {link(2.0f, 3.5f, 10.0f, -12000.0f), "String file 1 (link 2.0 - 3.5), value 4: -12000 does not fit its field"},
    };
    for (const Case& c : cases) {
        try {
            resolve_strings({1.0f}, {}, {link(1.0f, 2.0f, 10.0f, 1.0f), c.second_link}, 1.0f);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const FileError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST(StringFinder, LoopOfLinksStopsTheTraceOnce)
{
    // 1 -> 2 -> 3 -> 2: the trace stops after as many links as the study has.
    const ResolvedStrings resolved = resolve_strings(
        {1.0f}, {}, {link(1.0f, 2.0f, 10.0f, 1.0f), link(2.0f, 3.0f, 10.0f, 1.0f), link(3.0f, 2.0f, 10.0f, 1.0f)},
        1.0f);
    EXPECT_EQ(pairs(resolved.strings[0]), (Pairs{{1, 2}, {2, 3}, {3, 2}}));
    EXPECT_EQ(resolved.window_lines,
              (std::vector<std::string>{
                  "      Creating String File Number [0001]",
                  "     * String File Number [0001] stops at NODE [     2.0]: its links run in a loop"}));
}

TEST(StringFinder, ConfluenceWithoutTributaryStringIsLeftAndSaidOnce)
{
    // The row of 50 lists no tributary; the row of 20 is extended and the
    // extension ends in the row of 30, which restarts the scan.
    const ResolvedStrings resolved = resolve_strings(
        {1.0f, 2.0f, 3.0f},
        {{50.0f, {0.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
         {20.0f, {1.0f, 2.0f, 0.0f, 0.0f, 0.0f}},
         {30.0f, {20.0f, 3.0f, 0.0f, 0.0f, 0.0f}}},
        {link(1.0f, 20.0f, 10.0f, 2.0f), link(2.0f, 20.0f, 10.0f, 3.0f), link(20.0f, 30.0f, 10.0f, 5.0f),
         link(3.0f, 30.0f, 10.0f, 9.0f), link(30.0f, 40.0f, 10.0f, 14.0f)},
        1.0f);
    EXPECT_EQ(pairs(resolved.strings[1]), (Pairs{{2, 20}, {20, 30}}));
    EXPECT_EQ(pairs(resolved.strings[2]), (Pairs{{3, 30}, {30, 40}}));
    const std::vector<std::string> expected{"      Creating String File Number [0001]",
                                            "      Creating String File Number [0002]",
                                            "      Creating String File Number [0003]",
                                            "     * Confluence NODE [    50.0] has no tributary string: not extended",
                                            "     Extending String File Number [0002]",
                                            "     Extending String File Number [0003]"};
    EXPECT_EQ(resolved.window_lines, expected);
}

TEST(StringFinder, ChainOfConfluencesExtendsOneStringTwice)
{
    // 1 and 2 meet at 10, the mainstream and 3 meet at 20: string 2 (the
    // larger flow at 10) is extended at 10 and again at 20 under its number.
    const ResolvedStrings resolved = resolve_strings(
        {1.0f, 2.0f, 3.0f}, {{10.0f, {1.0f, 2.0f, 0.0f, 0.0f, 0.0f}}, {20.0f, {3.0f, 10.0f, 0.0f, 0.0f, 0.0f}}},
        {link(1.0f, 10.0f, 10.0f, 2.0f), link(2.0f, 10.0f, 10.0f, 4.0f), link(10.0f, 20.0f, 10.0f, 6.0f),
         link(3.0f, 20.0f, 10.0f, 1.0f), link(20.0f, 30.0f, 10.0f, 7.0f)},
        1.0f);
    EXPECT_EQ(pairs(resolved.strings[1]), (Pairs{{2, 10}, {10, 20}, {20, 30}}));
    EXPECT_EQ(pairs(resolved.strings[2]), (Pairs{{3, 20}}));
}

TEST(StringFinder, IndexKeepsOldHeaderButValueTenAndZeroesEmptyStrings)
{
    ResolvedStrings resolved;
    resolved.strings = {{link(1.0f, 2.0f, 1.0f, 1.0f), link(2.0f, 3.0f, 1.0f, 1.0f)}, {}};
    StringIndexHeader old;
    for (int k = 0; k < 10; ++k) old.values[static_cast<std::size_t>(k)] = static_cast<float>(k + 1);
    const StringIndexFile index = string_index_of(resolved, old);
    EXPECT_EQ(index.header.values, (std::array<float, 10>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
    ASSERT_EQ(index.records.size(), 2u);
    EXPECT_EQ(index.records[0].string_number, 1);
    EXPECT_EQ(index.records[0].upstream_node, 1.0f);
    EXPECT_EQ(index.records[0].outlet_node, 3.0f);
    EXPECT_EQ(index.records[1].upstream_node, 0.0f);
    EXPECT_EQ(index.records[1].outlet_node, 0.0f);
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

// The finder as its rules read, scanning every table from the top for each
// look-up and restarting the confluence scan after each extension that ends
// in a confluence: the reference for the indexed finder on random networks.
std::vector<std::vector<StringRecord>> strings_by_full_scans(const std::vector<float>& headwaters,
                                                             std::vector<ConfluenceRow> rows,
                                                             const std::vector<StringRecord>& links, float selection)
{
    std::vector<std::vector<StringRecord>> strings(headwaters.size());
    auto trace = [&](int s, float node) -> int {
        for (;;) {
            const StringRecord* next = nullptr;
            for (const StringRecord& l : links) {
                if (l.upstream_node == node) {
                    next = &l;
                    break;
                }
            }
            if (!next) return -1;
            strings[static_cast<std::size_t>(s - 1)].push_back(*next);
            for (std::size_t r = 0; r < rows.size(); ++r) {
                if (rows[r].node != next->downstream_node) continue;
                for (float& slot : rows[r].slots) {
                    if (slot == node) {
                        slot = -static_cast<float>(s);
                        return static_cast<int>(r);
                    }
                }
            }
            node = next->downstream_node;
        }
    };
    for (std::size_t i = 0; i < headwaters.size(); ++i) trace(static_cast<int>(i) + 1, headwaters[i]);
    std::vector<bool> left(rows.size(), false);  // rows without a mainstream to extend
    for (std::size_t c = 0; c < rows.size();) {
        ConfluenceRow& row = rows[c];
        bool ready = row.node >= 0.0f && !left[c];
        for (const float slot : row.slots) ready = ready && slot <= 0.01f;
        if (!ready) {
            ++c;
            continue;
        }
        int chosen = 0;
        float best = -9999.0f;
        for (const float slot : row.slots) {
            if (slot >= 0.0f) continue;
            const int s = static_cast<int>(-slot);
            float value = strings[static_cast<std::size_t>(s - 1)].back().peak_flow_rate;
            if (selection == 2.0f) {
                value = 0.0f;
                for (const StringRecord& r : strings[static_cast<std::size_t>(s - 1)]) value += r.link_length;
            }
            if (value > best) {
                best = value;
                chosen = s;
            }
        }
        if (chosen == 0) {
            left[c] = true;
            ++c;
            continue;
        }
        const float node = row.node;
        row.node = -row.node;
        c = trace(chosen, node) >= 0 ? 0 : c + 1;
    }
    return strings;
}

// Random forests of streams: every node drains to one node with a larger
// number or is an outlet; confluence rows and their slots in random order,
// links in random order, flows and lengths of a few values so that ties
// are common.
TEST(StringFinder, IndexedLookUpsMatchFullScansOnRandomNetworks)
{
    std::mt19937 random(20261210);
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE("network " + std::to_string(trial));
        const int nodes = 2 + static_cast<int>(random() % 60);
        std::vector<StringRecord> links;
        std::vector<std::vector<float>> upstream(static_cast<std::size_t>(nodes + 1));
        for (int n = 1; n < nodes; ++n) {
            if (random() % 6 == 0) continue;  // an outlet
            int down = n + 1 + static_cast<int>(random() % static_cast<unsigned>(std::min(4, nodes - n)));
            if (upstream[static_cast<std::size_t>(down)].size() == 5) continue;
            upstream[static_cast<std::size_t>(down)].push_back(static_cast<float>(n));
            links.push_back(link(static_cast<float>(n), static_cast<float>(down),
                                 static_cast<float>(10 * (1 + random() % 3)), static_cast<float>(1 + random() % 3)));
        }
        std::shuffle(links.begin(), links.end(), random);
        std::vector<float> headwaters;
        std::vector<ConfluenceRow> rows;
        for (int n = 1; n <= nodes; ++n) {
            std::vector<float>& ups = upstream[static_cast<std::size_t>(n)];
            if (ups.empty()) headwaters.push_back(static_cast<float>(n));
            if (ups.size() < 2) continue;
            std::shuffle(ups.begin(), ups.end(), random);
            ConfluenceRow row{static_cast<float>(n), {}};
            std::copy(ups.begin(), ups.end(), row.slots.begin());
            rows.push_back(row);
        }
        std::shuffle(rows.begin(), rows.end(), random);
        std::shuffle(headwaters.begin(), headwaters.end(), random);
        for (const float selection : {1.0f, 2.0f}) {
            const ResolvedStrings resolved = resolve_strings(headwaters, rows, links, selection);
            const auto expected = strings_by_full_scans(headwaters, rows, links, selection);
            ASSERT_EQ(resolved.strings.size(), expected.size());
            for (std::size_t s = 0; s < expected.size(); ++s) {
                EXPECT_EQ(pairs(resolved.strings[s]), pairs(expected[s])) << "string " << s + 1;
            }
        }
    }
}

}  // namespace
}  // namespace velm
