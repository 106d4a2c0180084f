// The analysis run on a study of the size the system is built for: some
// 4,800 links in 400 maps (one data base per map), and the same number of
// links in the 99 region maps of a region-file study.  The run must reach
// its end with a whole report; how long it takes is the benchmark's
// business (bench/), never a test's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text_file.h"
#include "support/large_studies.h"
#include "support/program_run.h"
#include "support/report_delimiters.h"
#include "support/session_test.h"
#include "support/study_builder.h"

namespace velm {
namespace {

using test::county_study;
using test::region_study;
using test::StudyBuilder;

class LargeStudyTest : public test::SessionTest {
protected:
    // The study written, the run launched for option 1, sub-option 2.
    void run_launched(const StudyBuilder& study)
    {
        study.write(directory_.path());
        test::write_command_file("AB", 1, 1, 2);
        const std::string reason = test::run_program_to_stop(session_, window_, {});
        EXPECT_EQ(reason, "analysis run done");
        EXPECT_EQ(test::TemporaryDirectory::get("QEVCOM2.DAT"), "99\r\n");
    }

    // The number at the head of a node-set file.
    static int node_set_count(const std::string& name) { return std::stoi(read_text_lines(name).at(0)); }

    // The report has all its sections, the statistics saw every subarea,
    // the network node sets hold every outlet and seam, and no check found
    // a fault in the study.
    void expect_complete_report(int subareas, int outlets, int seams)
    {
        const std::vector<std::string> report = read_text_lines("ABTRVLZZ.DIA");
        EXPECT_EQ(test::report_delimiters(report).size(), 30u);
        const std::string subarea_total = "        Total Number of Subareas = " + std::to_string(subareas);
        EXPECT_NE(std::find(report.begin(), report.end(), subarea_total), report.end()) << subarea_total;
        EXPECT_EQ(node_set_count("SETG.ZZZ"), outlets);
        EXPECT_EQ(node_set_count("ABSETXZZ.ZZZ"), seams);
        EXPECT_EQ(window_.transcript().find("Fatal Error(s)"), std::string::npos);
    }
};

TEST_F(LargeStudyTest, CountyStudyOfFourHundredMapsRunsWhole)
{
    const StudyBuilder study = county_study();
    ASSERT_GT(study.links().size(), 4700u);
    run_launched(study);
    // Six subareas a map; ten maps a chain, each chain with one outlet.
    expect_complete_report(2400, 40, 360);
}

TEST_F(LargeStudyTest, RegionFileStudyRunsWhole)
{
    const StudyBuilder study = region_study();
    ASSERT_GT(study.links().size(), 4700u);
    run_launched(study);
    // Six subareas a unit; ten maps a chain, the last of nine maps.
    expect_complete_report(2376, 10, 89);
}

}  // namespace
}  // namespace velm
