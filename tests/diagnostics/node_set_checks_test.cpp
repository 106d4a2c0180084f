// The network node-set checks: the three node-set files split from the
// link checks' sets, and the headwater, confluence and seam exceptions
// appended to the report.
#include "diagnostics/node_set_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics/network_study.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"

namespace velm {
namespace {

using test::REPORT_RULE;

using Row = std::array<float, 6>;
using Groups = std::vector<std::vector<float>>;

// The files the link checks leave, in their layouts.
constexpr std::string_view CONFLUENCE_HEADING_FORMAT =
    "(10X,'* C O N F L U E N C E    L I N K A G E S *'/'   D/S                        UPSTREAM NODES'/'  NODE  "
    "     (1)       (2)       (3)       (4)       (5)')";
constexpr std::string_view CONFLUENCE_ROW_FORMAT = "(1X,F8.1,5(2X,F8.1))";
constexpr std::string_view CONFLUENCE_MARKED_ROW_FORMAT = "(1X,F8.1,5(2X,F8.1),' <=== more than 5 streams')";
constexpr std::string_view CONFLUENCE_FATAL_BLOCK_FORMAT =
    "(1X,70('-')/1X,'* Fatal Error: the following nodal points have more'/3X,'than 5 tributary links connected "
    "to it:')";
constexpr std::string_view CONFLUENCE_FATAL_NODES_FORMAT = "(6(2X,F8.1))";

// The block that closes a table with a confluence of more than five
// tributaries; its first line is a blank and 70 hyphens.
const std::vector<std::string> FATAL_BLOCK = Format(CONFLUENCE_FATAL_BLOCK_FORMAT).write({});

std::string confluence_row(const Row& row)
{
    return format_line(CONFLUENCE_ROW_FORMAT, {row[0], row[1], row[2], row[3], row[4], row[5]});
}

// A node-set file of the link checks: per group a count and the nodes.
void write_node_set_groups(const std::string& name, const Groups& groups)
{
    std::vector<std::string> lines;
    for (const std::vector<float>& group : groups) {
        lines.push_back(free_form_line({static_cast<int>(group.size())}));
        lines.push_back(free_form_line(std::vector<FreeFormValue>(group.begin(), group.end())));
    }
    write_text_lines(name, lines);
}

void write_confluence_table(const std::vector<std::string>& lines_after_heading)
{
    std::vector<std::string> lines = Format(CONFLUENCE_HEADING_FORMAT).write({});
    lines.insert(lines.end(), lines_after_heading.begin(), lines_after_heading.end());
    write_text_lines("ABSETCZZ.ZZZ", lines);
}

class NodeSetChecks : public test::SessionTest {
protected:
    NodeSetChecks() { write_text_lines("ABTRVLZZ.DIA", {"cross-check items"}); }

    // Runs the checks and returns the lines they appended to the report.
    std::vector<std::string> run(const NetworkNodeSets& network)
    {
        flag_ = check_network_node_sets(session_, "AB0101ZZ", network);
        std::vector<std::string> lines = read_text_lines("ABTRVLZZ.DIA");
        EXPECT_EQ(lines.front(), "cross-check items");
        lines.erase(lines.begin());
        return lines;
    }

