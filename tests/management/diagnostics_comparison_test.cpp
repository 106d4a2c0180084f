#include "management/diagnostics_comparison.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>

#include "management/settings_changes.h"
#include "management/toolset_entry_check.h"
#include "platform/files.h"
#include "platform/stop.h"
#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "support/program_run.h"
#include "support/session_test.h"

namespace velm {
namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

// The sample study after an analysis run, its report and control file
// copied as the baseline's, and a tool-status file of 100 zero flags.
class DiagnosticsComparisonTest : public test::SessionTest {
protected:
    void SetUp() override
    {
        for (const auto& entry : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "examples" / "sample")) {
            fs::copy_file(entry.path(), entry.path().filename());
        }
        test::write_command_file("SA", 0, 1, 2);
        test::run_program_to_stop(session_, window_, {});
        fs::remove("QEVCOM2.DAT");
        report_ = read_text_lines("SATRVLZZ.DIA");
        fs::copy_file("SATRVLZZ.DIA", "SATRVLZ1.DIA");
        fs::copy_file("SAcontzz.zzz", "SAcontz1.zzz");
        std::string flags;
        for (int k = 1; k <= 100; ++k) flags += (k == 52 ? "1" : "0") + std::string("\r\n");
        test::TemporaryDirectory::put("SAtoolzz.set", flags);
    }
    // The lines the comparison appended to the scenario's report.
    Lines compare()
    {
        compare_diagnostics_files(session_, "SA");
        const Lines now = read_text_lines("SATRVLZZ.DIA");
        return Lines(now.begin() + static_cast<long>(std::min(report_.size(), now.size())), now.end());
    }
    static std::size_t count_of(const Lines& lines, const std::string& line)
    {
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
    static std::string padded(std::string line)
    {
        line.resize(80, ' ');
        return line;
    }
    Lines report_;
};

TEST_F(DiagnosticsComparisonTest, AReportComparedWithItselfAppendsNoDifferences)
{
    const Lines appended = compare();
    ASSERT_GT(appended.size(), 20u);
    EXPECT_EQ(appended[0], padded("\f")) << "a page break is 80 characters like every line";
    EXPECT_EQ(appended[2], padded("                  *   DIAGNOSTICS EXCEPTION REPORT    *"));
    EXPECT_EQ(appended[4], padded("                  *  Baseline Filename: SATRVLZ1.DIA  *"));
    EXPECT_EQ(appended[5], padded("                  *  Scenario Filename: SATRVLZZ.DIA  *"));
    EXPECT_EQ(count_of(appended, padded("     * No Changes of QEV VELM Settings")), 1u);
    EXPECT_EQ(count_of(appended, padded("       NONE")), 6u) << "every difference group";
    EXPECT_EQ(count_of(appended, padded("     VII. Network Diagnostics Report:")), 1u);
    EXPECT_EQ(count_of(appended, padded("   (The Following Data are in the Baseline Diagnostics File")), 0u);
    EXPECT_EQ(count_of(appended, padded("   (The Following Data are in the Scenario Diagnostics File")), 0u);
    EXPECT_EQ(appended[appended.size() - 2], padded("                    END OF DIAGNOSTICS EXCEPTION REPORT"));
    EXPECT_EQ(count_of(appended, padded("            52                   Toolset Edit Process Entry Detected")), 1u);
    for (const std::string& line : appended) EXPECT_EQ(line.size(), 80u) << line;
    EXPECT_EQ(count_of(appended, padded("\f")), 2u) << "the opening and the toolset entry check";

    // The scenario's report now carries an exception report: it is still a
    // complete report, and a second comparison appends a second one.
    const std::size_t first_length = read_text_lines("SATRVLZZ.DIA").size();
    compare_diagnostics_files(session_, "SA");
    EXPECT_EQ(read_text_lines("SATRVLZZ.DIA").size(), first_length + appended.size());

    // Both reports carrying exception reports: their lines after the
    // statistics are no network lists, and nothing is listed from them.
    fs::remove("SATRVLZ1.DIA");
    fs::copy_file("SATRVLZZ.DIA", "SATRVLZ1.DIA");
    report_ = read_text_lines("SATRVLZZ.DIA");
    const Lines third = compare();
    EXPECT_EQ(count_of(third, padded("       NONE")), 6u);
    EXPECT_EQ(third.size(), appended.size());
}

TEST_F(DiagnosticsComparisonTest, EntriesInOneReportOnlyAreListedUnderTheirItem)
{
    // The baseline's list of link check E lacks one node, and its link
    // check C lacks its first link: the scenario holds one more of each.
    Lines baseline = report_;
    for (std::string& line : baseline) {
        if (line == " 220406.0 220406.0 230113.0 230113.0 230213.0 230213.0 230315.0") {
            line = " 220406.0 220406.0 230113.0 230113.0 230213.0 230213.0";
        }
    }
    const auto first_c = std::find(baseline.begin(), baseline.end(), "     1       220402.0   220404.0");
    ASSERT_NE(first_c, baseline.end());
    baseline.erase(first_c);
    write_text_lines("SATRVLZ1.DIA", baseline);

    const Lines appended = compare();
    const Lines scenario_only = {padded("   (The Following Data are in the Scenario Diagnostics File"),
                                 padded("    but NOT in the Baseline Diagnostics File!)")};
    const auto c_caption = std::search(appended.begin(), appended.end(), scenario_only.begin(), scenario_only.end());
    ASSERT_NE(c_caption, appended.end()) << "link check C";
    EXPECT_EQ(*(c_caption - 5), padded(" [C] Downstream Nodes that are NOT unique in the Link Database:"));
    EXPECT_EQ(*(c_caption + 2), padded("     1       220402.0   220404.0"));
    EXPECT_EQ(*(c_caption + 3), padded(" *---------------------------------------------------------------------*"));
    const auto e_caption = std::search(c_caption + 1, appended.end(), scenario_only.begin(), scenario_only.end());
    ASSERT_NE(e_caption, appended.end()) << "link check E";
    EXPECT_EQ(*(e_caption - 3), padded("     to an Upstream Node located on a downstream Link "))
        << "the count cut off";
    EXPECT_EQ(*(e_caption + 2), padded(" 230315.0"));
    EXPECT_EQ(count_of(appended, padded("       NONE")), 5u) << "every group but the link checks";
    EXPECT_EQ(count_of(appended, padded("   (The Following Data are in the Baseline Diagnostics File")), 0u);
}

TEST_F(DiagnosticsComparisonTest, AScenarioAnalysedAgainNamesItsNewFindingAndNothingElse)
{
    // The scenario shortens a link to nothing and is analysed again: its
    // report gains a link check G entry, and its statistics and later
    // sections change too, which the comparison does not list.
    std::vector<LinkRecord> links = read_link_data_base("SA2301ZZ.ZLL", FilePresence::MustExist);
    ASSERT_FALSE(links.empty());
    links[0].link_length() = 0.0f;
    write_link_data_base("SA2301ZZ.ZLL", links);
    test::write_command_file("SA", 0, 1, 2);
    window_ = test::ScriptedWindow();
    EXPECT_EQ(test::run_program_to_stop(session_, window_, {}), "analysis run done");
    report_ = read_text_lines("SATRVLZZ.DIA");

    const Lines appended = compare();
    const Lines expected = {padded("  G. Length of a Link is less than [0.001]:"),
                            padded("     (EXCEPTIONS are FATAL!)"),
                            padded("  Upstream   Downstream    Length"),
                            padded("    Node        Node       (feet)"),
                            padded("   (The Following Data are in the Scenario Diagnostics File"),
                            padded("    but NOT in the Baseline Diagnostics File!)"),
                            padded("  230101.0   230102.0       0.000"),
                            padded(" *---------------------------------------------------------------------*"),
                            padded(""),
                            padded("    II.B. POSTPROCESSOR VALIDITY CHECKS: NODES")};
    const auto item_g = std::search(appended.begin(), appended.end(), expected.begin(), expected.end());
    EXPECT_NE(item_g, appended.end()) << "link check G under its heading, then the node checks group";
    EXPECT_EQ(count_of(appended, padded("       NONE")), 5u) << "every group but the link checks";
    EXPECT_EQ(count_of(appended, padded("   (The Following Data are in the Scenario Diagnostics File")), 1u);
    EXPECT_EQ(count_of(appended, padded("   (The Following Data are in the Baseline Diagnostics File")), 0u);
}

TEST_F(DiagnosticsComparisonTest, NodeListHeadingsLoseTheCountOfOneReport)
{
    // The scenario lists one more node under each item: the heading line
    // that carries the item's count is written up to just before its " = ".
    struct Case {
        const char* count_line;  // the start of the line that carries the count
        std::size_t kept;        // characters of it written
    };
    const Case cases[] = {
        {"     to an Upstream Node located on a downstream Link = ", 54},  // link check E
        {"     to a Downstream Node located on an upstream Link = ", 54},  // link check F
        {"  H. Number of Upstream Nodal Point NUMBERS", 57},
        {"  I. Number of Downstream Nodal Point NUMBERS", 59},
        {"  J. Number of Upstream Nodes NOT defined", 63},
        {"  K. Number of Downstream Nodes NOT defined", 65},
        {"  A. Number of Nodes that are NOT unique", 62},
        {"     [-2000.] or greater than [25000.] = ", 39},  // node check B
        {"  C. Number of Nodal Point NUMBERS out of range", 48},
        {"  D. Number of Nodes that are NOT used", 60},
    };
    const Lines baseline = report_;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count_line);
        Lines scenario = baseline;
        const auto count_line = std::find_if(scenario.begin(), scenario.end(),
                                             [&](const std::string& line) { return line.rfind(c.count_line, 0) == 0; });
        ASSERT_NE(count_line, scenario.end());
        const std::string carried = *count_line;
        const auto rule = std::find(count_line, scenario.end(),
                                    " *---------------------------------------------------------------------*");
        scenario.insert(rule, " 999999.0");
        write_text_lines("SATRVLZZ.DIA", scenario);
        report_ = scenario;
        const Lines appended = compare();
        EXPECT_EQ(count_of(appended, padded(carried.substr(0, c.kept))), 1u) << carried;
        EXPECT_EQ(count_of(appended, padded(" 999999.0")), 1u);
    }
}

