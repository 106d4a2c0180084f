// The link checks of one map's links, item by item, on small networks.
#include "diagnostics/link_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "diagnostics/confluence_table.h"

namespace velm {
namespace {

// A link with a slope of 0.05 over 100 ft unless given otherwise.
LinkEnds link(float upstream, float downstream, float length = 100.0f, float upstream_elevation = 105.0f,
              float downstream_elevation = 100.0f)
{
    return {upstream, downstream, upstream_elevation, downstream_elevation, length};
}

// The GIS node file of a network: every node its links touch.
std::vector<float> all_nodes(const std::vector<LinkEnds>& links)
{
    std::vector<float> nodes;
    for (const LinkEnds& l : links) {
        nodes.push_back(l.upstream_node);
        nodes.push_back(l.downstream_node);
    }
    return nodes;
}

TEST(LinkChecks, CleanBranchFindsOnlyItsEndsAndConfluence)
{
    // Two headwaters meet at 10150, which drains to the outlet 10190.
    const std::vector<LinkEnds> links{link(10110, 10150), link(10120, 10150), link(10150, 10190)};
    const MapLinkCheck check = check_links(links, all_nodes(links));
    const LinkCheckFindings& f = check.findings;

    EXPECT_FALSE(check.fatal);
    EXPECT_TRUE(f.reversed_links.empty());
    EXPECT_TRUE(f.shared_upstream_nodes.empty());
    EXPECT_EQ(f.confluence_pairs, (std::vector<NodePair>{{10110, 10150}, {10120, 10150}}));
    EXPECT_TRUE(f.reversed_links_off_confluences.empty());
    EXPECT_EQ(f.unconnected_downstream_nodes, (std::vector<float>{10190}));
    EXPECT_EQ(f.unconnected_upstream_nodes, (std::vector<float>{10110, 10120}));
    EXPECT_TRUE(f.short_links.empty());
    EXPECT_TRUE(f.upstream_nodes_out_of_range.empty());
    EXPECT_TRUE(f.downstream_nodes_out_of_range.empty());
    EXPECT_TRUE(f.upstream_nodes_not_in_gis.empty());
    EXPECT_TRUE(f.downstream_nodes_not_in_gis.empty());
    EXPECT_TRUE(f.topographic_slopes.empty());
}

TEST(LinkChecks, ReversedLinks)
{
    // A closed link is fatal under A and, being no confluence pair, again under D.
    {
        const std::vector<LinkEnds> links{link(10010, 10010)};
        const MapLinkCheck check = check_links(links, all_nodes(links));
        EXPECT_EQ(check.findings.reversed_links, (std::vector<NodePair>{{10010, 10010}}));
        EXPECT_EQ(check.findings.reversed_links_off_confluences, (std::vector<NodePair>{{10010, 10010}}));
        EXPECT_TRUE(check.fatal);
        EXPECT_TRUE(has_closed_link(check.findings.reversed_links));
    }
    // A reversed link into a confluence is listed under A only and is not fatal.
    {
        const std::vector<LinkEnds> links{link(10120, 10150), link(10180, 10150), link(10150, 10190)};
        const MapLinkCheck check = check_links(links, all_nodes(links));
        EXPECT_EQ(check.findings.reversed_links, (std::vector<NodePair>{{10180, 10150}}));
        EXPECT_TRUE(check.findings.reversed_links_off_confluences.empty());
        EXPECT_FALSE(check.fatal);
    }
    // Away from a confluence a reversed link is fatal through D.
    {
        const std::vector<LinkEnds> links{link(10180, 10170), link(10170, 10190)};
        const MapLinkCheck check = check_links(links, all_nodes(links));
        EXPECT_EQ(check.findings.reversed_links_off_confluences, (std::vector<NodePair>{{10180, 10170}}));
        EXPECT_TRUE(check.fatal);
    }
}

TEST(LinkChecks, SharedUpstreamNodesListEveryGroupFromEachMember)
{
    // Three links leave 10150: each writes the whole group, its own pair first.
    const std::vector<LinkEnds> links{link(10150, 10160), link(10110, 10150), link(10150, 10170), link(10150, 10180)};
    const std::vector<NodePair> expected{{10150, 10160}, {10150, 10170}, {10150, 10180}, {10150, 10170}, {10150, 10160},
                                         {10150, 10180}, {10150, 10180}, {10150, 10160}, {10150, 10170}};
    const MapLinkCheck check = check_links(links, all_nodes(links));
    EXPECT_EQ(check.findings.shared_upstream_nodes, expected);
    EXPECT_TRUE(check.fatal);
}

TEST(LinkChecks, ConfluencePairsLieTogetherInOrderOfTheFirstEnteringLink)
{
    const std::vector<LinkEnds> links{
        link(10030, 10060),  // first link into 10060
        link(10010, 10050),  // first link into 10050
        link(10040, 10060), link(10020, 10050), link(10050, 10070), link(10030, 10050), link(10060, 10070),
    };
    const std::vector<NodePair> expected{{10030, 10060}, {10040, 10060}, {10010, 10050}, {10020, 10050},
                                         {10030, 10050}, {10050, 10070}, {10060, 10070}};
    EXPECT_EQ(find_confluence_pairs(links), expected);
}

TEST(LinkChecks, TwinLinksMakeOnePairAndNoConfluenceRecord)
{
    const std::vector<LinkEnds> links{link(10010, 10050), link(10010, 10050)};
    const MapLinkCheck check = check_links(links, all_nodes(links));
    EXPECT_EQ(check.findings.confluence_pairs, (std::vector<NodePair>{{10010, 10050}}));
    EXPECT_TRUE(group_confluence_pairs(check.findings.confluence_pairs, 2).empty());
    EXPECT_EQ(check.findings.shared_upstream_nodes.size(), 4u);
    // The twins leave each other's node unconnected: 10050 twice under E.
    EXPECT_EQ(check.findings.unconnected_downstream_nodes, (std::vector<float>{10050, 10050}));
}

TEST(LinkChecks, ConfluenceOfSixUpstreamNodesIsFatal)
{
    std::vector<LinkEnds> links;
    for (float upstream : {10010.0f, 10020.0f, 10030.0f, 10040.0f, 10050.0f, 10060.0f})
        links.push_back(link(upstream, 10090));
    links.push_back(link(10090, 10095));
    const MapLinkCheck check = check_links(links, all_nodes(links));
    EXPECT_TRUE(check.fatal);

    const std::vector<ConfluenceRecord> records = group_confluence_pairs(check.findings.confluence_pairs, 2);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].confluence_node, 10090.0f);
    EXPECT_EQ(records[0].tributary_count, 6);
    EXPECT_TRUE(records[0].over_connected());
    EXPECT_EQ(records[0].upstream_nodes, (std::array<float, 5>{10010, 10020, 10030, 10040, 10050}));
}

