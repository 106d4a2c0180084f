// The report of gaps in the existing primary system.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sizing/primary_system_gaps.h"
#include "sizing/telescoping_records.h"
#include "support/run_step_test.h"
#include "support/scripted_window.h"
#include "support/session_test.h"
#include "support/written_lines.h"

namespace velm::test {
namespace {

constexpr std::size_t HEADING_LINES = 6;  // the page break and five lines

// A long record of a link with an existing element type, a curb (street)
// or not, and a process code.
TelescopedStringRecord string_link(float upstream, float downstream, float element_type, bool street,
                                   float process_code = 41.0f)
{
    TelescopedStringRecord record;
    record.upstream_node = upstream;
    record.downstream_node = downstream;
    record.element_type = element_type;
    record.curb_height = street ? 0.5f : 0.0f;
    record.process_code = process_code;
    return record;
}

struct GapCase {
    std::string name;
    std::vector<TelescopedStringRecord> string;
    std::optional<ContinuingLink> below;
    std::vector<std::string> lines;  // after the heading
};

std::vector<std::string> gap_lines(const std::vector<std::vector<TelescopedStringRecord>>& strings,
                                   std::optional<ContinuingLink> below, ScriptedWindow& window)
{
    GapReportSource source;
    source.string_records = [&](int number) {
        return telescoped_link_summaries(strings.at(static_cast<std::size_t>(number - 1)));
    };
    source.continuing_link = [&](float, float, float) { return below; };
    return written_lines([&](TextWriter& report) {
        report_primary_system_gaps(window, report, "AB", static_cast<int>(strings.size()), source);
    });
}

TEST(PrimarySystemGaps, LinksWhereTheExistingSystemStops)
{
    const std::string none = "        None";
    const std::vector<GapCase> cases{
        {"pipe then street only",
         {string_link(10101, 10102, 1, false), string_link(10102, 10103, 0, true)},
         {},
         {"            10102.0     10103.0"}},
        {"street only then pipe",
         {string_link(10101, 10102, 0, true), string_link(10102, 10103, 1, false)},
         {},
         {none}},
        {"pipe then box", {string_link(10101, 10102, 1, false), string_link(10102, 10103, 2, false)}, {}, {none}},
        {"pipe then pipe under a street",
         {string_link(10101, 10102, 1, false), string_link(10102, 10103, 1, true)},
         {},
         {none}},
        {"a code-31 conduit is a pipe",
         {string_link(10101, 10102, 0, false, 31.0f), string_link(10102, 10103, 0, false)},
         {},
         {"            10102.0     10103.0"}},
        {"headwater links are passed over",
         {string_link(10101, 10102, 1, false), string_link(10102, 10103, 0, false, 21.0f),
          string_link(10103, 10104, 1, false)},
         {},
         {none}},
        {"the link below the outlet has no element",
         {string_link(10101, 10102, 3, false)},
         ContinuingLink{10102.0f, 10201.0f, {0.0f, 1.0f}},
         {"            10102.0     10201.0"}},
        {"the link below the outlet is a pipe",
         {string_link(10101, 10102, 3, false)},
         ContinuingLink{10102.0f, 10201.0f, {1.0f, 0.0f}},
         {none}},
        {"a string of headwater links only",
         {string_link(10101, 10102, 0, false, 22.0f)},
         ContinuingLink{10102.0f, 10201.0f, {0.0f, 0.0f}},
         {none}},
    };
    for (const GapCase& c : cases) {
        ScriptedWindow window;
        const std::vector<std::string> lines = gap_lines({c.string}, c.below, window);
        ASSERT_GE(lines.size(), HEADING_LINES) << c.name;
        EXPECT_EQ(std::vector<std::string>(lines.begin() + HEADING_LINES, lines.end()), c.lines) << c.name;
    }
}

TEST(PrimarySystemGaps, HeadingAndProgress)
{
    ScriptedWindow window;
    const std::vector<std::string> lines = gap_lines({{}, {}}, std::nullopt, window);
    const std::vector<std::string> expected{
        "\f",
        "     The following Links appear to have a gap between Existing",
        "     System Primary Elements:",
        "                 Link ID",
        "            Upstream  Downstream",
        "              Node       Node",
        "        None",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_NE(window.transcript().find("*** IDENTIFIED GAPS IN EXISTING PRIMARY SYSTEM NETWORK ***"),
              std::string::npos);
    EXPECT_NE(window.transcript().find("** Processing String File ===>AB0002ZZ.ZST"), std::string::npos);
}

class GapReportFiles : public RunStepTest {
protected:
    GapReportSource source(int model_type)
    {
        settings_.model_type_code = model_type;
        return study_gap_report_source(run_);
    }
};

TEST_F(GapReportFiles, ContinuingLinkFromTheOutletsLinkDataBase)
{
    // The outlet node 10203 is in map 102 (region 1); the link that leaves it
    // is a street-only link.
    // The run's new versions are what the report reads.
    write_link_data_base("AB0102ZZ.ZLL", {link_with(10203.0f, 10299.0f, {{22, 0.0f}, {10, 0.5f}})});
    write_link_data_base(run_.outputs.new_file("AB0102ZZ.ZLL"),
                         {link_with(10203.0f, 10250.0f, {{22, 0.0f}, {10, 0.5f}})});
    write_link_data_base("AB0100ZZ.ZLL", {link_with(10203.0f, 10260.0f, {{22, 1.0f}})});
    write_telescoped_string_file(run_.outputs.new_file("AB0001ZZ.ZST"), {string_link(10102.0f, 10203.0f, 1, false)});

    struct Case {
        int model_type;
        std::optional<std::pair<float, float>> found;
    };
    for (const Case& c : {Case{7, std::pair{10203.0f, 10250.0f}}, Case{9, std::pair{10203.0f, 10260.0f}}}) {
        const GapReportSource source = this->source(c.model_type);
        ASSERT_EQ(source.string_records(1).size(), 1u);
        EXPECT_TRUE(source.string_records(2).empty());
        const std::optional<ContinuingLink> below = source.continuing_link(10102.0f, 10203.0f, 10203.0f);
        ASSERT_TRUE(below.has_value()) << c.model_type;
        EXPECT_EQ(below->upstream_node, c.found->first) << c.model_type;
        EXPECT_EQ(below->downstream_node, c.found->second) << c.model_type;
    }
    EXPECT_FALSE(source(7).continuing_link(10102.0f, 10203.0f, 10250.0f));
}

TEST_F(GapReportFiles, CountyStudyLooksInTheMapFileOfTheLastLink)
{
    // The last link 10150 -> 10203 stands in map 101's file, which also
    // holds the link below it; map 102's file does not.
    write_link_data_base("AB0101ZZ.ZLL",
                         {link_with(10150.0f, 10203.0f, {{22, 1.0f}}), link_with(10203.0f, 10270.0f, {{22, 0.0f}})});
    write_link_data_base("AB0102ZZ.ZLL", {link_with(10290.0f, 10291.0f, {{22, 1.0f}})});
    const GapReportSource source = this->source(6);
    const std::optional<ContinuingLink> below = source.continuing_link(10150.0f, 10203.0f, 10203.0f);
    ASSERT_TRUE(below.has_value());
    EXPECT_EQ(below->downstream_node, 10270.0f);
    EXPECT_EQ(outlet_link_data_base_name("AB", 9, 123456.0f), "AB1200ZZ.ZLL");
    EXPECT_EQ(outlet_link_data_base_name("AB", 6, 123456.0f), "AB1234ZZ.ZLL");
}

}  // namespace
}  // namespace velm::test
