#include "diagnostics/node_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/gis_files.h"
#include "support/check_family_test.h"
#include "support/report_delimiters.h"
#include "support/scripted_window.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::REPORT_RULE;
using test::TemporaryDirectory;
using Lines = std::vector<std::string>;

GisNodeRecord node(float number, float elevation)
{
    GisNodeRecord record;
    record.node_number() = number;
    record.node_elevation() = elevation;
    return record;
}

GisLinkRecord link(float upstream, float downstream)
{
    GisLinkRecord record;
    record.upstream_node() = upstream;
    record.downstream_node() = downstream;
    return record;
}

// The lines of section II.B for item counts and value lines as given.
Lines node_section(const std::string& count_a, const Lines& values_a, const std::string& count_b, const Lines& values_b,
                   const std::string& count_c, const Lines& values_c, const std::string& count_d, const Lines& values_d)
{
    Lines lines{"\f", "", "", "    II.B. POSTPROCESSOR VALIDITY CHECKS: NODES", REPORT_RULE};
    auto item = [&lines](const Lines& caption, const Lines& values) {
        lines.insert(lines.end(), caption.begin(), caption.end());
        lines.insert(lines.end(), values.begin(), values.end());
        lines.push_back(REPORT_RULE);
    };
    item({"  A. Number of Nodes that are NOT unique in the Node Database = " + count_a + ":",
          "     (EXCEPTIONS are FATAL!)"},
         values_a);
    item({"  B. Number of Nodal Elevations that are less than",
          "     [-2000.] or greater than [25000.] = " + count_b + ":"},
         values_b);
    item({"  C. Number of Nodal Point NUMBERS out of range = " + count_c + ":", "     (EXCEPTIONS are FATAL!)"},
         values_c);
    item({"  D. Number of Nodes that are NOT used in the Link Database = " + count_d + ":",
          "     (EXCEPTIONS are FATAL!)"},
         values_d);
    return lines;
}

using NodeChecksTest = test::CheckFamilyTest<run_node_checks>;

TEST_F(NodeChecksTest, SeededFaultsAppearUnderTheirItemsWithTheirCounts)
{
    // Map 0101: 10102.0 three times (A), an elevation below -2000 (B), a
    // node no link touches (D).  Map 0102: 10101.0 again (another map: no
    // exception), an elevation above 25000 (B), 9999.9 (C), nine nodes
    // without links (D, listed after map 0101's).
    write_gis_node_file("AB0101ZZ.ZZN", {node(10101.0f, 100.0f), node(10102.0f, 101.0f), node(10102.0f, 101.0f),
                                         node(10103.0f, -2000.5f), node(10102.0f, 102.0f), node(10105.0f, 99.0f)});
    write_gis_link_file("AB0101ZZ.ZZL", {link(10101.0f, 10102.0f), link(10103.0f, 10102.0f)});
    std::vector<GisNodeRecord> map2{node(10101.0f, 100.0f), node(10201.0f, 25000.5f), node(9999.9f, 20.0f)};
    for (int i = 1; i <= 9; ++i) map2.push_back(node(10210.0f + static_cast<float>(i), 50.0f));
    write_gis_node_file("AB0102ZZ.ZZN", map2);
    write_gis_link_file("AB0102ZZ.ZZL", {link(10101.0f, 10201.0f), link(9999.9f, 10201.0f)});

    EXPECT_EQ(run({"AB0101ZZ", "AB0102ZZ"}, 3), 2);

    EXPECT_EQ(report_lines,
              node_section(
                  "  3", {"  10102.0  10102.0  10102.0"}, "  2", {"  10103.0  10201.0"}, "  1", {"   9999.9"}, " 10",
                  {"  10105.0  10211.0  10212.0  10213.0  10214.0  10215.0  10216.0  10217.0", "  10218.0  10219.0"}));
    EXPECT_EQ(window_.transcript(),
              "\n"
              "     **** NODE VALIDITY CHECKS ***\n"
              "        * PROCESSING FILE AB0101ZZ.ZZN\n"
              "        * PROCESSING FILE AB0102ZZ.ZZN\n"
              "       ** Fatal Error(s) detected: See Below.\n");
}