    int flag_ = -1;
};

// A node in both sets is a seam: it leaves the headwaters altogether and
// takes one outlet entry for each equal pair.
TEST_F(NodeSetChecks, NodeSetFilesHoldOutletsHeadwatersAndSeams)
{
    write_node_set_groups("ABSETEZZ.ZZZ", {{10199.0f, 20100.0f}, {30100.0f}});
    Groups upstream{{10110.0f, 20100.0f}, {}};
    for (int k = 1; k <= 10; ++k) upstream[1].push_back(10110.0f + static_cast<float>(k));
    upstream[1].push_back(20100.0f);
    write_node_set_groups("SETF.ZZZ", upstream);
    write_confluence_table({});

    run({});

    EXPECT_EQ(test::TemporaryDirectory::get("SETG.ZZZ"), "           2\r\n  10199.0  30100.0\r\n");
    EXPECT_EQ(test::TemporaryDirectory::get("ABSETHZZ.ZZZ"),
              "          11\r\n"
              "  10110.0  10111.0  10112.0  10113.0  10114.0  10115.0  10116.0  10117.0  10118.0  10119.0\r\n"
              "  10120.0\r\n");
    EXPECT_EQ(test::TemporaryDirectory::get("ABSETXZZ.ZZZ"), "           2\r\n  20100.0  20100.0\r\n");
}

TEST_F(NodeSetChecks, EmptySetsGiveEmptyFilesAndOnlyTheHeadwaterCheckRuns)
{
    write_confluence_table({});

    const std::vector<std::string> appended = run({});

    for (const char* name : {"SETG.ZZZ", "ABSETHZZ.ZZZ", "ABSETXZZ.ZZZ"}) {
        EXPECT_EQ(test::TemporaryDirectory::get(name), "           0\r\n\r\n") << name;
    }
    EXPECT_TRUE(appended.empty());
    EXPECT_EQ(flag_, 0);
    EXPECT_FALSE(file_exists("ABSETEZZ.ZZZ")) << "a missing set file reads as empty and is not created";
    EXPECT_FALSE(file_exists("SETF.ZZZ"));
    const std::string headwater = "* CHECK HEADWATER NODES *";
    const std::string confluence = "* CHECK CONFLUENCE NODES *";
    const std::string seam = "* CHECK SEAM NODES *";
    EXPECT_EQ(window_.text_at(5, 5, static_cast<int>(headwater.size())), headwater);
    EXPECT_EQ(window_.text_at(5, 6, static_cast<int>(confluence.size())), confluence);
    EXPECT_EQ(window_.text_at(5, 7, static_cast<int>(seam.size())), seam);
}

// The data bases' network against the model files': what each difference
// appends to the report.
struct ExceptionCase {
    const char* name;
    Groups downstream_set;                 // set E groups
    Groups upstream_set;                   // set F groups
    std::vector<std::string> confluences;  // table lines after the heading
    NetworkNodeSets network;
    std::vector<std::string> appended;
};

void PrintTo(const ExceptionCase& c, std::ostream* out)
{
    *out << c.name;
}

class NodeSetExceptions : public NodeSetChecks, public ::testing::WithParamInterface<ExceptionCase> {};

TEST_P(NodeSetExceptions, AppendTheBlocksOfTheChecksThatFail)
{
    const ExceptionCase& c = GetParam();
    write_node_set_groups("ABSETEZZ.ZZZ", c.downstream_set);
    write_node_set_groups("SETF.ZZZ", c.upstream_set);
    write_confluence_table(c.confluences);

    EXPECT_EQ(run(c.network), c.appended);
    EXPECT_EQ(flag_, c.appended.empty() ? 0 : 1);
}

const std::vector<std::string> HEADWATER_HEADING{"", "     Headwater nodes that are not the UPSTREAM NODE",
                                                 "     of an Initial Subarea are :", "     (EXCEPTIONS maybe FATAL!)"};
const std::vector<std::string> CONFLUENCE_HEADING{
    "", "     Confluence nodes that do not match NETWORK:", "     (EXCEPTIONS maybe FATAL!)"};
const std::vector<std::string> SEAM_HEADING{
    "", "     Seam nodes that are not associated with DNA files:", "     (EXCEPTIONS are FATAL!)"};

std::vector<std::string> lines_of(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> lines;
    for (const auto& part : parts) lines.insert(lines.end(), part.begin(), part.end());
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeSetExceptions,
    ::testing::Values(
        ExceptionCase{"NetworkAgrees",
                      {{10190.0f, 20100.0f}},
                      {{10110.0f}, {20100.0f}},
                      {confluence_row({10150.0f, 10110.0f, 10120.0f, 0.0f, 0.0f, 0.0f})},
                      {{10110.0f}, {Row{10150.0f, 10120.0f, 10110.0f, 0.0f, 0.0f, 0.0f}}, {20100.0f}},
                      {}},
        // The network's own headwaters and seams that the sets lack are no
        // exception, nor is a tributary that only the network has.
        ExceptionCase{"OneSidedComparison",
                      {},
                      {{10110.0f}},
                      {confluence_row({10150.0f, 10110.0f, 0.0f, 0.0f, 0.0f, 0.0f})},
                      {{10110.0f, 10210.0f}, {Row{10150.0f, 10120.0f, 10110.0f, 0.0f, 0.0f, 0.0f}}, {30100.0f}},
                      {}},
        ExceptionCase{"HeadwatersOnlyOpenAndCloseWithARule",
                      {},
                      {{10110.0f, 10120.0f, 10130.0f}, {10140.0f, 10150.0f, 10160.0f, 10170.0f}},
                      {},
                      {{10130.0f}, {}, {}},
                      lines_of({{REPORT_RULE},
                                HEADWATER_HEADING,
                                {"  10110.0  10120.0  10140.0  10150.0  10160.0", "  10170.0", REPORT_RULE}})},
        ExceptionCase{"SeamsOnlyCloseWithARule",
                      {{20100.0f, 30100.0f}},
                      {{30100.0f}, {20100.0f}},
                      {},
                      {{}, {}, {30100.0f}},
                      lines_of({SEAM_HEADING, {"  20100.0", REPORT_RULE}})},
        // Table order; an entry without tributaries matches any network row
        // of its node; the first network row of a node is the one compared.
        ExceptionCase{
            "ConfluencesThatTheNetworkDoesNotConfirm",
            {},
            {},
            {confluence_row({10150.0f, 10110.0f, 10120.0f, 0.0f, 0.0f, 0.0f}),
             confluence_row({10170.0f, 10130.0f, 0.0f, 0.0f, 0.0f, 0.0f}),
             confluence_row({10160.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}),
             confluence_row({10180.0f, 10140.0f, 10145.0f, 0.0f, 0.0f, 0.0f}),
             confluence_row({0.0f, 10999.0f, 0.0f, 0.0f, 0.0f, 0.0f}),
             confluence_row({10190.0f, 10112.0f, 0.0f, 0.0f, 0.0f, 0.0f})},
            {{},
             {Row{10150.0f, 10120.0f, 10110.0f, 10999.0f, 0.0f, 0.0f}, Row{10160.0f, 10155.0f, 0.0f, 0.0f, 0.0f, 0.0f},
              Row{10180.0f, 10140.0f, 0.0f, 0.0f, 0.0f, 0.0f}, Row{10190.0f, 10111.0f, 0.0f, 0.0f, 0.0f, 0.0f},
              Row{10190.0f, 10112.0f, 0.0f, 0.0f, 0.0f, 0.0f}},
             {}},
            lines_of({CONFLUENCE_HEADING, {"  10170.0  10180.0  10190.0", REPORT_RULE}})},
        // The entries before the fatal block are compared; the block is no
        // entry, nor is the marker behind a sixth tributary.
        ExceptionCase{
            "ConfluenceTableEndingInItsFatalBlock",
            {},
            {},
            {confluence_row({10150.0f, 10110.0f, 10120.0f, 0.0f, 0.0f, 0.0f}),
             format_line(CONFLUENCE_MARKED_ROW_FORMAT, {10290.0f, 10210.0f, 10220.0f, 10230.0f, 10240.0f, 10250.0f}),
             FATAL_BLOCK[0], FATAL_BLOCK[1], FATAL_BLOCK[2], format_line(CONFLUENCE_FATAL_NODES_FORMAT, {10290.0f})},
            {{},
             {Row{10150.0f, 10110.0f, 10120.0f, 0.0f, 0.0f, 0.0f},
              Row{10290.0f, 10210.0f, 10220.0f, 10230.0f, 10240.0f, 10250.0f}},
             {}},
            {}},
        ExceptionCase{"AllThreeShareOneOpeningAndOneClosingRule",
                      {{20100.0f}},
                      {{10110.0f, 20100.0f}},
                      {confluence_row({10150.0f, 10110.0f, 0.0f, 0.0f, 0.0f, 0.0f})},
                      {{}, {}, {}},
                      lines_of({{REPORT_RULE},
                                HEADWATER_HEADING,
                                {"  10110.0"},
                                CONFLUENCE_HEADING,
                                {"  10150.0"},
                                SEAM_HEADING,
                                {"  20100.0", REPORT_RULE}})}),
    [](const ::testing::TestParamInfo<ExceptionCase>& info) { return std::string(info.param.name); });

// The node sets and confluence table of the two-map study as the link checks
// leave them, against the network that the cross-check collects from the
// study's model files, as the analysis run chains the two.
struct ModelFault {
    const char* name;
    std::function<void(int map, ModelFile&)> edit;
    std::vector<std::string> appended;
};

void PrintTo(const ModelFault& c, std::ostream* out)
{
    *out << c.name;
}

class StudyNetwork : public NodeSetChecks, public ::testing::WithParamInterface<ModelFault> {};

TEST_P(StudyNetwork, ExceptionsFollowWhatTheModelFilesLack)
{
    const ModelFault& c = GetParam();
    test::StudyBuilder study = test::two_map_study();
    study.edit_model_files([&c](int map, int, ModelFile& file) { c.edit(map, file); });
    study.write(".");
    write_node_set_groups("ABSETEZZ.ZZZ", {{10104.0f}, {10202.0f}});
    write_node_set_groups("SETF.ZZZ", {{10101.0f, 10102.0f}, {10104.0f}});
    write_confluence_table({confluence_row({10103.0f, 10101.0f, 10102.0f, 0.0f, 0.0f, 0.0f})});

    NetworkNodeSets network;
    int subarea_total = 0;
    int link_total = 0;
    TextWriter report("ABTRVLZZ.DIA");
    run_model_cross_check(session_, report, test::data_files_of(study), network, subarea_total, link_total);
    const std::size_t cross_check_lines = read_text_lines("ABTRVLZZ.DIA").size();

    flag_ = check_network_node_sets(session_, "AB0101ZZ                                          ", network);

    const std::vector<std::string> lines = read_text_lines("ABTRVLZZ.DIA");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(cross_check_lines), lines.end()),
              c.appended);
    EXPECT_EQ(flag_, c.appended.empty() ? 0 : 1);
    EXPECT_EQ(test::TemporaryDirectory::get("SETG.ZZZ"), "           1\r\n  10202.0\r\n");
    EXPECT_EQ(test::TemporaryDirectory::get("ABSETHZZ.ZZZ"), "           2\r\n  10101.0  10102.0\r\n");
    EXPECT_EQ(test::TemporaryDirectory::get("ABSETXZZ.ZZZ"), "           1\r\n  10104.0\r\n");
}