TEST_F(DiagnosticsComparisonTest, NodeSetBlocksAfterTheLastListAreComparedAsBlocksOfTheirOwn)
{
    // The scenario's node-set checks found a headwater exception: its block
    // follows the last cross-check list, before the statistics.
    Lines scenario = report_;
    const auto statistics =
        std::find(scenario.begin(), scenario.end(), "    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS");
    ASSERT_NE(statistics, scenario.end());
    scenario.insert(statistics - 1,
                    {"", "     Headwater nodes that are not the UPSTREAM NODE",
                     "     of an Initial Subarea are :", "     (EXCEPTIONS are FATAL!)", " 220401.0 230101.0"});
    write_text_lines("SATRVLZZ.DIA", scenario);
    report_ = scenario;

    const Lines appended = compare();
    const auto title =
        std::find(appended.begin(), appended.end(), padded("     Headwater nodes that are not the UPSTREAM NODE"));
    ASSERT_NE(title, appended.end());
    EXPECT_EQ(*(title + 3), padded("   (The Following Data are in the Scenario Diagnostics File"));
    EXPECT_EQ(*(title + 5), padded(" 220401.0 230101.0"));
    EXPECT_EQ(count_of(appended, padded("       NONE")), 5u) << "the link cross-check group lists the block";
    EXPECT_EQ(count_of(appended, padded("   (The Following Data are in the Scenario Diagnostics File")), 1u)
        << "and nothing of it as links";
}