TEST(LinkChecks, OutletEnteredByTwoLinksIsListedTwiceUnderE)
{
    const std::vector<LinkEnds> links{link(10110, 10190), link(10120, 10190)};
    EXPECT_EQ(find_unconnected_downstream_nodes(links), (std::vector<float>{10190, 10190}));
    EXPECT_EQ(find_unconnected_upstream_nodes(links), (std::vector<float>{10110, 10120}));
}

TEST(LinkChecks, LinkThatLeadsIntoItselfStillCountsAsUnconnected)
{
    // A closed link is the only link at its node: it is no "other link".
    const std::vector<LinkEnds> links{link(10010, 10010)};
    EXPECT_EQ(find_unconnected_downstream_nodes(links), (std::vector<float>{10010}));
    EXPECT_EQ(find_unconnected_upstream_nodes(links), (std::vector<float>{10010}));
}

struct LengthCase {
    float length;
    bool short_link;
    bool in_slope_list;
};

TEST(LinkChecks, ShortLinksAndTheirSlopes)
{
    const LengthCase cases[] = {
        {0.0005f, true, true},                          // fatal under G; its slope 10000.0 is listed under L
        {0.001f, false, true},                          // the limit itself passes G
        {0.0f, true, false},                            // no slope: G reports it, L leaves it out
        {-0.0f, true, false},  {100.0f, false, false},  // slope 0.05
    };
    for (const LengthCase& c : cases) {
        const std::vector<LinkEnds> links{link(10010, 10020, c.length)};
        const MapLinkCheck check = check_links(links, all_nodes(links));
        EXPECT_EQ(!check.findings.short_links.empty(), c.short_link) << c.length;
        EXPECT_EQ(check.fatal, c.short_link) << c.length;
        EXPECT_EQ(!check.findings.topographic_slopes.empty(), c.in_slope_list) << c.length;
        if (c.short_link) {
            EXPECT_EQ(check.findings.short_links, (std::vector<LinkValue>{{10010, 10020, c.length}}));
        }
    }
}

