// The balanced HGL estimation as a step of the run, on a small network whose
// fit is worked by hand: strings 1 (101-120-140) and 2 (102-120) meet at
// 120, where their equal flows make string 1, in the earlier slot, the
// mainstream down to the outlet 140; string 3 (103-150) ends at a seam.
// 100-ft links, flows of 10 and 20 cfs (the minimum slope 0.0015 holds),
// default clearances of 1 and 8 ft.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics/diagnostics_run.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "strings/balanced_hgl.h"
#include "strings/friction_slope_update.h"
#include "strings/string_finder.h"
#include "support/run_step_test.h"
#include "support/session_test.h"

namespace velm {
namespace {

using test::TemporaryDirectory;
using Lines = std::vector<std::string>;

std::string link_line(float up, float down, float flow, float up_ground, float down_ground)
{
    LinkRecord record;
    record.upstream_node() = up;
    record.downstream_node() = down;
    record.upstream_elevation() = up_ground;
    record.downstream_elevation() = down_ground;
    record.link_length() = 100.0f;
    record.link_slope() = (up_ground - down_ground) / 100.0f;
    record.downstream_peak_flow(1) = flow;
    record.link_upstream_hgl() = 55.0f;  // from an earlier run
    return link_record_line(record) + "\r\n";
}

const Lines SECTION_III_HEADING = {
    "\f",
    "     III. BALANCED HGL GRADIENT ESTIMATION MODULE DIAGNOSTICS REPORT*",
    "",
};
const Lines MINIMUM_SLOPE_HEADING = {
    "",
    "    The following links are assigned a FRICTION SLOPE of 0.0015,",
    "    (or are within 0.001 of the User-Specified minimum",
    "    friction slope of 0.0015):",
    "                 Link ID",
    "            Upstream  Downstream",
    "              Node       Node",
};

class BalancedHglRunTest : public test::RunStepTest {
protected:
    BalancedHglRunTest()
    {
        run_.data_files.data_file_names = {"AB0001ZZ"};
        session_.run_outputs = &run_.outputs;
        TemporaryDirectory::put("ABSETHZZ.ZZZ", " 3\r\n 101.0 102.0 103.0\r\n");
        TemporaryDirectory::put("ABSETCZZ.ZZZ",
                                "h\r\nh\r\nh\r\n   120.0     101.0     102.0       0.0       0.0       0.0\r\n");
        TemporaryDirectory::put("ABSETEZZ.ZZZ", " 2\r\n 140.0 150.0\r\n");
        TemporaryDirectory::put("SETF.ZZZ", " 1\r\n 150.0\r\n");
        TemporaryDirectory::put("AB0001ZZ.ZLL", link_line(101, 120, 10, 110, 105) + link_line(102, 120, 10, 108, 105) +
                                                    link_line(120, 140, 20, 105, 100) +
                                                    link_line(103, 150, 10, 107, 106));
        TemporaryDirectory::put("ABTRVLZZ.DIA", "sections I and II\r\n");
    }

    // The two steps, then the run's files put in place as at its end.
    void run_steps()
    {
        run_string_finder(run_);
        run_balanced_hgl_estimation(run_);
        commit_run();
    }

    static Lines report_after_section_two()
    {
        Lines report = read_text_lines("ABTRVLZZ.DIA");
        EXPECT_EQ(report.at(0), "sections I and II");
        return Lines(report.begin() + 1, report.end());
    }