// Every input the comparison cannot use leaves the scenario's report and the
// files as they are, and the window says which file and why before the run
// ends (the user presses Return to read it).
TEST_F(DiagnosticsComparisonTest, AComparisonThatCannotBeMadeSaysWhyAndWritesNothing)
{
    const auto cross_check =
        std::find(report_.begin(), report_.end(), "     * Check Subarea Data Base (FATAL ERRORs!) *");
    ASSERT_NE(cross_check, report_.end());
    Lines shifted = report_;
    shifted[1] = " " + shifted[1];
    struct Case {
        const char* cause;
        std::string file;                     // the input the case changes
        std::optional<std::string> contents;  // nothing: the file is removed
        std::string message;                  // on the window
        bool ends_the_run;                    // a report refused as not one
    };
    const auto text = [](const Lines& lines) {
        std::string all;
        for (const std::string& line : lines) all += line + "\r\n";
        return all;
    };
    const Case cases[] = {
        {"no baseline report", "SATRVLZ1.DIA", std::nullopt, "  *** NO EXCEPTION REPORT: [SATRVLZ1.DIA] DOES NOT EXIST",
         false},
        {"no scenario report", "SATRVLZZ.DIA", std::nullopt, "  *** NO EXCEPTION REPORT: [SATRVLZZ.DIA] DOES NOT EXIST",
         false},
        {"no baseline control file", "SAcontz1.zzz", std::nullopt,
         "  *** NO EXCEPTION REPORT: [SAcontz1.zzz] DOES NOT EXIST", false},
        {"short baseline control file", "SAcontz1.zzz", "1.0 2.0\r\n",
         "  *** NO EXCEPTION REPORT: [SAcontz1.zzz] IS NOT A COMPLETE CONTROL FILE", false},
        {"no tool-status file", "SAtoolzz.set", std::nullopt,
         "  *** NO EXCEPTION REPORT: [SAtoolzz.set] DOES NOT EXIST", false},
        {"short tool-status file", "SAtoolzz.set", "0\r\n0\r\n",
         "  *** NO EXCEPTION REPORT: [SAtoolzz.set] DOES NOT HOLD 100 TOOL FLAGS", false},
        {"baseline report of another program", "SATRVLZ1.DIA", text(shifted),
         "  *** Fatal Error: [SATRVLZ1.DIA] is not an QEV VELM Diagnostics File", true},
        {"incomplete baseline report", "SATRVLZ1.DIA", text(Lines(report_.begin(), cross_check)),
         "  *** Fatal Error: [SATRVLZ1.DIA] is not a Complete QEV VELM Diagnostics File", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cause);
        const std::string kept = test::TemporaryDirectory::get(c.file);
        const std::string scenario_report = test::TemporaryDirectory::get("SATRVLZZ.DIA");
        if (c.contents) {
            test::TemporaryDirectory::put(c.file, *c.contents);
        } else {
            fs::remove(c.file);
        }
        std::set<std::string> files;
        for (const auto& entry : fs::directory_iterator(fs::current_path())) files.insert(entry.path().filename());

        window_.type("");
        bool ended = false;
        try {
            compare_diagnostics_files(session_, "SA");
        } catch (const ProgramStop&) {
            ended = true;
        }
        EXPECT_EQ(ended, c.ends_the_run);
        EXPECT_EQ(window_.lines_left(), 0u) << "the message waits for Return";
        ASSERT_FALSE(window_.reads().empty());
        EXPECT_NE(window_.reads().back().find(c.message), std::string::npos) << window_.reads().back();

        std::set<std::string> now;
        for (const auto& entry : fs::directory_iterator(fs::current_path())) now.insert(entry.path().filename());
        EXPECT_EQ(now, files) << "no file is created or removed";
        if (c.file != "SATRVLZZ.DIA") {
            EXPECT_TRUE(test::TemporaryDirectory::get("SATRVLZZ.DIA") == scenario_report) << "nothing is appended";
        }
        test::TemporaryDirectory::put(c.file, kept);
    }
}