void erase_groups(ModelFile& file, int code, float upstream_node)
{
    std::erase_if(file.groups,
                  [&](const ModelGroup& g) { return g.process_code() == code && g.upstream_node == upstream_node; });
}

INSTANTIATE_TEST_SUITE_P(Studies, StudyNetwork,
                         ::testing::Values(ModelFault{"Consistent", [](int, ModelFile&) {}, {}},
                                           // Without the initial subarea of 10102 the model knows neither that
                                           // headwater nor its tributary of the confluence at 10103.
                                           ModelFault{"InitialSubareaMissing",
                                                      [](int map, ModelFile& f) {
                                                          if (map == 101)
                                                              erase_groups(f, 22, 10102.0f);  // type 6: code 22
                                                      },
                                                      lines_of({{REPORT_RULE},
                                                                HEADWATER_HEADING,
                                                                {"  10102.0"},
                                                                CONFLUENCE_HEADING,
                                                                {"  10103.0", REPORT_RULE}})},
                                           ModelFault{"SeamGroupsMissing",
                                                      [](int, ModelFile& f) {
                                                          erase_groups(f, 151, 10104.0f);
                                                          erase_groups(f, 152, 10104.0f);
                                                      },
                                                      lines_of({SEAM_HEADING, {"  10104.0", REPORT_RULE}})}),
                         [](const ::testing::TestParamInfo<ModelFault>& info) { return std::string(info.param.name); });

