// Section II.A as the report comparison reads it: captions, rows and the 13
// rule lines, line for line.
#include "diagnostics/link_check_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "support/report_delimiters.h"
#include "support/written_lines.h"

namespace velm {
namespace {

using test::REPORT_RULE;

std::vector<std::string> section_of(const LinkCheckFindings& findings)
{
    return test::written_lines([&findings](TextWriter& report) { report_link_checks(report, findings); });
}

TEST(LinkCheckReport, SectionWithoutExceptions)
{
    const std::vector<std::string> expected{
        "",
        "",
        "    II.A. POSTPROCESSOR VALIDITY CHECKS: LINKS",
        REPORT_RULE,
        " [A] Upstream Node NUMBERs that Exceed Downstream Node NUMBERs = 0",
        REPORT_RULE,
        "  B. Number of Upstream Nodes that are NOT unique",
        "     in the Link Database = 0",
        "     (EXCEPTIONS are FATAL!)",
        REPORT_RULE,
        " [C] Number of Downstream Nodes that are NOT unique",
        "     in the Link Database = 0",
        REPORT_RULE,
        "  D. Number of LINKS in Set [A] that are not an element in Set [C] =   0:",
        "     (EXCEPTIONS are FATAL at a Confluence Node!)",
        REPORT_RULE,
        "  E. Number of Downstream Nodes that do not connect",
        "     to an Upstream Node located on a downstream Link =   0:",
        "     (EXCEPTIONS are: (i) Downstream end of a STRING, and",
        "     (ii) interface node between MAPs(subregions).)",
        REPORT_RULE,
        "  F. Number of Upstream Nodes that do not connect",
        "     to a Downstream Node located on an upstream Link =   0:",
        "     (EXCEPTIONS are: (i) headwater node, (ii) MAP(subregion)",
        "     interface node, and (iii) User-Defined information node.)",
        REPORT_RULE,
        "  G. Number of Links where Length is less than or equal to [0.001] = 0",
        "     (EXCEPTIONS are FATAL!)",
        REPORT_RULE,
        "  H. Number of Upstream Nodal Point NUMBERS out of range =   0:",
        "     (EXCEPTIONS are FATAL!)",
        REPORT_RULE,
        "  I. Number of Downstream Nodal Point NUMBERS out of range =   0:",
        "     (EXCEPTIONS are FATAL!)",
        REPORT_RULE,
        "  J. Number of Upstream Nodes NOT defined in the Node Database =   0:",
        "     (EXCEPTIONS are FATAL!)",
        REPORT_RULE,
        "  K. Number of Downstream Nodes NOT defined in the Node Database =   0",
        "     (EXCEPTIONS are FATAL!)",
        REPORT_RULE,
        "  L. Number of Links with Topographic Slopes",
        "     LESS than 0.002, or Greater than 0.100 = 0",
        REPORT_RULE,
    };
    EXPECT_EQ(section_of({}), expected);
}

TEST(LinkCheckReport, SectionWithExceptionsOfEveryItem)
{
    LinkCheckFindings findings;
    findings.reversed_links = {{10180, 10170}, {10250, 10250}};
    findings.shared_upstream_nodes = {{10150, 10190}, {10150, 10160}};
    findings.confluence_pairs = {{10110, 10150}, {10120, 10150}};
    findings.reversed_links_off_confluences = {{10180, 10170}, {10250, 10250}};
    findings.unconnected_downstream_nodes = {10101, 10102, 10103, 10104, 10105, 10106, 10107, 10108, 10109};
    findings.unconnected_upstream_nodes = {10110};
    findings.short_links = {{10130, 10140, 0.0f}};
    findings.upstream_nodes_out_of_range = {9999.9f};
    findings.downstream_nodes_out_of_range = {9000.0f};
    findings.upstream_nodes_not_in_gis = {10300};
    findings.downstream_nodes_not_in_gis = {10310, 10320};
    findings.topographic_slopes = {{10010, 10020, 0.15f}, {10030, 10040, -0.01f}, {10050, 10060, 0.001f}};

    const std::vector<std::string> expected{
        "",
        "",
        "    II.A. POSTPROCESSOR VALIDITY CHECKS: LINKS",
        REPORT_RULE,
        " [A] Upstream Node Number Exceeds Downstream Node Number:",
        "     (EXCEPTIONS need to be at a confluence)",
        "     (Note: Any Downstream Node Number = Upstream Node Number is FATAL!)",
        "                  Link ID",
        "   Link      Upstream   Downstream",
        "  Number       Node        Node",
        "     1        10180.0    10170.0",
        "     2        10250.0    10250.0",
        REPORT_RULE,
        "  B. Upstream Nodes that are NOT unique in the Link Database:",
        "     (EXCEPTIONS are FATAL!)",
        "                  Link ID",
        "   Link      Upstream   Downstream",
        "  Number       Node        Node",
        "     1        10150.0    10190.0",
        "     2        10150.0    10160.0",
        REPORT_RULE,
        " [C] Downstream Nodes that are NOT unique in the Link Database:",
        "     (EXCEPTIONS must be all and only confluence nodes)",
        "                  Link ID",
        "   Link      Upstream   Downstream",
        "  Number       Node        Node",
        "     1        10110.0    10150.0",
        "     2        10120.0    10150.0",
        REPORT_RULE,
        "  D. Number of LINKS in Set [A] that are not an element in Set [C] =   2:",
        "     (EXCEPTIONS are FATAL at a Confluence Node!)",
        "                  Link ID",
        "   Link      Upstream   Downstream",
        "  Number       Node        Node",
        "     1        10180.0    10170.0",
        "     2        10250.0    10250.0",
        REPORT_RULE,
        "  E. Number of Downstream Nodes that do not connect",
        "     to an Upstream Node located on a downstream Link =   9:",
        "     (EXCEPTIONS are: (i) Downstream end of a STRING, and",
        "     (ii) interface node between MAPs(subregions).)",
        "  10101.0  10102.0  10103.0  10104.0  10105.0  10106.0  10107.0  10108.0",
        "  10109.0",
        REPORT_RULE,
        "  F. Number of Upstream Nodes that do not connect",
        "     to a Downstream Node located on an upstream Link =   1:",
        "     (EXCEPTIONS are: (i) headwater node, (ii) MAP(subregion)",
        "     interface node, and (iii) User-Defined information node.)",
        "  10110.0",
        REPORT_RULE,
        "  G. Length of a Link is less than [0.001]:",
        "     (EXCEPTIONS are FATAL!)",
        "  Upstream   Downstream    Length",
        "    Node        Node       (feet)",
        "   10130.0    10140.0        0.00",
        REPORT_RULE,
        "  H. Number of Upstream Nodal Point NUMBERS out of range =   1:",
        "     (EXCEPTIONS are FATAL!)",
        "   9999.9",
        REPORT_RULE,
        "  I. Number of Downstream Nodal Point NUMBERS out of range =   1:",
        "     (EXCEPTIONS are FATAL!)",
        "   9000.0",
        REPORT_RULE,
        "  J. Number of Upstream Nodes NOT defined in the Node Database =   1:",
        "     (EXCEPTIONS are FATAL!)",
        "  10300.0",
        REPORT_RULE,
        "  K. Number of Downstream Nodes NOT defined in the Node Database =   2",
        "     (EXCEPTIONS are FATAL!)",
        "  10310.0  10320.0",
        REPORT_RULE,
        "  L. The following LINKS have Topographic Slopes",
        "     LESS than 0.002, or Greater than 0.100:",
        "  Upstream   Downstream    Topographic ",
        "    Node        Node          Slope    ",
        // By slope ascending.
        "   10030.0    10040.0       -0.0100",
        "   10050.0    10060.0        0.0010",
        "   10010.0    10020.0        0.1500",
        REPORT_RULE,
    };
    EXPECT_EQ(section_of(findings), expected);
}

TEST(LinkCheckReport, EqualSlopesComeOutInExchangeOrder)
{
    LinkCheckFindings findings;
    findings.topographic_slopes = {{10010, 10020, 0.5f}, {10030, 10040, 0.5f}, {10050, 10060, 0.1f}};
    const std::vector<std::string> lines = section_of(findings);
    const std::vector<std::string> rows(lines.end() - 4, lines.end() - 1);
    EXPECT_EQ(rows,
              (std::vector<std::string>{"   10050.0    10060.0        0.1000", "   10030.0    10040.0        0.5000",
                                        "   10010.0    10020.0        0.5000"}));
}

TEST(LinkCheckReport, CountsBeyondTheirFieldPrintAsAsterisks)
{
    LinkCheckFindings findings;
    findings.upstream_nodes_out_of_range.assign(1000, 9000.0f);
    const std::vector<std::string> lines = section_of(findings);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "  H. Number of Upstream Nodal Point NUMBERS out of range = ***:"),
              lines.end());
    // 1000 nodes eight to a line: 125 lines, the section still closes with its 13 rules.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), REPORT_RULE), 13);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "   9000.0   9000.0   9000.0   9000.0   9000.0   9000.0   9000.0   9000.0"),
              125);
}

}  // namespace
}  // namespace velm