TEST_F(NodeChecksTest, CleanStudyWritesEveryItemWithNoExceptions)
{
    struct Case {
        const char* name;
        std::vector<std::string> maps;
        std::string window;
    };
    const std::vector<Case> cases{
        {"no map data file", {}, "\n     **** NODE VALIDITY CHECKS ***\n       ** NO Fatal Errors Detected\n"},
        {"one clean map",
         {"AB0101ZZ"},
         "\n     **** NODE VALIDITY CHECKS ***\n        * PROCESSING FILE AB0101ZZ.ZZN\n"
         "       ** NO Fatal Errors Detected\n"},
    };
    write_gis_node_file("AB0101ZZ.ZZN", {node(10101.0f, -2000.0f), node(10102.0f, 25000.0f)});
    write_gis_link_file("AB0101ZZ.ZZL", {link(10101.0f, 10102.0f)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run(c.maps, 3), 0);
        EXPECT_EQ(report_lines, node_section("  0", {}, "  0", {}, "  0", {}, "  0", {}));
        EXPECT_EQ(window_.transcript(), c.window);
    }
}

TEST(NodeExceptions, LimitsAndRepeatsOfEachItem)
{
    struct Case {
        const char* name;
        std::vector<GisNodeRecord> nodes;
        std::vector<GisLinkRecord> links;
        std::vector<float> a, b, c, d;
        int map_result;
    };
    const std::vector<GisLinkRecord> all_linked{link(10000.0f, 999999.9f), link(9999.9f, 1000000.0f),
                                                link(10001.0f, 10002.0f), link(10003.0f, 10001.0f)};
    const std::vector<Case> cases{
        {"numbers at the limits pass, just outside are listed",
         {node(10000.0f, 0.0f), node(999999.9f, 0.0f), node(9999.9f, 0.0f), node(1000000.0f, 0.0f)},
         all_linked,
         {},
         {},
         {9999.9f, 1000000.0f},
         {},
         1},
        {"elevations at the limits pass; item B alone is no fatal finding",
         {node(10001.0f, -2000.0f), node(10002.0f, 25000.0f), node(10003.0f, -2000.01f)},
         all_linked,
         {},
         {10003.0f},
         {},
         {},
         0},
        {"a number three times in one file is listed three times",
         {node(10001.0f, 1.0f), node(10002.0f, 1.0f), node(10001.0f, 1.0f), node(10002.0f, 1.0f), node(10001.0f, 1.0f)},
         all_linked,
         {10001.0f, 10001.0f, 10002.0f, 10001.0f},
         {},
         {},
         {},
         1},
        {"a node used only upstream or only downstream is used",
         {node(10003.0f, 1.0f), node(10002.0f, 1.0f), node(10004.0f, 1.0f)},
         all_linked,
         {},
         {},
         {},
         {10004.0f},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const NodeCheckExceptions found = find_node_exceptions(c.nodes, &c.links);
        EXPECT_EQ(found.not_unique, c.a);
        EXPECT_EQ(found.elevation_out_of_range, c.b);
        EXPECT_EQ(found.number_out_of_range, c.c);
        EXPECT_EQ(found.not_used_by_links, c.d);
        EXPECT_EQ(found.map_result(), c.map_result);
    }

    const NodeCheckExceptions without_links = find_node_exceptions({node(10004.0f, 1.0f)}, nullptr);
    EXPECT_TRUE(without_links.not_used_by_links.empty());
    EXPECT_EQ(without_links.map_result(), 0);
}

TEST(NodeExceptions, MapsBeyondFiveThousandNodesAreCheckedWhole)
{
    std::vector<GisNodeRecord> nodes;
    std::vector<GisLinkRecord> links;
    for (int i = 0; i < 20000; ++i) {
        nodes.push_back(node(100000.0f + static_cast<float>(i), 10.0f));
        links.push_back(link(100000.0f + static_cast<float>(i), 200000.0f));
    }
    nodes.push_back(node(100000.0f, 10.0f));  // the first number again, after record 20000
    nodes.push_back(node(300000.0f, 10.0f));  // in no link
    const NodeCheckExceptions found = find_node_exceptions(nodes, &links);
    EXPECT_EQ(found.not_unique, std::vector<float>{100000.0f});
    EXPECT_EQ(found.not_used_by_links, std::vector<float>{300000.0f});
}

TEST_F(NodeChecksTest, ACountAboveNineHundredNinetyNineShowsAsterisksAndEveryValue)
{
    NodeCheckExceptions exceptions;
    for (int i = 0; i < 1001; ++i) exceptions.number_out_of_range.push_back(static_cast<float>(i));
    TextWriter report("ABTRVLZZ.DIA");
    write_node_check_items(report, exceptions, true);
    report.commit();
    const Lines lines = read_text_lines("ABTRVLZZ.DIA");
    // A and B (3 lines each), C's caption, 126 value lines and a rule, D.
    ASSERT_EQ(lines.size(), 3u + 3u + 2u + 126u + 1u + 3u);
    EXPECT_EQ(lines[6], "  C. Number of Nodal Point NUMBERS out of range = ***:");
    EXPECT_EQ(lines[8], "      0.0      1.0      2.0      3.0      4.0      5.0      6.0      7.0");
    EXPECT_EQ(lines[133], "   1000.0");
    EXPECT_EQ(lines[134], REPORT_RULE);
}

TEST_F(NodeChecksTest, MissingFilesReadAsFilesWithoutRecords)
{
    // Map 0101 has nodes but no link file: every node is unused.  Map 0102
    // has no node file: nothing to check, and no file is made for it.
    write_gis_node_file("AB0101ZZ.ZZN", {node(10101.0f, 1.0f), node(10102.0f, 1.0f)});
    EXPECT_EQ(run({"AB0101ZZ", "AB0102ZZ"}, 3), 1);
    EXPECT_EQ(report_lines, node_section("  0", {}, "  0", {}, "  0", {}, "  2", {"  10101.0  10102.0"}));
    EXPECT_FALSE(file_exists("AB0101ZZ.ZZL"));
    EXPECT_FALSE(file_exists("AB0102ZZ.ZZN"));
    EXPECT_FALSE(file_exists("AB0102ZZ.ZZL"));
}

TEST_F(NodeChecksTest, ModelType6ReadsTheRegionFileForEachMap)
{
    write_gis_node_file("AB1200ZZ.ZZN", {node(120101.0f, 1.0f), node(120101.0f, 1.0f)});
    write_gis_link_file("AB1200ZZ.ZZL", {link(120101.0f, 120201.0f)});
    EXPECT_EQ(run({"AB1201ZZ", "AB1202ZZ"}, 6), 2);
    EXPECT_EQ(report_lines, node_section("  2", {" 120101.0 120101.0"}, "  0", {}, "  0", {}, "  0", {}));
    EXPECT_NE(window_.transcript().find("        * PROCESSING FILE AB1200ZZ.ZZN\n"
                                        "        * PROCESSING FILE AB1200ZZ.ZZN\n"),
              std::string::npos);
}

// A region of 99 maps with a large node file: its findings count once for
// every map, yet the run reads the region's files once and stays quick.
TEST_F(NodeChecksTest, ARegionOfManyMapsIsExaminedForEachMap)
{
    std::vector<GisNodeRecord> nodes;
    std::vector<GisLinkRecord> links;
    for (int i = 0; i < 20000; ++i) {
        nodes.push_back(node(120000.0f + static_cast<float>(i), 10.0f));
        links.push_back(link(120000.0f + static_cast<float>(i), 140000.0f + static_cast<float>(i)));
    }
    nodes.push_back(node(120000.0f, 10.0f));
    write_gis_node_file("AB1200ZZ.ZZN", nodes);
    write_gis_link_file("AB1200ZZ.ZZL", links);
    std::vector<std::string> maps;
    for (int map = 1; map <= 99; ++map) {
        maps.push_back("AB12" + std::string(map < 10 ? "0" : "") + std::to_string(map) + "ZZ");
    }

    EXPECT_EQ(run(maps, 6), 99);
    EXPECT_EQ(report_lines[5], "  A. Number of Nodes that are NOT unique in the Node Database =  99:");
    std::string processing;
    for (int map = 1; map <= 99; ++map) processing += "        * PROCESSING FILE AB1200ZZ.ZZN\n";
    EXPECT_NE(window_.transcript().find(processing), std::string::npos);
}

TEST_F(NodeChecksTest, AnUnreadableRecordNamesTheFileAndLine)
{
    TemporaryDirectory::put("AB0101ZZ.ZZN", "   10101.0   100.00     0.00\r\n   10102.0 high 0.00\r\n");
    try {
        run({"AB0101ZZ"}, 3);
        FAIL() << "the unreadable record was accepted";
    } catch (const FileError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("AB0101ZZ.ZZN"), std::string::npos) << message;
        EXPECT_NE(message.find("line 2"), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace velm
