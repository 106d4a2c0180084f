// The GIS-path link check of one map: its block of "link.dia", the records
// it adds to "SETC.ZZZ", "SETE.ZZZ" and "SETF.ZZZ", and the stamped rewrite
// of a clean GIS link file.
#include "diagnostics/gis_link_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "records/free_form.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"

namespace velm {
namespace {

using test::REPORT_RULE;
using Lines = std::vector<std::string>;

struct Link {
    float upstream;
    float downstream;
    float length = 100.0f;
};

class GisLinkChecksTest : public test::SessionTest {
protected:
    void write_links(const std::vector<Link>& links, const std::string& name = "AB0101ZZ.ZZL")
    {
        std::vector<GisLinkRecord> records;
        for (const Link& link : links) {
            GisLinkRecord record;
            record.upstream_node() = link.upstream;
            record.downstream_node() = link.downstream;
            record.link_length() = link.length;
            records.push_back(record);
        }
        write_gis_link_file(name, records);
    }
    void write_nodes(const std::vector<std::pair<float, float>>& nodes, const std::string& name = "AB0101ZZ.ZZN")
    {
        std::vector<GisNodeRecord> records;
        for (const auto& [number, elevation] : nodes) {
            GisNodeRecord record;
            record.node_number() = number;
            record.node_elevation() = elevation;
            records.push_back(record);
        }
        write_gis_node_file(name, records);
    }
    int check(bool node_switch = true, GisStampRequest stamp = GisStampRequest::Checked, int model_type = 3,
              const std::string& map_code = "AB0101")
    {
        TextWriter report("link.dia");
        TextWriter setc("SETC.ZZZ");
        TextWriter sete("SETE.ZZZ");
        TextWriter setf("SETF.ZZZ");
        GisNetworkFiles network{setc, sete, setf};
        const int fatal = check_gis_link_file(session_, report, network, node_switch, map_code, stamp, model_type);
        for (TextWriter* file : {&report, &setc, &sete, &setf}) file->commit();
        report_ = read_text_lines("link.dia");
        over_connected_ = network.over_connected_nodes;
        return fatal;
    }
    // The lines of item `index` (0 for A): those between its rules.
    Lines item(std::size_t index) const
    {
        Lines lines;
        std::size_t rules = 0;
        for (const std::string& line : report_) {
            if (line == REPORT_RULE) {
                ++rules;
            } else if (rules == index + 1) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    std::size_t rule_count() const
    {
        return static_cast<std::size_t>(std::count(report_.begin(), report_.end(), REPORT_RULE));
    }
    std::vector<float> stamps(const std::string& name = "AB0101ZZ.ZZL") const
    {
        std::vector<float> values;
        for (const GisLinkRecord& record : read_gis_link_file(name, FilePresence::MustExist))
            values.push_back(record.processed_stamp());
        return values;
    }

    Lines report_;
    std::vector<float> over_connected_;
};

TEST_F(GisLinkChecksTest, CleanMapWritesEveryItemAndIsStamped)
{
    write_links({{10110, 10150}, {10120, 10150}, {10150, 10190, 200.0f}});
    write_nodes({{10110, 110.0f}, {10120, 112.0f}, {10150, 105.0f}, {10190, 100.0f}});
    EXPECT_EQ(check(), 0);
    EXPECT_EQ(Lines(report_.begin(), report_.begin() + 4),
              (Lines{"", "", "          PREPROCESSOR VALIDITY CHECKS: LINKS", "          FILE NAME : AB0101.ZZL"}));
    EXPECT_EQ(rule_count(), 13u);
    EXPECT_EQ(item(0), (Lines{"  A. NUMBERS of Upstream Node Number Exceeds Downstream Node Number = 0"}));
    EXPECT_EQ(item(1), (Lines{"  B. Number of Upstream Nodes that are NOT unique", "     in the Link Database = 0",
                              "     (EXCEPTIONS are FATAL!)"}));
    EXPECT_EQ(item(2), (Lines{"  C. Downstream Nodes that are NOT unique in the Link Database:",
                              "     (EXCEPTIONS must be all and only confluence nodes)", "                  Link ID",
                              "   Link      Upstream   Downstream", "  Number       Node        Node",
                              "     1        10110.0    10150.0", "     2        10120.0    10150.0"}));
    EXPECT_EQ(item(3), (Lines{"  D. Number of LINKS in Set [A] that are not an element in Set [C] =   0:",
                              "     (EXCEPTIONS maybe FATAL!)"}));
    EXPECT_EQ(item(4).back(), "  10190.0");
    EXPECT_EQ(item(5).back(), "  10110.0  10120.0");
    EXPECT_EQ(item(6), (Lines{"  G. Number of Links where Length is less than or equal to [0.001] =   0",
                              "     (EXCEPTIONS are FATAL!)"}));
    EXPECT_EQ(item(9), (Lines{"  J. Number of Upstream Nodes NOT defined in the Node Database =   0:",
                              "     (EXCEPTIONS are FATAL!)"}));
    EXPECT_EQ(item(11), (Lines{"  L. Number of Links that Downstream Elevation is",
                               "     greater than or equal to Upstream Elevation on a Link =   0"}));
    EXPECT_EQ(read_text_lines("SETC.ZZZ"), (Lines{"  10150.0   10110.0   10120.0       0.0       0.0       0.0"}));
    EXPECT_EQ(read_text_lines("SETE.ZZZ"), (Lines{free_form_line({10190.0f})}));
    EXPECT_EQ(read_text_lines("SETF.ZZZ"), (Lines{free_form_line({10110.0f, 10120.0f})}));
    EXPECT_EQ(stamps(), (std::vector<float>{1.0f, 1.0f, 1.0f}));
    EXPECT_NE(window_.transcript().find("   * PROCESSING FILE AB0101ZZ.ZZL"), std::string::npos);
}

TEST_F(GisLinkChecksTest, FindingsAndTheirFatality)
{
    struct Case {
        const char* name;
        std::vector<Link> links;
        int fatal;
        std::size_t item;  // the item that shows the finding
        std::string line;  // a line of it
    };
    const std::vector<Case> cases = {
        {"closed link", {{10150, 10150}}, 1, 0, "     1        10150.0    10150.0"},
        {"reversed link off the confluences is no fatal finding",
         {{10190, 10150}},
         0,
         3,
         "     1        10190.0    10150.0"},
        {"shared upstream node, first and last link",
         {{10110, 10150}, {10120, 10160}, {10110, 10170}},
         1,
         1,
         "     2        10110.0    10170.0"},
        {"short link", {{10110, 10150, 0.0005f}}, 1, 6, "   10110.0    10150.0        0.00"},
        {"node number out of range", {{9999, 10150}}, 1, 7, "   9999.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_links(c.links);
        write_nodes({});
        std::filesystem::remove("AB0101ZZ.ZZN");
        const float stamp_before = stamps().front();
        EXPECT_EQ(check(false), c.fatal);
        EXPECT_EQ(rule_count(), 10u) << "no items J to L without the node file";
        const Lines lines = item(c.item);
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end());
        EXPECT_EQ(stamps().front(), c.fatal ? stamp_before : 1.0f);
    }
}

TEST_F(GisLinkChecksTest, SharedUpstreamNodesPairOnlyWithLaterLinks)
{
    const std::vector<NodePair> pairs = find_gis_shared_upstream_nodes(
        {{10110, 10150, 0, 0, 1}, {10110, 10160, 0, 0, 1}, {10120, 10170, 0, 0, 1}, {10110, 10180, 0, 0, 1}});
    EXPECT_EQ(pairs,
              (std::vector<NodePair>{{10110, 10150}, {10110, 10160}, {10110, 10180}, {10110, 10160}, {10110, 10180}}));
}

TEST_F(GisLinkChecksTest, ConfluencesOfOneToFiveAndMoreStreams)
{
    // Two links with the same ends: a record with one upstream node.
    write_links({{10110, 10150}, {10110, 10150}});
    check(false);
    EXPECT_EQ(read_text_lines("SETC.ZZZ"), (Lines{"  10150.0   10110.0       0.0       0.0       0.0       0.0"}));

    // Six streams into one node, the last confluence of the file.
    std::vector<Link> six;
    for (int k = 1; k <= 6; ++k) six.push_back({static_cast<float>(10100 + k), 10190});
    write_links(six);
    EXPECT_EQ(check(false), 1);
    const Lines c = item(2);
    EXPECT_EQ(c.back(), "     Node Number  10190.0 has more than 5 streams, FATAL!");
    EXPECT_EQ(read_text_lines("SETC.ZZZ"),
              (Lines{"  10190.0   10101.0   10102.0   10103.0   10104.0   10105.0 <=== more than 5 streams"}));
    EXPECT_EQ(over_connected_, std::vector<float>{10190.0f}) << "the node for the table's closing block";
    EXPECT_EQ(stamps(), std::vector<float>(6, 0.0f)) << "a fatal map keeps its stamps";
}

TEST_F(GisLinkChecksTest, ElevationsFromTheNodeFile)
{
    // 10120 is missing from the node file: J, and L with -99999.99.  The
    // second record of 10150 gives its elevation.
    write_links({{10110, 10150}, {10120, 10150}, {10150, 10190}});
    write_nodes({{10110, 110.0f}, {10150, 120.0f}, {10150, 105.0f}, {10190, 106.0f}});
    EXPECT_EQ(check(), 1);
    EXPECT_EQ(item(9).back(), "  10120.0");
    EXPECT_EQ(
        item(11),
        (Lines{"  L. Downstream Elevation is greater than or", "     equal to Upstream Elevation on a Link:",
               "  Upstream   Downstream    Upstream    Downstream", "    Node        Node       Elevation   Elevation",
               "   10120.0    10150.0     -99999.99      105.00", "   10150.0    10190.0        105.00      106.00"}));
}

TEST_F(GisLinkChecksTest, StampRequestsAndAMissingFile)
{
    write_links({{10110, 10150}});
    check(false, GisStampRequest::Final);
    EXPECT_EQ(read_text_lines("AB0101ZZ.ZZL").front().substr(159, 8), "    3.00");
    check(false, GisStampRequest::KeepStamps);
    EXPECT_EQ(stamps(), (std::vector<float>{3.0f}));

    EXPECT_EQ(check(true, GisStampRequest::Checked, 3, "AB0202"), 0);
    EXPECT_EQ(item(0), (Lines{"  A. NUMBERS of Upstream Node Number Exceeds Downstream Node Number = 0"}));
    EXPECT_TRUE(std::filesystem::exists("AB0202ZZ.ZZL"));
    EXPECT_EQ(read_text_lines("AB0202ZZ.ZZL"), Lines{});
}

}  // namespace
}  // namespace velm