// A control file with a setting that is no number holds no settings to
// compare: the report stays as it is, as with a short control file.
TEST_F(DiagnosticsComparisonTest, ASettingThatIsNoNumberLeavesTheReportAsItIs)
{
    for (const char* control : {"SAcontz1.zzz", "SAcontzz.zzz"}) {
        for (const char* bad : {"     NaN", "Infinity", "   -1e39"}) {
            SCOPED_TRACE(std::string(control) + " holding " + bad);
            const std::string kept = test::TemporaryDirectory::get(control);
            std::string spoiled = kept;
            spoiled.replace(10, 8, bad);  // the second setting, the maximum clearance
            test::TemporaryDirectory::put(control, spoiled);
            window_.type("");
            EXPECT_TRUE(compare().empty());
            EXPECT_NE(window_.reads().back().find("IS NOT A COMPLETE CONTROL FILE"), std::string::npos)
                << window_.reads().back();
            EXPECT_EQ(test::TemporaryDirectory::get(control), spoiled);
            test::TemporaryDirectory::put(control, kept);
        }
    }
}

// A scenario report that cannot be written is refused, naming it, before
// anything is written: the report stays whole, and nothing hidden is left.
TEST_F(DiagnosticsComparisonTest, AReadOnlyScenarioReportIsRefusedAndKept)
{
    const std::string bytes = test::TemporaryDirectory::get("SATRVLZZ.DIA");
    fs::permissions("SATRVLZZ.DIA", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    try {
        compare_diagnostics_files(session_, "SA");
        ADD_FAILURE() << "not refused";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("'SATRVLZZ.DIA'"), std::string::npos) << error.what();
    }
    EXPECT_EQ(test::TemporaryDirectory::get("SATRVLZZ.DIA"), bytes);
    for (const auto& entry : fs::directory_iterator(".")) EXPECT_FALSE(entry.path().filename().string().starts_with(".SA"));
}

