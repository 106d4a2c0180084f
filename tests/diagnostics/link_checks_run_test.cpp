// The link part of the diagnostics run over a study on disk: the report's
// section II.A, the confluence table, the node-set files and the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "diagnostics/link_check_report.h"
#include "diagnostics/link_checks.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/gis_files.h"
#include "records/link_data_base.h"
#include "records/record_test_support.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::REPORT_RULE;
using test::TemporaryDirectory;

struct StudyLink {
    float upstream_node;
    float downstream_node;
    float link_length = 100.0f;           // ft
    float upstream_elevation = 105.0f;    // ft
    float downstream_elevation = 100.0f;  // ft
    int process_code = 1;
};

std::string crlf_lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

class LinkChecksRun : public test::SessionTest {
protected:
    // The map's link data base and GIS node file, in the data directory.
    void add_map(const std::string& stem, const std::vector<StudyLink>& links, const std::vector<float>& gis_nodes)
    {
        std::vector<LinkRecord> records;
        for (const StudyLink& link : links) {
            LinkRecord record;
            record.upstream_node() = link.upstream_node;
            record.downstream_node() = link.downstream_node;
            record.upstream_elevation() = link.upstream_elevation;
            record.downstream_elevation() = link.downstream_elevation;
            record.link_length() = link.link_length;
            record.process_code() = link.process_code;
            records.push_back(record);
        }
        write_link_data_base(directory_prefix_ + stem + ".ZLL", records);
        write_gis_nodes(stem.substr(0, 6) + "ZZ.ZZN", gis_nodes);
        data_files_.data_file_names.push_back(stem);
    }
    void write_gis_nodes(const std::string& name, const std::vector<float>& nodes)
    {
        std::vector<GisNodeRecord> records;
        for (float node : nodes) {
            GisNodeRecord record;
            record.node_number() = node;
            record.node_elevation() = 100.0f;
            records.push_back(record);
        }
        write_gis_node_file(directory_prefix_ + name, records);
    }
    // Study AB keeps its files in the directory named by "ABMPDZZ.ZZZ".
    void use_data_directory()
    {
        std::filesystem::create_directory("data");
        TemporaryDirectory::put("ABMPDZZ.ZZZ", "data/ABMPDZZ.ZZZ\r\n");
        directory_prefix_ = "data/";
    }

    // Runs the link checks with the report open after section I.
    std::vector<std::string> run(int model_type_code = 5)
    {
        TextWriter report("ABTRVLZZ.DIA");
        report.write_line("(section I)");
        link_fatal_total_ = run_link_checks(session_, report, data_files_, model_type_code);
        report.commit();
        return read_text_lines("ABTRVLZZ.DIA");
    }

    // The twelve items of section II.A, each the lines between two rules.
    static std::vector<std::vector<std::string>> items_of(const std::vector<std::string>& report)
    {
        std::vector<std::vector<std::string>> items;
        const auto first_rule = std::find(report.begin(), report.end(), REPORT_RULE);
        for (auto line = first_rule; line != report.end(); ++line) {
            if (*line == REPORT_RULE) {
                items.emplace_back();
            } else {
                items.back().push_back(*line);
            }
        }
        items.pop_back();  // after the closing rule
        return items;
    }

    DataFileTable data_files_;
    std::string directory_prefix_;
    int link_fatal_total_ = -1;
};

