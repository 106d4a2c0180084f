#include "diagnostics/diagnostics_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "diagnostics/link_checks.h"
#include "diagnostics/model_cross_check.h"
#include "diagnostics/node_checks.h"
#include "diagnostics/statistics.h"
#include "diagnostics/subarea_checks.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"
#include "support/small_studies.h"
#include "support/study_builder.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

using test::TemporaryDirectory;
using Lines = std::vector<std::string>;

const Lines SECTION_ONE = {"", "                    *-----------------------*", "     I. (settings)"};

using test::two_map_study;

class DiagnosticsRunTest : public test::SessionTest {
protected:
    // Runs the diagnostics of the maps after a stand-in for section I;
    // returns the fatal count and leaves the report's lines in report_lines.
    int run(const Lines& maps, int model_type)
    {
        DataFileTable table;
        table.data_file_names = maps;
        table.model_file_extension = "Z11";
        table.study_id = "AB";
        TextWriter report("ABTRVLZZ.DIA");
        for (const std::string& line : SECTION_ONE) report.write_line(line);
        const int fatal_count = run_diagnostics(session_, report, table, model_type, node_sets_);
        report_lines = read_text_lines("ABTRVLZZ.DIA");
        return fatal_count;
    }

    // The window transcript as lines.
    Lines window_lines() const
    {
        Lines lines;
        std::string line;
        for (char c : window_.transcript()) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        if (!line.empty()) lines.push_back(line);
        return lines;
    }

    NetworkNodeSets node_sets_;
    Lines report_lines;
};

TEST_F(DiagnosticsRunTest, SectionTwoFollowsSectionOneWithTheDelimitersOfItsModelType)
{
    struct Case {
        int written_type;  // the study's files as written for this model type
        int model_type;    // the model type the run is given
        std::size_t delimiters;
        std::string last_delimiter;
    };
    const std::vector<Case> cases = {
        {6, 6, 30, "    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS"},
        {3, 3, 30, "    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS"},
        // A curve-number study: no cross-check, node sets or statistics.
        {3, 10, 20, test::REPORT_RULE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model_type);
        TemporaryDirectory directory;
        two_map_study(c.written_type).write(directory.path());
        EXPECT_EQ(run({"AB0101ZZ", "AB0102ZZ"}, c.model_type), 0);
        ASSERT_GE(report_lines.size(), 7u);
        const Lines opening = {SECTION_ONE[0],
                               SECTION_ONE[1],
                               SECTION_ONE[2],
                               "\f",
                               "",
                               "                        II. DIAGNOSTICS REPORT",
                               ""};
        EXPECT_EQ(Lines(report_lines.begin(), report_lines.begin() + 7), opening);
        const std::vector<test::ReportDelimiter> delimiters = test::report_delimiters(report_lines);
        ASSERT_EQ(delimiters.size(), c.delimiters);
        EXPECT_EQ(delimiters.back().line, c.last_delimiter);
        EXPECT_EQ(std::count(report_lines.begin(), report_lines.end(), "     * Check Link Data Base *"),
                  c.model_type == 10 ? 0 : 1);
    }
}

TEST_F(DiagnosticsRunTest, StaleExceptionListsAreRemoved)
{
    const Lines lists = {"temp01.tmp", "temp07.tmp", "temp11.tmp", "temp13.tmp"};
    for (const std::string& name : lists) TemporaryDirectory::put(name, " 10101.0\r\n");
    TemporaryDirectory::put("temp12.tmp", "kept\r\n");
    run({}, 10);
    for (const std::string& name : lists) EXPECT_FALSE(file_exists(name)) << name;
    EXPECT_TRUE(file_exists("temp12.tmp"));
}