TEST(SettingsChanges, GroupsThatDifferAndTheOnesThatDoNot)
{
    StoredSettings base;
    base.reals = {1.0f, 8.0f, 3.0f, 18.0f, 0.0015f, 0.002f, 0.013f, 0.85f, 1.0f};
    base.packed = {1, 11, 21, 22, 11, 21, 11, 0};
    const Lines same = settings_change_lines(base, base);
    EXPECT_EQ(same, (Lines{"", "", "     I. USER-SELECTED POSTPROCESSOR OPTIONS AND SETTINGS:",
                           " *---------------------------------------------------------------------*",
                           "     * No Changes of QEV VELM Settings",
                           " *---------------------------------------------------------------------*", ""}));

    struct Case {
        const char* name;
        std::function<void(StoredSettings&)> change;
        std::vector<std::string> expected_after_head;  // the lines between the head and the end
    };
    const Case cases[] = {
        {"tens digit 0 of value 6 stands for 2",
         [](StoredSettings& s) { s.packed[5] = 1; },
         {"     * No Changes of QEV VELM Settings"}},
        {"the HGL control count is not compared",
         [](StoredSettings& s) { s.packed[7] = 3; },
         {"     * No Changes of QEV VELM Settings"}},
        {"the low-slope digit of value 1 is not the control model",
         [](StoredSettings& s) { s.packed[0] = 11; },
         {"     * No Changes of QEV VELM Settings"}},
        {"only the offset",
         [](StoredSettings& s) { s.reals[8] = 2.5f; },
         {"    *FRICTION-SLOPE MODEL to be used for estimating the normal depth",
          "     (or pressure flow) friction-slope, Sf, for each link:",
          "     (Note: Selected Sf model will be used as a parameter to model",
          "     existing system elements and also for sizing new system elements.)", "    ** Baseline Setting: **",
          "       OFFSET (feet) to define downstream Hydraulic Control for each", "     string =   1.00",
          "    == Scenario Setting: ==", "       OFFSET (feet) to define downstream Hydraulic Control for each",
          "     string =   2.50"}},
        {"the pipe flow rate",
         [](StoredSettings& s) { s.packed[5] = 31; },
         {" *---------------------------------------------------------------------*", "    ** Baseline Setting: **",
          "    *Total Flow Pickup Pipe sizing used Link Downstream Node Peak Flow Rate.",
          "    == Scenario Setting: ==", "    *Total Flow Pickup Pipe sizing used Average of",
          "     Link Upstream and Downstream Node Peak Flow Rates."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StoredSettings scenario = base;
        c.change(scenario);
        const Lines lines = settings_change_lines(base, scenario);
        EXPECT_EQ(Lines(lines.begin() + 4, lines.end() - 2), c.expected_after_head);
    }

    StoredSettings model_one = base;
    model_one.packed[3] = 21;  // friction-slope model 1
    const Lines models = settings_change_lines(model_one, base);
    EXPECT_EQ(models[8], "    ** Baseline Setting: **");
    EXPECT_EQ(models[11], "     DEFAULT Minimum Friction-Slope, Sf, = 0.0020");
    EXPECT_EQ(models[12], "    == Scenario Setting: ==");
    EXPECT_EQ(models[15], "       Minimum Allowable Flow Velocity for Peak flow rate(fps) =  3.00");
}

TEST(ToolsetEntryCheck, RowsByFlag)
{
    std::vector<int> flags(100, 0);
    flags[40] = 2;
    flags[11] = -1;
    flags[6] = 1;
    const Lines lines = toolset_entry_check_lines(flags);
    EXPECT_EQ(lines[8], "             1                   see HISTORIAN for Edit History");
    EXPECT_EQ(lines[12], "             5                   No Toolset Edit Process Entry Detected");
    EXPECT_EQ(lines[14], "            13                   No Toolset Edit Process available") << "button 12 left out";
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), "            41                   Toolset Edit Process Entry Detected"),
        lines.end());
    EXPECT_EQ(lines.size(), 12u + 13u + 3u);
}

}  // namespace
}  // namespace velm