TEST_F(NodeSetChecks, RefusesAMissingConfluenceTableByName)
{
    try {
        run({});
        FAIL() << "the confluence table must exist";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("ABSETCZZ.ZZZ"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(file_exists("ABSETCZZ.ZZZ"));
}

TEST_F(NodeSetChecks, RefusesUnreadableSetsAndTablesByFileAndLine)
{
    struct Case {
        const char* file;
        std::vector<std::string> lines;
        const char* place;
    };
    const std::vector<std::string> heading = Format(CONFLUENCE_HEADING_FORMAT).write({});
    const Case cases[] = {
        {"SETF.ZZZ", {"           2", " 10110.0 abc"}, "line 2"},
        {"ABSETEZZ.ZZZ", {"           3", " 10110.0 10120.0"}, "ABSETEZZ.ZZZ"},
        // A count beyond any group the file can hold is refused before any
        // room is taken for it.
        {"SETF.ZZZ", {"           1", " 10110.0", "  2000000000", " 10120.0"}, "line 3"},
        {"ABSETCZZ.ZZZ", {heading[0], heading[1], heading[2], "  10150.0  10110.0  x"}, "line 4"},
    };
    for (const Case& c : cases) {
        write_confluence_table({});
        write_text_lines(c.file, c.lines);
        try {
            check_network_node_sets(session_, "AB0101ZZ", {});
            ADD_FAILURE() << c.file << " must be refused";
        } catch (const FileError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.file), std::string::npos) << message;
            EXPECT_NE(message.find(c.place), std::string::npos) << message;
        }
        delete_file(c.file);
    }
}

}  // namespace
}  // namespace velm