TEST_F(DiagnosticsRunTest, WindowTellsWhichDataBaseHasFatalErrors)
{
    // The study's GIS node file of map 101 lists node 10102.0 twice: a
    // fatal node finding, and nothing else.
    test::StudyBuilder study = two_map_study(3);
    study.edit_gis_files([](const std::string& stem, test::GisFiles& files) {
        if (stem == "AB0101ZZ") files.nodes.push_back(files.nodes.at(1));
    });
    study.write(std::filesystem::current_path());

    for (int model_type : {3, 10}) {
        SCOPED_TRACE(model_type);
        window_ = test::ScriptedWindow();
        EXPECT_EQ(run({"AB0101ZZ", "AB0102ZZ"}, model_type), 1);
        const Lines window = window_lines();
        ASSERT_FALSE(window.empty());
        EXPECT_EQ(window.front(), "     * GIS DATA BASE POSTPROCESSOR EXECUTED :");
        const Lines node_message = {"", "     *** Fatal Error(s) Detected:",
                                    "         See file [ABTRVLZZ.DIA] for diagnostics of YOUR NODE DATA BASE", ""};
        EXPECT_NE(std::search(window.begin(), window.end(), node_message.begin(), node_message.end()), window.end());
        for (const std::string& line : window) {
            EXPECT_EQ(line.find("LINK DATA BASE"), std::string::npos) << line;
            EXPECT_EQ(line.find("SUBAREA DATA BASE"), std::string::npos) << line;
        }
    }
}

// The subarea data bases and GIS node files are parsed once a run: the
// cross-check, the node checks and the statistics take what they need of
// them from what the checks before them read.  Spoiled on disk once read,
// the files leave every later finding, line and window text as each step
// reading them itself gives it.
TEST_F(DiagnosticsRunTest, LaterStepsTakeTheFilesTheChecksParsed)
{
    test::StudyBuilder study = test::two_map_study(6);
    study.add_subarea(10102.0f, 2.5f).time_of_concentration(1) = 12.0f;
    study.add_subarea(10203.0f, 1.5f).cell_land_use(1) = 99.0f;  // a subarea finding
    study.edit_gis_files([](const std::string&, test::GisFiles& files) {
        if (!files.nodes.empty()) files.nodes.push_back(files.nodes.front());  // a node finding
    });
    DataFileTable table;
    table.data_file_names = {"AB0101ZZ", "AB0102ZZ"};
    table.model_file_extension = "Z11";
    table.study_id = "AB";
    constexpr int MODEL_TYPE = 6;

    struct Outcome {
        Lines report;
        std::string window;
        std::vector<int> totals;
    };
    const auto spoil = [](std::string_view extension) {
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::current_path()))
            if (entry.path().extension() == extension) TemporaryDirectory::put(entry.path().filename().string(), "x\r\n");
    };
    const auto run_steps = [&](bool shared) {
        study.write(std::filesystem::current_path());
        window_ = test::ScriptedWindow();
        DiagnosticsInputs inputs;
        NetworkNodeSets node_sets;
        TextWriter report("ABTRVLZZ.DIA");
        Outcome outcome;
        int subarea_total = 0;
        int link_total = 0;
        if (shared) {
            outcome.totals.push_back(run_link_checks(session_, report, table, MODEL_TYPE, inputs));
            spoil(".ZZN");
            outcome.totals.push_back(run_node_checks(session_, report, table, MODEL_TYPE, inputs));
            subarea_total = run_subarea_checks(session_, report, table, MODEL_TYPE, inputs);
            spoil(".ZSS");
            run_model_cross_check(session_, report, table, node_sets, subarea_total, link_total, inputs);
            run_data_base_statistics(session_, "AB0101ZZ", MODEL_TYPE, table, inputs);
        } else {
            outcome.totals.push_back(run_link_checks(session_, report, table, MODEL_TYPE));
            outcome.totals.push_back(run_node_checks(session_, report, table, MODEL_TYPE));
            subarea_total = run_subarea_checks(session_, report, table, MODEL_TYPE);
            run_model_cross_check(session_, report, table, node_sets, subarea_total, link_total);
            run_data_base_statistics(session_, "AB0101ZZ", MODEL_TYPE, table);
        }
        outcome.totals.push_back(subarea_total);
        outcome.totals.push_back(link_total);
        outcome.report = read_text_lines("ABTRVLZZ.DIA");
        outcome.window = window_.transcript();
        return outcome;
    };
    const Outcome each_reading = run_steps(false);
    const Outcome shared = run_steps(true);
    EXPECT_EQ(shared.report, each_reading.report);
    EXPECT_EQ(shared.window, each_reading.window);
    EXPECT_EQ(shared.totals, each_reading.totals);
    // The study has findings of each kind, so the comparison means something.
    EXPECT_EQ(each_reading.totals, (std::vector<int>{0, 2, 1, 0}));
}

}  // namespace
}  // namespace velm
