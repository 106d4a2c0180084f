#include "diagnostics/diagnostics_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace velm