TEST_F(LinkChecksRun, SeededStudyShowsEveryItemWithItsExceptions)
{
    add_map("AB0101ZZ", {{10110, 10150}, {10120, 10150}, {10150, 10190}, {10190, 10180}},  // the last is reversed
            {10110, 10120, 10150, 10190, 10180});
    add_map("AB0102ZZ",
            {
                {10210, 10230},
                {10210, 10220},                          // shares its upstream node
                {10220, 10240, 0.0f, 0.0f, 0.0f},        // no length
                {10230, 10240, 100.0f, 100.0f, 100.0f},  // flat
                {10240, 9990},                           // reversed, downstream number out of range
                {9980, 10250},                           // upstream number out of range
                {10260, 10270},                          // neither node in the GIS node file
            },
            {10210, 10220, 10230, 10240, 9990, 9980, 10250});
    const std::vector<std::string> report = run();
    EXPECT_EQ(link_fatal_total_, 2);

    const std::vector<std::string> opening(report.begin(), report.begin() + 8);
    EXPECT_EQ(opening,
              (std::vector<std::string>{"(section I)", "\f", "", "                        II. DIAGNOSTICS REPORT", "",
                                        "", "", "    II.A. POSTPROCESSOR VALIDITY CHECKS: LINKS"}));
    EXPECT_EQ(std::count(report.begin(), report.end(), REPORT_RULE), LINK_SECTION_DELIMITERS);

    const std::vector<std::string> pair_heading{"                  Link ID", "   Link      Upstream   Downstream",
                                                "  Number       Node        Node"};
    auto with_heading = [&](std::vector<std::string> caption, const std::vector<std::string>& rows) {
        caption.insert(caption.end(), pair_heading.begin(), pair_heading.end());
        caption.insert(caption.end(), rows.begin(), rows.end());
        return caption;
    };
    const std::vector<std::vector<std::string>> expected{
        with_heading({" [A] Upstream Node Number Exceeds Downstream Node Number:",
                      "     (EXCEPTIONS need to be at a confluence)",
                      "     (Note: Any Downstream Node Number = Upstream Node Number is FATAL!)"},
                     {"     1        10190.0    10180.0", "     2        10240.0     9990.0"}),
        with_heading({"  B. Upstream Nodes that are NOT unique in the Link Database:", "     (EXCEPTIONS are FATAL!)"},
                     {"     1        10210.0    10230.0", "     2        10210.0    10220.0",
                      "     3        10210.0    10220.0", "     4        10210.0    10230.0"}),
        with_heading({" [C] Downstream Nodes that are NOT unique in the Link Database:",
                      "     (EXCEPTIONS must be all and only confluence nodes)"},
                     {"     1        10110.0    10150.0", "     2        10120.0    10150.0",
                      "     3        10220.0    10240.0", "     4        10230.0    10240.0"}),
        with_heading({"  D. Number of LINKS in Set [A] that are not an element in Set [C] =   2:",
                      "     (EXCEPTIONS are FATAL at a Confluence Node!)"},
                     {"     1        10190.0    10180.0", "     2        10240.0     9990.0"}),
        {"  E. Number of Downstream Nodes that do not connect",
         "     to an Upstream Node located on a downstream Link =   4:",
         "     (EXCEPTIONS are: (i) Downstream end of a STRING, and",
         "     (ii) interface node between MAPs(subregions).)", "  10180.0   9990.0  10250.0  10270.0"},
        {"  F. Number of Upstream Nodes that do not connect",
         "     to a Downstream Node located on an upstream Link =   6:",
         "     (EXCEPTIONS are: (i) headwater node, (ii) MAP(subregion)",
         "     interface node, and (iii) User-Defined information node.)",
         "  10110.0  10120.0  10210.0  10210.0   9980.0  10260.0"},
        {"  G. Length of a Link is less than [0.001]:", "     (EXCEPTIONS are FATAL!)",
         "  Upstream   Downstream    Length", "    Node        Node       (feet)", "   10220.0    10240.0        0.00"},
        {"  H. Number of Upstream Nodal Point NUMBERS out of range =   1:", "     (EXCEPTIONS are FATAL!)",
         "   9980.0"},
        {"  I. Number of Downstream Nodal Point NUMBERS out of range =   1:", "     (EXCEPTIONS are FATAL!)",
         "   9990.0"},
        {"  J. Number of Upstream Nodes NOT defined in the Node Database =   1:", "     (EXCEPTIONS are FATAL!)",
         "  10260.0"},
        {"  K. Number of Downstream Nodes NOT defined in the Node Database =   1", "     (EXCEPTIONS are FATAL!)",
         "  10270.0"},
        // The link without length has no slope; the flat one is listed.
        {"  L. The following LINKS have Topographic Slopes",
         "     LESS than 0.002, or Greater than 0.100:", "  Upstream   Downstream    Topographic ",
         "    Node        Node          Slope    ", "   10230.0    10240.0        0.0000"},
    };
    EXPECT_EQ(items_of(report), expected);

    // The confluence table, then the node sets: one group per map.
    EXPECT_EQ(TemporaryDirectory::get("ABSETCZZ.ZZZ"),
              crlf_lines({"          * C O N F L U E N C E    L I N K A G E S *",
                          "   D/S                        UPSTREAM NODES",
                          "  NODE       (1)       (2)       (3)       (4)       (5)",
                          "  10150.0   10110.0   10120.0       0.0       0.0       0.0",
                          "  10240.0   10220.0   10230.0       0.0       0.0       0.0"}));
    EXPECT_EQ(TemporaryDirectory::get("ABSETEZZ.ZZZ"),
              crlf_lines({"           1", " 10180.0", "           3", " 9990.0 10250.0 10270.0"}));
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"),
              crlf_lines({"           2", " 10110.0 10120.0", "           4", " 10210.0 10210.0 9980.0 10260.0"}));

    const std::string& shown = window_.transcript();
    EXPECT_NE(shown.find("     **** LINK VALIDITY CHECKS ***"), std::string::npos);
    EXPECT_NE(shown.find("        * PROCESSING FILE AB0101ZZ.ZLL"), std::string::npos);
    EXPECT_NE(shown.find("        * PROCESSING FILE AB0102ZZ.ZLL"), std::string::npos);
    EXPECT_NE(shown.find("       ** Fatal Error(s) detected: See Below."), std::string::npos);
    EXPECT_EQ(shown.find("NO Fatal Errors"), std::string::npos);
}

