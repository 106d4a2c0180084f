// The statistics over studies the study builder writes: the results files it
// derives, the layout of sections II.D and II.E on the bundled sample, and a
// study of another model type whose links meet every rule of the health
// check.
#include <gtest/gtest.h>

#include <filesystem>

#include "diagnostics/statistics.h"
#include "platform/clock.h"
#include "records/subarea_data_base.h"
#include "statistics_test_support.h"
#include "support/scripted_window.h"
#include "support/study_builder.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::blanks;
using test::lines_between;

TEST(StudyBuilderResults, GroupsFollowTheLinksOfEachMap)
{
    test::StudyBuilder study("AB", 7, 1);
    study.add_node(10101.0f, 120.0f);
    study.add_node(10102.0f, 116.0f);
    study.add_node(10103.0f, 110.0f, {12.5f}).total_tributary_area() = 8.0f;
    study.add_node(10204.0f, 104.0f, {20.0f}).total_tributary_area() = 10.0f;
    study.add_initial_link(10101.0f, 10103.0f, 400.0f);
    study.add_initial_link(10102.0f, 10103.0f, 300.0f);
    study.add_link(10103.0f, 10204.0f, 500.0f, test::Element::pipe(1.5f)).link_travel_time(1) = 2.5f;
    study.add_subarea(10101.0f, 5.0f).time_of_concentration(1) = 11.0f;
    study.add_subarea(10102.0f, 3.0f).time_of_concentration(1) = 14.0f;
    study.add_subarea(10204.0f, 2.0f);

    const auto map_101 = study.model_results(101);
    ASSERT_EQ(map_101.size(), 2u);
    EXPECT_EQ(map_101[0], (ModelResultsGroup{10101.0f, 10103.0f, 21, 14.0f, 5.0f, 8.0f, 0.0f}));
    EXPECT_EQ(map_101[1], (ModelResultsGroup{10102.0f, 10103.0f, 21, 14.0f, 3.0f, 8.0f, 0.0f}));
    const auto map_102 = study.model_results(102);
    ASSERT_EQ(map_102.size(), 1u);
    EXPECT_EQ(map_102[0], (ModelResultsGroup{10103.0f, 10204.0f, 41, 16.5f, 0.0f, 10.0f, 2.5f}));

    study.set_model_results(102, {{1.0f, 2.0f, 82, 3.0f, 4.0f, 5.0f, 6.0f}});
    EXPECT_EQ(study.model_results(102), (std::vector<ModelResultsGroup>{{1.0f, 2.0f, 82, 3.0f, 4.0f, 5.0f, 6.0f}}));
}

// The headings of both sections on the sample, in order: every statistic of
// a Los Angeles County study with two storm events, each block whole.
TEST(StatisticsOnTheSample, SectionsHaveTheirLayout)
{
    test::TemporaryDirectory directory;
    const fs::path sample = fs::path(VELM_SOURCE_DIR) / "examples" / "sample";
    int subareas = 0;
    for (const auto& entry : fs::directory_iterator(sample)) {
        fs::copy_file(entry.path(), entry.path().filename());
        if (entry.path().extension() == ".ZSS")
            subareas += static_cast<int>(read_subarea_data_base(entry.path().string(), FilePresence::MustExist).size());
    }
    ASSERT_GT(subareas, 0);

    test::ScriptedWindow window;
    FixedClock clock{DateTime{2024, 6, 11, 9, 30, 0, 0}};
    Session session{window, clock};
    run_data_base_statistics(session, "SA2204ZZ", 6, DataFileTable{});
    const std::vector<std::string> report = read_text_lines("SATRVLZZ.DIA");

    std::vector<std::string> headings;
    int blocks = 0;
    for (std::size_t i = 0; i < report.size(); ++i) {
        const std::string& line = report[i];
        EXPECT_NE(line.substr(0, 10), " *--------") << "line " << i + 1;
        if (line.find('*') != std::string::npos && line != "        (median - 1.5*IQR, median + 1.5*IQR)")
            ADD_FAILURE() << "line " << i + 1 << ": " << line;
        if (line.rfind("     ", 0) == 0 && line.size() > 5 && line[5] != ' ') headings.push_back(line);
        if (line.rfind("      2b.", 0) == 0 || line.rfind("      2a.", 0) == 0 || line.rfind("      2c.", 0) == 0)
            headings.push_back(line);
        if (line.rfind("        T1 = ", 0) == 0 || line.rfind("        Design Storm Event #", 0) == 0 ||
            line.rfind("    II.", 0) == 0 || line.rfind("        Statistics NOT", 0) == 0)
            headings.push_back(line);
        if (line.rfind("        Maximum Value = ", 0) == 0) {
            ++blocks;
            // Maximum, minimum, two caption lines, ten intervals, then the
            // quartile block of eleven lines.
            ASSERT_LT(i + 24, report.size());
            EXPECT_EQ(report[i + 2], blanks(35) + "NUMBER");
            for (std::size_t k = 4; k < 14; ++k) EXPECT_EQ(report[i + k].size(), 59u) << report[i + k];
            EXPECT_EQ(report[i + 14], "");
            EXPECT_EQ(report[i + 23], "        ESTIMATED OUTLIERS ARE:");
        }
    }
    const std::vector<std::string> expected{
        "    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS",
        "     1. Subarea SIZE (Acres)",
        "     2. Initial Subarea Statistics",
        "      2a. Area (Acres)",
        "        Statistics NOT estimated! ",
        "      2b. Time-of-Concentration (minutes) for Storm Event # 1",
        "      2b. Time-of-Concentration (minutes) for Storm Event # 2",
        "      2c. Flowpath Length (feet)",
        "     3. LINK Travel Times (minutes)",
        "        Statistics NOT estimated! ",
        "     4. Link Lengths (feet)",
        "     5. Ratios of Computed Peak Flow:",
        "        T1 =  10. Year; T2 =  25. Year",
        "     6. Flowrate vs. Total Tributary Area Ratios:",
        "        Design Storm Event # 1, return frequency =   10. years.",
        "        Design Storm Event # 2, return frequency =   25. years.",
        "    II.E. MASTER PLAN OF DRAINAGE HEALTH CHECK",
        "     1. The following links have subarea-added AREA that is",
    };
    EXPECT_EQ(headings, expected);
    EXPECT_EQ(blocks, 8);  // 1, 2b twice, 2c, 4, 5, 6 twice
    ASSERT_GE(report.size(), 7u);
    EXPECT_EQ(report[0], "\f");
    EXPECT_EQ(report[5], "        Total Number of Subareas = " + format_integer(subareas, 4));
    // A Los Angeles County study ends the health check after check 1.
    EXPECT_EQ(report.back(), "        None");
}