TEST(LinkChecks, NodeNumbersOutOfRange)
{
    const std::vector<LinkEnds> links{link(9999.9f, 10000.0f), link(999999.9f, 1000000.0f), link(10010, 10020)};
    EXPECT_EQ(find_nodes_out_of_range(links, LinkEnd::Upstream), (std::vector<float>{9999.9f}));
    EXPECT_EQ(find_nodes_out_of_range(links, LinkEnd::Downstream), (std::vector<float>{1000000.0f}));
    EXPECT_TRUE(check_links(links, all_nodes(links)).fatal);
}

TEST(LinkChecks, NodesMissingFromTheGisNodeFile)
{
    const std::vector<LinkEnds> links{link(10010, 10020), link(10030, 10040), link(10020, 10040)};
    const std::vector<float> gis{10040, 10010, 10020};
    EXPECT_EQ(find_nodes_missing_from(links, LinkEnd::Upstream, gis), (std::vector<float>{10030}));
    EXPECT_TRUE(find_nodes_missing_from(links, LinkEnd::Downstream, gis).empty());
    // Exact equality: 10020.1 is not 10020.0.
    EXPECT_EQ(find_nodes_missing_from(links, LinkEnd::Downstream, {10040, 10020.1f}), (std::vector<float>{10020}));
    const MapLinkCheck check = check_links(links, gis);
    EXPECT_TRUE(check.fatal);
    EXPECT_EQ(check.findings.upstream_nodes_not_in_gis, (std::vector<float>{10030}));
    // Equality of floats: 0.0 is -0.0, and a NaN (a link's or the file's) is
    // found nowhere.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<LinkEnds> odd{link(0.0f, -0.0f), link(nan, 10040)};
    const std::vector<float> missing = find_nodes_missing_from(odd, LinkEnd::Upstream, {-0.0f, nan, 10040});
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_TRUE(std::isnan(missing[0]));
    EXPECT_TRUE(find_nodes_missing_from(odd, LinkEnd::Downstream, {0.0f, 10040}).empty());
}

struct SlopeCase {
    float upstream_elevation;
    float downstream_elevation;
    float length;
    bool listed;
};

TEST(LinkChecks, TopographicSlopeLimits)
{
    const SlopeCase cases[] = {
        {100.2f, 100.0f, 100.0f, true},   // about 0.002: at or below the lower limit
        {100.0f, 98.0f, 1000.0f, true},   // 0.002 exactly
        {100.5f, 100.0f, 100.0f, false},  // 0.005
        {110.0f, 100.0f, 100.0f, false},  // 0.100 exactly passes
        {110.5f, 100.0f, 100.0f, true},   // 0.105
        {100.0f, 101.0f, 100.0f, true},   // adverse slope
        {100.0f, 100.0f, 100.0f, true},   // flat
    };
    for (const SlopeCase& c : cases) {
        const std::vector<LinkEnds> links{link(10010, 10020, c.length, c.upstream_elevation, c.downstream_elevation)};
        const std::vector<LinkValue> slopes = find_topographic_slope_exceptions(links);
        EXPECT_EQ(!slopes.empty(), c.listed) << c.upstream_elevation << " " << c.downstream_elevation;
        if (!slopes.empty()) {
            const float expected = (c.upstream_elevation - c.downstream_elevation) / c.length;
            EXPECT_EQ(slopes[0].value, expected);
        }
        // Item L is never fatal.
        EXPECT_FALSE(check_links(links, all_nodes(links)).fatal);
    }
}

TEST(LinkChecks, EmptyMapFindsNothing)
{
    const MapLinkCheck check = check_links({}, {});
    EXPECT_FALSE(check.fatal);
    const LinkCheckFindings& f = check.findings;
    EXPECT_TRUE(f.reversed_links.empty() && f.shared_upstream_nodes.empty() && f.confluence_pairs.empty() &&
                f.unconnected_downstream_nodes.empty() && f.unconnected_upstream_nodes.empty() &&
                f.short_links.empty() && f.topographic_slopes.empty());
}

}  // namespace
}  // namespace velm