    // Slope (F8.4) and the HGLs (F8.2) of a result, as printed.
    static std::string printed(const BalancedHglResult& r)
    {
        return format_line("(2(1X,F8.1),1X,F8.4,2(1X,F8.2))",
                           {r.upstream_node, r.downstream_node, r.friction_slope, r.downstream_hgl, r.upstream_hgl});
    }
    std::vector<std::string> printed_results() const
    {
        std::vector<std::string> out;
        for (const BalancedHglResult& r : run_.balanced_hgl_results.results) out.push_back(printed(r));
        return out;
    }
};

TEST_F(BalancedHglRunTest, TopEnvelopeControlFitsLevelByLevel)
{
    run_steps();
    // Index: string 1 ends at the outlet (level 0, system 1), string 2 at
    // the confluence on it (level 1, system 1), string 3 at a seam.
    EXPECT_EQ(TemporaryDirectory::get("ABINDXZZ.ZST"),
              "      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0      0.0\r\n"
              " 0001    101.0    140.0      0.0      1.0      0.0      0.0      0.0\r\n"
              " 0002    102.0    120.0      1.0      1.0      0.0      0.0      0.0\r\n"
              " 0003    103.0    150.0    -99.0      0.0      0.0      0.0      0.0\r\n");
    // String 1: control 100 - 1 - 1 = 98; top envelope 99, 104, 109; one
    // segment (109 - 98) / 200 = 0.055, passing node 120 at 103.5.  String
    // 2 starts from 103.5 at 120: (107 - 103.5) / 100 = 0.035.
    EXPECT_EQ(printed_results(), (std::vector<std::string>{"    120.0    140.0   0.0550    98.00   103.50",
                                                           "    101.0    120.0   0.0550   103.50   109.00",
                                                           "    102.0    120.0   0.0350   103.50   107.00"}));
    EXPECT_EQ(run_.string_count, 3);
    EXPECT_EQ(hgl_controls_.count(), 0);

    Lines expected = SECTION_III_HEADING;
    expected.insert(expected.end(), MINIMUM_SLOPE_HEADING.begin(), MINIMUM_SLOPE_HEADING.end());
    EXPECT_EQ(report_after_section_two(), expected);

    // The link data base: the slope in its five columns, the HGLs; the
    // unfitted link keeps its slopes and loses its old HGLs.
    const std::vector<LinkRecord> links = read_link_data_base("AB0001ZZ.ZLL", FilePresence::MustExist);
    ASSERT_EQ(links.size(), 4u);
    for (const int column : {55, 63, 64, 68, 69}) {
        EXPECT_EQ(format_fixed(links[0].column(column), 8, 4), "  0.0550") << column;
        EXPECT_EQ(format_fixed(links[1].column(column), 8, 4), "  0.0350") << column;
        EXPECT_EQ(links[3].column(column), 0.0f) << column;
    }
    EXPECT_EQ(format_fixed(links[0].link_upstream_hgl(), 8, 2), "  109.00");
    EXPECT_EQ(format_fixed(links[0].link_downstream_hgl(), 8, 2), "  103.50");
    EXPECT_EQ(links[3].link_upstream_hgl(), 0.0f);
    EXPECT_EQ(links[3].link_downstream_hgl(), 0.0f);
}

TEST_F(BalancedHglRunTest, UserControlAskedSavedAndListed)
{
    controls_.hydraulic_control_model = HydraulicControlModel::UserDefinedControl;
    window_.type(std::vector<std::string>{"97.5"});
    run_steps();
    // Saved through the control file's one writer, the settings unchanged.
    ControlParameters saved;
    HglControlTable saved_controls;
    ASSERT_TRUE(load_control_file(session_, "AB", saved, saved_controls));
    ASSERT_EQ(saved_controls.count(), 1);
    EXPECT_EQ(saved_controls.controls[0].node_number, 140.0f);
    EXPECT_EQ(saved_controls.controls[0].elevation, 97.5f);
    EXPECT_EQ(saved.hydraulic_control_model, HydraulicControlModel::UserDefinedControl);
    EXPECT_EQ(read_text_lines("ABINDXZZ.ZST").at(1),
              " 0001    101.0    140.0      0.0      1.0     97.5      0.0      0.0");
    // From 97.5: (109 - 97.5) / 200 = 0.0575, 103.25 at 120; then
    // (107 - 103.25) / 100 = 0.0375.
    EXPECT_EQ(printed_results(), (std::vector<std::string>{"    120.0    140.0   0.0575    97.50   103.25",
                                                           "    101.0    120.0   0.0575   103.25   109.00",
                                                           "    102.0    120.0   0.0375   103.25   107.00"}));
    const Lines report = report_after_section_two();
    ASSERT_GE(report.size(), 5u);
    EXPECT_EQ(Lines(report.begin(), report.begin() + 4),
              (Lines{"", "     User-Defined Downstream HGL CONTROLs for each system",
                     "     Trunk Line are:", "     Node Number  User-Defined HGL    Node Number  User-Defined HGL"}));
    EXPECT_EQ(report[4].substr(0, 26), "          140.0      97.50");
    EXPECT_EQ(report[5], "\f");
}

TEST_F(BalancedHglRunTest, SectionThreeListsResetControlsThenLinksAtTheMinimumSlope)
{
    // Flat ground at 100 ft along string 1: the top envelope falls at the
    // minimum slope from 99.00 to 98.85 and 98.70.  The control of 120 ft
    // is reset onto 98.70 and the HGL runs at 0.0015 to 99.00.  String 2
    // (ground 101 at 102) starts from 98.85 at 120: (100 - 98.85) / 100.
    TemporaryDirectory::put("AB0001ZZ.ZLL", link_line(101, 120, 10, 100, 100) + link_line(102, 120, 10, 101, 100) +
                                                link_line(120, 140, 20, 100, 100) + link_line(103, 150, 10, 107, 106));
    controls_.hydraulic_control_model = HydraulicControlModel::UserDefinedControl;
    window_.type(std::vector<std::string>{"120"});
    run_steps();
    EXPECT_EQ(printed_results(), (std::vector<std::string>{"    120.0    140.0   0.0015    98.70    98.85",
                                                           "    101.0    120.0   0.0015    98.85    99.00",
                                                           "    102.0    120.0   0.0115    98.85   100.00"}));
    Lines expected{"", "     User-Defined Downstream HGL CONTROLs for each system",
                   "     Trunk Line are:", "     Node Number  User-Defined HGL    Node Number  User-Defined HGL",
                   "          140.0     120.00"};
    expected.insert(expected.end(), SECTION_III_HEADING.begin(), SECTION_III_HEADING.end());
    const Lines warning{
        "    *WARNING : The HGL CONTROL for STRING #   1",
        "     (UPSTREAM NODE =    101.0; DOWNSTREAM NODE =    140.0) is ABOVE",
        "     the modeled TOP HGL Envelope at the String's most Downstream Node.",
        "     Estimated HGL Control:  120.00; TOP HGL Envelope:   98.70",
        "     Bottom HGL Envelope:   92.00 *HGL Control RESET to TOP HGL Envelope",
    };
    expected.insert(expected.end(), warning.begin(), warning.end());
    expected.insert(expected.end(), MINIMUM_SLOPE_HEADING.begin(), MINIMUM_SLOPE_HEADING.end());
    // In data base order: 101-120 and 120-140; 102-120 lies above the
    // minimum and 103-150 was not fitted.
    expected.push_back("              101.0       120.0");
    expected.push_back("              120.0       140.0");
    EXPECT_EQ(report_after_section_two(), expected);
}

TEST_F(BalancedHglRunTest, UpdateTakesTheFirstResultOfANodePair)
{
    run_.balanced_hgl_results.results = {{101.0f, 120.0f, 0.02f, 90.0f, 92.0f},
                                         {120.0f, 140.0f, 0.0f, 85.0f, 90.0f},
                                         {101.0f, 120.0f, 0.03f, 80.0f, 83.0f}};
    {
        TextWriter report = TextWriter::for_append(run_.outputs.changed_file("ABTRVLZZ.DIA"));
        update_link_friction_slopes(run_, report);
        report.commit();
    }
    commit_run();
    const std::vector<LinkRecord> links = read_link_data_base("AB0001ZZ.ZLL", FilePresence::MustExist);
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(links[0].column(55), 0.02f);
    EXPECT_EQ(links[0].link_upstream_hgl(), 92.0f);
    EXPECT_EQ(links[0].link_downstream_hgl(), 90.0f);
    // A fitted slope of 0.0 takes the link's own slope, (105 - 100) / 100.
    EXPECT_EQ(format_fixed(links[2].column(69), 8, 4), "  0.0500");
    // Links without a result lose the HGLs of an earlier run.
    EXPECT_EQ(links[1].link_upstream_hgl(), 0.0f);
    EXPECT_EQ(links[3].link_upstream_hgl(), 0.0f);
}

TEST_F(BalancedHglRunTest, StoredControlsAreReKeyedWithoutAsking)
{
    // A second control on the outlet finds no string left; one on a node no
    // string ends at is passed over.  Neither is asked nor saved.
    controls_.hydraulic_control_model = HydraulicControlModel::UserDefinedControl;
    hgl_controls_.controls = {{140.0f, 97.5f}, {140.0f, 90.0f}, {777.0f, 1.0f}};
    run_steps();
    EXPECT_FALSE(file_exists("ABcontzz.zzz"));
    EXPECT_EQ(run_.balanced_hgl_results.results.size(), 3u);
    EXPECT_EQ(printed(run_.balanced_hgl_results.results.at(0)), "    120.0    140.0   0.0575    97.50   103.25");
    const Lines report = report_after_section_two();
    EXPECT_EQ(report.at(4), "          140.0      97.50                 140.0      90.00");
    EXPECT_EQ(report.at(5).substr(0, 26), "          777.0       1.00");
}

TEST_F(BalancedHglRunTest, ExitInTheDialogueLeavesIndexAndControlFileAlone)
{
    controls_.hydraulic_control_model = HydraulicControlModel::UserDefinedControl;
    run_string_finder(run_);
    const std::string index = TemporaryDirectory::get(run_.outputs.current_file("ABINDXZZ.ZST"));
    window_.type(std::vector<std::string>{"exit"});
    EXPECT_THROW(run_balanced_hgl_estimation(run_), ProgramStop);
    EXPECT_EQ(TemporaryDirectory::get(run_.outputs.current_file("ABINDXZZ.ZST")), index);
    EXPECT_FALSE(file_exists("ABcontzz.zzz"));
}

TEST_F(BalancedHglRunTest, MissingStringIndexEndsTheRunNamingIt)
{
    try {
        run_balanced_hgl_estimation(run_);
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("ABINDXZZ.ZST"), std::string::npos) << error.what();
    }
}

TEST_F(BalancedHglRunTest, ThousandOutletsAreSavedWithTheirCount)
{
    // 1000 system outlets, none of them a string's: every one is asked, and
    // the control file takes all of them and their count.
    std::string set_e = " 1000\r\n";
    Lines typed;
    for (int k = 1; k <= 1000; ++k) {
        set_e += " " + std::to_string(5000 + k) + ".0\r\n";
        typed.push_back(std::to_string(k) + ".25");
    }
    TemporaryDirectory::put("ABSETEZZ.ZZZ", set_e);
    controls_.hydraulic_control_model = HydraulicControlModel::UserDefinedControl;
    window_.type(typed);
    run_steps();
    EXPECT_EQ(window_.lines_left(), 0u);
    // The list under the last prompt shows the ten entries before it.
    const std::string& last = window_.reads().back();
    EXPECT_EQ(last.find("  5989.0     989.25"), std::string::npos);
    EXPECT_NE(last.find("  5990.0     990.25"), std::string::npos);
    EXPECT_NE(last.find("  5999.0     999.25"), std::string::npos);
    ControlParameters saved;
    HglControlTable controls;
    ASSERT_TRUE(load_control_file(session_, "AB", saved, controls));
    ASSERT_EQ(controls.count(), 1000);
    EXPECT_EQ(controls.controls[999].node_number, 6000.0f);
    EXPECT_EQ(controls.controls[999].elevation, 1000.25f);
    EXPECT_EQ(read_text_lines("ABcontzz.zzz").at(1).substr(21), " 1000");
}

TEST(FrictionSlopeUpdate, SlopeOfALinkFromItsResult)
{
    struct Case {
        const char* name;
        float fitted;     // result's slope
        float own_slope;  // column 9
        float expected;   // columns 55, 63, 64, 68, 69
        bool listed;
    } cases[] = {
        {"fitted slope kept", 0.0123f, 0.05f, 0.0123f, false},
        {"zero takes the link's own slope", 0.0f, 0.05f, 0.05f, false},
        {"zero and a flat link take the minimum", 0.0f, 0.0f, 0.0015f, true},
        {"adverse slope raised to the minimum", -0.02f, 0.05f, 0.0015f, true},
        {"at the minimum plus 0.001 listed", 0.0015f + 0.001f, 0.05f, 0.0015f + 0.001f, true},
        {"just above not listed", 0.0026f, 0.05f, 0.0026f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRecord link;
        link.link_slope() = c.own_slope;
        link.column(56) = 7.0f;
        const BalancedHglResult result{1.0f, 2.0f, c.fitted, 90.0f, 91.0f};
        EXPECT_EQ(apply_balanced_hgl_result(link, &result, true, 0.0015f), c.listed);
        for (const int column : {55, 63, 64, 68, 69}) EXPECT_EQ(link.column(column), c.expected);
        EXPECT_EQ(link.column(56), 7.0f);
        EXPECT_EQ(link.link_upstream_hgl(), 91.0f);
        EXPECT_EQ(link.link_downstream_hgl(), 90.0f);
    }
}

TEST(FrictionSlopeUpdate, WithoutResultsTheRecordStaysAsRead)
{
    LinkRecord link;
    link.link_upstream_hgl() = 55.0f;
    link.column(55) = 0.01f;
    EXPECT_FALSE(apply_balanced_hgl_result(link, nullptr, false, 0.0015f));
    EXPECT_EQ(link.link_upstream_hgl(), 55.0f);
    EXPECT_FALSE(apply_balanced_hgl_result(link, nullptr, true, 0.0015f));
    EXPECT_EQ(link.link_upstream_hgl(), 0.0f);
    EXPECT_EQ(link.column(55), 0.01f);
}

}  // namespace
}  // namespace velm