// A study of model type 7 with two storm events over two maps, in a data
// directory.  Map 101: an initial subarea (Tc 10 and 8 minutes), a pipe
// (12 minutes) and a pipe under a street (4 minutes) that takes a subarea of
// 20 acres along its reach to node 10104 (25 acres in all).  Map 102: a
// channel (15 minutes) on from 10104, and a second stream whose initial
// subarea is slow (Tc 65 and 60) and drains down a box (11 minutes).  The
// companion program also reports the 50 acres added at node 10201.
class StatisticsOfATimedStudy : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::StudyBuilder study("AB", 7, 2);
        const std::pair<float, float> nodes[] = {{10101.0f, 5.0f},  {10102.0f, 5.0f},  {10103.0f, 5.0f},
                                                 {10104.0f, 25.0f}, {10201.0f, 75.0f}, {10202.0f, 8.0f},
                                                 {10203.0f, 8.0f},  {10204.0f, 8.0f}};
        float elevation = 140.0f;
        for (const auto& [node, area] : nodes) {
            study.add_node(node, elevation, {2.0f * area, 3.0f * area}).total_tributary_area() = area;
            elevation -= 4.0f;
        }
        auto timed = [](LinkRecord& link, float event_1, float event_2) {
            link.link_travel_time(1) = event_1;
            link.link_travel_time(2) = event_2;
        };
        study.add_initial_link(10101.0f, 10102.0f, 400.0f);
        timed(study.add_link(10102.0f, 10103.0f, 800.0f, test::Element::pipe(2.0f)), 12.0f, 11.0f);
        timed(study.add_link(10103.0f, 10104.0f, 600.0f, test::Element::pipe(2.5f), test::StreetSection{}), 4.0f, 3.5f);
        timed(study.add_link(10104.0f, 10201.0f, 1500.0f, test::Element::channel(4.0f, 6.0f, 2.0f)), 15.0f, 14.0f);
        study.add_initial_link(10202.0f, 10203.0f, 900.0f);
        timed(study.add_link(10203.0f, 10204.0f, 700.0f, test::Element::box(3.0f, 4.0f)), 11.0f, 10.0f);

        SubareaRecord& first = study.add_subarea(10101.0f, 5.0f);
        first.time_of_concentration(1) = 10.0f;
        first.time_of_concentration(2) = 8.0f;
        study.add_subarea(10104.0f, 20.0f, test::SubareaEntry::AlongLink);
        SubareaRecord& slow = study.add_subarea(10202.0f, 8.0f);
        slow.time_of_concentration(1) = 65.0f;
        slow.time_of_concentration(2) = 60.0f;
        study.add_subarea(10201.0f, 50.0f, test::SubareaEntry::AtNode);

        // 20 minutes and an estimated 25 at the node would put the group in
        // checks 2a and 2b, were it not a subarea added at a node.
        std::vector<ModelResultsGroup> map_102 = study.model_results(102);
        map_102.push_back({10201.0f, 10201.0f, 81, 45.0f, 50.0f, 75.0f, 20.0f});
        study.set_model_results(102, map_102);

        study.set_data_directory("DATA\\AB\\STUDY.TXT");
        study.write(".");
        write_text_lines("DATA/AB/ABTRVLZZ.DIA", {"SECTION I"});

        test::ScriptedWindow window;
        FixedClock clock{DateTime{2024, 6, 11, 9, 30, 0, 0}};
        Session session{window, clock};
        run_data_base_statistics(session, "AB0101ZZ", 7, DataFileTable{});
        report_ = read_text_lines("DATA/AB/ABTRVLZZ.DIA");
    }

    long count(const std::string& line) const { return std::count(report_.begin(), report_.end(), line); }

    test::TemporaryDirectory directory_;
    std::vector<std::string> report_;
};

