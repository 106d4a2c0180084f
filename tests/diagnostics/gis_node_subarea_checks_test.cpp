// The GIS-path node and subarea checks of one map: the report block, the
// subarea tests of the GIS file by model type, and the stamped rewrite.
#include "diagnostics/gis_node_subarea_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"

namespace velm {
namespace {

using test::REPORT_RULE;
using Lines = std::vector<std::string>;

GisNodeRecord gis_node(float number, float elevation, float stamp = 0.0f)
{
    GisNodeRecord record;
    record.node_number() = number;
    record.node_elevation() = elevation;
    record.processed_stamp() = stamp;
    return record;
}

class GisNodeSubareaChecksTest : public test::SessionTest {
protected:
    GisCheckResult check_nodes(bool link_switch, GisStampRequest stamp = GisStampRequest::Checked, int model_type = 3)
    {
        TextWriter report("node.dia");
        const GisCheckResult result = check_gis_node_file(session_, report, link_switch, "AB0101", stamp, model_type);
        report.commit();
        report_ = read_text_lines("node.dia");
        return result;
    }
    GisCheckResult check_subareas(int model_type = 3)
    {
        TextWriter report("subarea.dia");
        const GisCheckResult result =
            check_gis_subarea_file(session_, report, "AB0101", model_type, GisStampRequest::Checked);
        report.commit();
        report_ = read_text_lines("subarea.dia");
        return result;
    }
    Lines report_;
};

TEST_F(GisNodeSubareaChecksTest, CleanNodeFileIsRestampedAndItsBlockWritten)
{
    // Stamped 3.0 by an earlier final pass; a check asks for 1.0.
    write_gis_node_file("AB0101ZZ.ZZN", {gis_node(10110, 100.0f, 3.0f), gis_node(10150, 99.0f, 3.0f)});
    GisLinkRecord link;
    link.upstream_node() = 10110;
    link.downstream_node() = 10150;
    write_gis_link_file("AB0101ZZ.ZZL", {link});
    EXPECT_EQ(check_nodes(true).fatal, 0);
    EXPECT_EQ(
        report_,
        (Lines{"", "", "          PREPROCESSOR VALIDITY CHECKS: NODES", "          FILE NAME : AB0101.ZZN", REPORT_RULE,
               "  A. Number of Nodes that are NOT unique in the Node Database =   0:", "     (EXCEPTIONS are FATAL!)",
               REPORT_RULE, "  B. Number of Nodal Elevations that are less than",
               "     [-2000.] or greater than [25000.] =   0:", REPORT_RULE,
               "  C. Number of Nodal Point NUMBERS out of range =   0:", "     (EXCEPTIONS are FATAL!)", REPORT_RULE,
               "  D. Number of Nodes that are NOT used in the Link Database =   0:", "     (EXCEPTIONS are FATAL!)",
               REPORT_RULE}));
    EXPECT_EQ(read_text_lines("AB0101ZZ.ZZN"), (Lines{" 10110.0   100.00     1.00", " 10150.0    99.00     1.00"}));
}

TEST_F(GisNodeSubareaChecksTest, FatalNodeFindingsKeepTheFile)
{
    write_gis_node_file("AB0101ZZ.ZZN", {gis_node(10110, 100.0f), gis_node(10110, 100.0f), gis_node(10150, -2500.0f)});
    const std::string before = test::TemporaryDirectory::get("AB0101ZZ.ZZN");
    EXPECT_EQ(check_nodes(false).fatal, 1);
    EXPECT_EQ(std::count(report_.begin(), report_.end(), REPORT_RULE), 4) << "no item D without the link file";
    EXPECT_EQ(test::TemporaryDirectory::get("AB0101ZZ.ZZN"), before);

    // Item B alone is no fatal finding.
    write_gis_node_file("AB0101ZZ.ZZN", {gis_node(10150, -2500.0f)});
    EXPECT_EQ(check_nodes(false).fatal, 0);
}

TEST_F(GisNodeSubareaChecksTest, FinalPassMeetingAFinalStampChecksNothing)
{
    write_gis_node_file("AB0101ZZ.ZZN", {gis_node(10110, 100.0f), gis_node(10150, 99.0f, 3.0f)});
    const std::string before = test::TemporaryDirectory::get("AB0101ZZ.ZZN");
    const GisCheckResult result = check_nodes(false, GisStampRequest::Final);
    EXPECT_TRUE(result.already_final);
    EXPECT_EQ(report_, Lines{});
    EXPECT_EQ(test::TemporaryDirectory::get("AB0101ZZ.ZZN"), before);
}

TEST_F(GisNodeSubareaChecksTest, SubareaTestsOfTheGisFileByModelType)
{
    struct Case {
        const char* name;
        int model_type;
        float number;
        float parameter_1;  // GIS value 2
        float parameter_2;  // GIS value 3
        std::vector<std::array<float, 3>> cells;
        std::string flags;  // the seven columns, M marked, N N/A, - blank; empty: no row
    };
    const std::string none = "";
    const std::vector<Case> cases = {
        {"type 3 lower limit 10100", 3, 10050.0f, 0, 0, {{1, 1, 1}}, "-M-----"},
        {"type 9 lower limit 10000", 9, 10000.0f, 0, 2.0f, {{1, 1, 1}}, none},
        {"type 6 rainfall 50 passes", 6, 10100.0f, 50.0f, 0, {{105, 2, 1}}, none},
        {"type 6 rainfall 7", 6, 10100.0f, 7.0f, 0, {{105, 2, 1}}, "--N----"},
        {"type 6 land use 100", 6, 10100.0f, 3.0f, 0, {{100, 2, 1}}, "----M--"},
        {"type 6 land use 125", 6, 10100.0f, 3.0f, 0, {{125, 2, 1}}, "----M--"},
        {"type 8 land use 110, soil 4.5", 8, 10100.0f, 0, 0, {{110, 4.5f, 1}}, "----MM-"},
        {"empty second cell ends the tests", 3, 10100.0f, 0, 0, {{1, 1, 1}, {0, 0, 0}, {1, 9, 1}}, none},
        {"large area passes, small one fails", 3, 10100.0f, 0, 0, {{1, 1, 5000}, {1, 1, 0.0005f}}, "------M"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GisSubareaRecord record;
        record.subarea_number() = c.number;
        record.subarea_parameter(1) = c.parameter_1;
        record.subarea_parameter(2) = c.parameter_2;
        for (std::size_t k = 0; k < c.cells.size(); ++k) {
            record.cell_land_use(static_cast<int>(k) + 1) = c.cells[k][0];
            record.cell_soil(static_cast<int>(k) + 1) = c.cells[k][1];
            record.cell_area(static_cast<int>(k) + 1) = c.cells[k][2];
        }
        const std::vector<SubareaCheckRow> rows = find_gis_subarea_exceptions({record}, c.model_type);
        if (c.flags.empty()) {
            EXPECT_TRUE(rows.empty());
        } else {
            ASSERT_EQ(rows.size(), 1u);
            const SubareaCheckFlags& f = rows[0].flags;
            std::string shown;
            for (SubareaFlag flag : {f.uniqueness, f.subarea_number, f.rainfall, f.s_graph, f.land_use, f.soil, f.area})
                shown += flag == SubareaFlag::Marked ? 'M' : flag == SubareaFlag::NotApplicable ? 'N' : '-';
            EXPECT_EQ(shown, c.flags);
        }
    }
}

TEST_F(GisNodeSubareaChecksTest, SubareaFileBlockAndRewrite)
{
    GisSubareaRecord good;
    good.subarea_number() = 10110.0f;
    good.cell_land_use(1) = 1.0f;
    good.cell_soil(1) = 2.0f;
    good.cell_area(1) = 3.0f;
    GisSubareaRecord repeated = good;
    write_gis_subarea_file("AB0101ZZ.ZZS", {good, repeated});
    const std::string before = test::TemporaryDirectory::get("AB0101ZZ.ZZS");
    EXPECT_EQ(check_subareas().fatal, 2) << "both records of a repeated number";
    EXPECT_EQ(
        Lines(report_.begin(), report_.begin() + 4),
        (Lines{"", "", "          PREPROCESSOR VALIDITY CHECKS: SUBAREAS", "          FILE NAME : AB0101ZZ.ZZS"}));
    EXPECT_EQ(test::TemporaryDirectory::get("AB0101ZZ.ZZS"), before);

    // A missing file: no errors, and an empty file stands afterwards.
    std::filesystem::remove("AB0101ZZ.ZZS");
    EXPECT_EQ(check_subareas().fatal, 0);
    EXPECT_EQ(report_[report_.size() - 2], "  ==> No Errors! ");
    EXPECT_EQ(report_.back(), REPORT_RULE);
    EXPECT_TRUE(std::filesystem::exists("AB0101ZZ.ZZS"));

    write_gis_subarea_file("AB0101ZZ.ZZS", {good});
    EXPECT_EQ(check_subareas().fatal, 0);
    EXPECT_EQ(read_gis_subarea_file("AB0101ZZ.ZZS", FilePresence::MustExist).front().processed_stamp(), 1.0f);
}

}  // namespace
}  // namespace velm
