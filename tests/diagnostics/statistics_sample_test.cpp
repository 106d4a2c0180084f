// The statistics over studies the study builder writes: the results files it
// derives, and the layout of sections II.D and II.E on the bundled sample.
#include <gtest/gtest.h>

#include <filesystem>

#include "diagnostics/statistics.h"
#include "platform/clock.h"
#include "records/subarea_data_base.h"
#include "statistics_test_support.h"
#include "support/scripted_window.h"
#include "support/study_builder.h"

namespace velm {
namespace {

namespace fs = std::filesystem;
using test::blanks;

TEST(StudyBuilderResults, GroupsFollowTheLinksOfEachMap) {
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
TEST(StatisticsOnTheSample, SectionsHaveTheirLayout) {
    test::StatisticsScratchDirectory directory;
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

}  // namespace
}  // namespace velm