TEST_F(StatisticsOfATimedStudy, HealthCheckListsEveryRule)
{
    // Results rows by travel time: 81 at 10201 (20), the channel (15, Tc 41
    // at 10201, 26 estimated at 10104), the pipe (12, Tc 22, 10 estimated),
    // the box (11, Tc 76, 65 estimated), the street pipe (4, Tc 26, 22
    // estimated); the initial subarea groups (21) are no results rows.
    // Check 1: the street pipe adds 20 acres to 5 (4.00), the node 50 to 25
    // (2.00); the channel and the box are codes the check leaves out.
    const auto row = [](const std::string& up, const std::string& down, const std::string& rest) {
        return blanks(10) + up + blanks(3) + down + blanks(3) + rest;
    };
    const std::vector<std::string> expected{
        "    II.E. MASTER PLAN OF DRAINAGE HEALTH CHECK",
        "     1. The following links have subarea-added AREA that is",
        "        equal to or greater than 35% of the mainline tributary area:",
        "                 Link ID           Mainline    Subarea",
        "            U/S Node   D/S Node      Area        Area       Sum       Ratio",
        row(" 10103.00", " 10104.00", "      5.00      20.00       25.00    4.00"),
        row(" 10201.00", " 10201.00", "     25.00      50.00       75.00    2.00"),
        "",
        "     2a. The following links have estimated flow runoff TRAVEL",
        "         TIMES greater than 3 minutes, AND time-of-concentration",
        "         values less than 30 minutes:",
        "                  Link ID           Travel    Estimated Tc",
        "            U/S Node   D/S Node     Time      at U/S Node",
        row(" 10104.00", " 10201.00", "     15.00      26.00"),
        row(" 10102.00", " 10103.00", "     12.00      10.00"),
        row(" 10103.00", " 10104.00", "      4.00      22.00"),
        "",
        "     2b. The following links have estimated flow runoff TRAVEL",
        "         TIMES greater than 5 minutes, AND time-of-concentration",
        "         values less than 60 minutes:",
        "                  Link ID           Travel    Estimated Tc",
        "            U/S Node   D/S Node     Time      at U/S Node",
        row(" 10104.00", " 10201.00", "     15.00      26.00"),
        row(" 10102.00", " 10103.00", "     12.00      10.00"),
        "",
        "     2c. The following links have estimated flow runoff TRAVEL",
        "         TIMES greater than 10 minutes, AND time-of-concentration",
        "         values greater than or equal to 60 minutes:",
        "                  Link ID           Travel    Estimated Tc",
        "            U/S Node   D/S Node     Time      at U/S Node",
        row(" 10203.00", " 10204.00", "     11.00      65.00"),
    };
    const auto section = lines_between(report_, "    II.E. MASTER PLAN OF DRAINAGE HEALTH CHECK", "-");
    EXPECT_EQ(section, expected);
    ASSERT_GE(report_.size(), expected.size() + 1);
    EXPECT_EQ(report_[report_.size() - expected.size() - 1], "\f");
}

TEST_F(StatisticsOfATimedStudy, TimedStatisticsOfBothEvents)
{
    // Subareas 10101 and 10202 are initial (numbered by the upstream node of
    // their links), 10104 and 10201 are not.
    EXPECT_EQ(count("        Total Number of Subareas =    4"), 1);
    EXPECT_EQ(count("        Total Number of Initial Subareas =    2"), 1);
    EXPECT_EQ(count("      2b. Time-of-Concentration (minutes) for Storm Event # 2"), 1);
    EXPECT_EQ(count("      2b. Time-of-Concentration (minutes) for Storm Event # 3"), 0);
    // Event-1 travel times of the four conveyance links: 12, 4, 15, 11.
    const auto event_1 = lines_between(report_, "     3. Link Travel Times (minutes) for Storm Event # 1",
                                       "     3. Link Travel Times (minutes) for Storm Event # 2");
    ASSERT_GE(event_1.size(), 4u);
    EXPECT_EQ(event_1[1], "        Maximum Value =    15.00");
    EXPECT_EQ(event_1[2], "        Minimum Value =     4.00");
    EXPECT_EQ(count("     3. Link Travel Times (minutes) for Storm Event # 3"), 0);
    // Peak flows 2 and 3 cfs per acre at every node: T1/T2 is 2/3 on every
    // link, and the flow per acre 2.00 and 3.00 at the eight nodes.
    EXPECT_EQ(count("        T1 =  10. Year; T2 =  25. Year"), 1);
    EXPECT_EQ(count("        Median (50th Percentile) =     0.67"), 1);
    EXPECT_EQ(count("        Median (50th Percentile) =     2.00"), 1);
    EXPECT_EQ(count("        Median (50th Percentile) =     3.00"), 1);
}

}  // namespace
}  // namespace velm