TEST_F(LinkChecksRun, CleanStudyListsOnlyItsOutletAndHeadwaters)
{
    add_map("AB0101ZZ", {{10110, 10150}, {10120, 10150}, {10150, 10190, 200.0f, 110.0f, 100.0f}},
            {10110, 10120, 10150, 10190});
    const std::vector<std::string> report = run();
    EXPECT_EQ(link_fatal_total_, 0);
    EXPECT_EQ(std::count(report.begin(), report.end(), REPORT_RULE), LINK_SECTION_DELIMITERS);

    const std::vector<std::vector<std::string>> items = items_of(report);
    ASSERT_EQ(items.size(), 12u);
    EXPECT_EQ(items[0].front(), " [A] Upstream Node NUMBERs that Exceed Downstream Node NUMBERs = 0");
    EXPECT_EQ(items[1].front(), "  B. Number of Upstream Nodes that are NOT unique");
    EXPECT_EQ(items[3].front(), "  D. Number of LINKS in Set [A] that are not an element in Set [C] =   0:");
    EXPECT_EQ(items[4].back(), "  10190.0");
    EXPECT_EQ(items[5].back(), "  10110.0  10120.0");
    EXPECT_EQ(items[6].front(), "  G. Number of Links where Length is less than or equal to [0.001] = 0");
    for (std::size_t k = 7; k <= 10; ++k) EXPECT_EQ(items[k].size(), 2u) << "item " << char('A' + k);
    EXPECT_EQ(items[11].back(), "     LESS than 0.002, or Greater than 0.100 = 0");

    EXPECT_NE(window_.transcript().find("       ** NO Fatal Errors Detected"), std::string::npos);
}

TEST_F(LinkChecksRun, StudyWithoutMapsStillWritesTheWholeSection)
{
    TemporaryDirectory::put("SETF.ZZZ", "           1\r\n 10110.0\r\n");
    const std::vector<std::string> report = run();
    EXPECT_EQ(link_fatal_total_, 0);
    const std::vector<std::vector<std::string>> items = items_of(report);
    ASSERT_EQ(items.size(), 12u);
    EXPECT_EQ(items[4][1], "     to an Upstream Node located on a downstream Link =   0:");
    EXPECT_EQ(items[4].size(), 4u);
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"), "");
    EXPECT_NE(window_.transcript().find("       ** NO Fatal Errors Detected"), std::string::npos);
}

TEST_F(LinkChecksRun, ConfluenceOfSixUpstreamLinksClosesTheTableWithTheFatalBlock)
{
    std::vector<StudyLink> links;
    std::vector<float> nodes{10190, 10195};
    for (float upstream : {10110.0f, 10120.0f, 10130.0f, 10140.0f, 10150.0f, 10160.0f}) {
        links.push_back({upstream, 10190});
        nodes.push_back(upstream);
    }
    links.push_back({10190, 10195});
    add_map("AB0101ZZ", links, nodes);
    add_map("AB0102ZZ", {{10210, 10290}, {10220, 10290}, {10290, 10295}}, {10210, 10220, 10290, 10295});

    const std::vector<std::string> report = run();
    EXPECT_EQ(link_fatal_total_, 1);  // the overflow block itself adds nothing
    EXPECT_EQ(TemporaryDirectory::get("ABSETCZZ.ZZZ"),
              crlf_lines({"          * C O N F L U E N C E    L I N K A G E S *",
                          "   D/S                        UPSTREAM NODES",
                          "  NODE       (1)       (2)       (3)       (4)       (5)",
                          "  10190.0   10110.0   10120.0   10130.0   10140.0   10150.0 <=== more than 5 streams",
                          "  10290.0   10210.0   10220.0       0.0       0.0       0.0", " " + std::string(70, '-'),
                          " * Fatal Error: the following nodal points have more",
                          "   than 5 tributary links connected to it:", "   10190.0"}));
    // All six upstream nodes stand under item C.
    const std::vector<std::vector<std::string>> items = items_of(report);
    EXPECT_EQ(items[2].size(), 5u + 6u + 2u);
}

TEST_F(LinkChecksRun, NodeSetFilesHoldNothingOfAnEarlierRun)
{
    TemporaryDirectory::put("ABSETEZZ.ZZZ", "           1\r\n 10110.0\r\n");
    TemporaryDirectory::put("SETF.ZZZ", "           1\r\n 10110.0\r\n");
    TemporaryDirectory::put("ABSETCZZ.ZZZ", "stale\r\n");
    // A loop: every node is left and entered by another link, so neither set
    // gets a group.
    add_map("AB0101ZZ", {{10110, 10120}, {10120, 10110}}, {10110, 10120});
    run();
    EXPECT_EQ(TemporaryDirectory::get("ABSETEZZ.ZZZ"), "");
    EXPECT_EQ(TemporaryDirectory::get("SETF.ZZZ"), "");
    EXPECT_EQ(TemporaryDirectory::get("ABSETCZZ.ZZZ"),
              crlf_lines({"          * C O N F L U E N C E    L I N K A G E S *",
                          "   D/S                        UPSTREAM NODES",
                          "  NODE       (1)       (2)       (3)       (4)       (5)"}));
}

TEST_F(LinkChecksRun, StudyFilesInTheDataDirectoryAndSetFInTheWorkingDirectory)
{
    use_data_directory();
    add_map("AB0101ZZ", {{10110, 10150}, {10120, 10150}, {10150, 10190}}, {10110, 10120, 10150, 10190});
    // "setf.zzz" in another case is the same file.
    TemporaryDirectory::put("setf.zzz", "old\r\n");
    run();
    EXPECT_TRUE(std::filesystem::exists("data/ABSETCZZ.ZZZ"));
    EXPECT_EQ(TemporaryDirectory::get("data/ABSETEZZ.ZZZ"), crlf_lines({"           1", " 10190.0"}));
    EXPECT_EQ(TemporaryDirectory::get("setf.zzz"), crlf_lines({"           2", " 10110.0 10120.0"}));
    EXPECT_FALSE(std::filesystem::exists("ABSETCZZ.ZZZ"));
    EXPECT_FALSE(std::filesystem::exists("data/SETF.ZZZ"));
}

TEST_F(LinkChecksRun, ModelType6ChecksCode22LinksWithoutElevationsAsRepaired)
{
    // The GIS node file of a type 6 study is the region's: "AB0100ZZ.ZZN".
    add_map("AB0101ZZ", {{10110, 10150, 0.0f, 0.0f, 0.0f, 22}, {10150, 10190, 0.0f, -1.0f, 0.0f, 21}}, {});
    write_gis_nodes("AB0100ZZ.ZZN", {10110, 10150, 10190});
    std::filesystem::remove("AB0101ZZ.ZZN");

    const std::vector<std::string> report = run(6);
    const std::vector<std::vector<std::string>> items = items_of(report);
    // The code-22 link passes G and is listed under L with 0.002; the
    // code-21 link keeps its missing length.
    EXPECT_EQ(items[6].back(), "   10150.0    10190.0        0.00");
    EXPECT_EQ(items[6].size(), 5u);
    EXPECT_EQ(items[11].back(), "   10110.0    10150.0        0.0020");
    EXPECT_EQ(items[11].size(), 5u);
    EXPECT_EQ(items[9].size(), 2u);  // J: every node found in the region file
    // The data base is left as it was.
    EXPECT_EQ(read_link_data_base("AB0101ZZ.ZLL", FilePresence::MustExist)[0].upstream_elevation(), 0.0f);
}

TEST_F(LinkChecksRun, MissingFilesOfAMapEndTheRunNamingTheFile)
{
    add_map("AB0101ZZ", {{10110, 10150}}, {10110, 10150});
    data_files_.data_file_names.push_back("AB0102ZZ");
    try {
        run();
        FAIL() << "a missing link data base must end the run";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("AB0102ZZ.ZLL"), std::string::npos) << error.what();
    }

    data_files_.data_file_names.pop_back();
    std::filesystem::remove("AB0101ZZ.ZZN");
    try {
        run();
        FAIL() << "a missing GIS node file must end the run";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("AB0101ZZ.ZZN"), std::string::npos) << error.what();
    }
}

}  // namespace
}  // namespace velm

namespace velm {
namespace {

TEST_F(LinkChecksRun, ModelType9ChecksTheRegionFilesOfItsMapsOnce)
{
    // Maps 1234 and 1235 of region 12 keep their links and GIS nodes in the
    // region's files, whether the model list names the maps or the region.
    add_map("AB1200ZZ", {{123401, 123402}, {123402, 123501}}, {123401, 123402, 123501});
    for (const std::vector<std::string>& stems :
         {std::vector<std::string>{"AB1200ZZ"}, std::vector<std::string>{"AB1234ZZ", "AB1235ZZ"}}) {
        SCOPED_TRACE(stems.front());
        data_files_.data_file_names = stems;
        const std::vector<std::vector<std::string>> items = items_of(run(9));
        EXPECT_EQ(link_fatal_total_, 0);
        ASSERT_EQ(items.size(), 12u);
        EXPECT_EQ(items[4].back(), " 123501.0") << "the region's outlet, once";
        EXPECT_EQ(items[9].size(), 2u) << "every node found in the region's GIS node file";
    }
}

}  // namespace
}  // namespace velm
