// Section II.E: the subarea-area check and the travel-time checks.
#include <gtest/gtest.h>

#include "diagnostics/health_check.h"
#include "statistics_test_support.h"

namespace velm {
namespace {

using test::blanks;
using test::lines_between;
using test::written_lines;

ResultStatisticsRecord result(float upstream, float downstream, float code, float subarea_area, float total_area,
                              float downstream_tc = 0.0f, float travel_time = 0.0f)
{
    return {upstream, downstream, code, subarea_area, total_area, downstream_tc, travel_time};
}

TEST(HealthCheckAreaRatio, CodesAndModelTypesThatCount)
{
    struct Case {
        ResultStatisticsRecord row;
        int model_type;
        float ratio;
    };
    const std::vector<Case> cases{
        {result(1, 2, 45, 30, 100), 7, 30.0f / 70.0f},
        {result(1, 2, 60, 35, 135), 7, 35.0f / 100.0f},
        {result(1, 2, 32, 20, 100), 7, 20.0f / 80.0f},
        {result(1, 2, 45, 50, 50), 7, 0.0f},  // no mainline area
        {result(1, 2, 45, 0, 50), 7, 0.0f},   // nothing added
        {result(1, 2, 31, 30, 100), 7, 0.0f},
        {result(1, 2, 36, 30, 100), 7, 0.0f},
        {result(1, 2, 41, 30, 100), 7, 0.0f},
        {result(1, 2, 42, 30, 100), 7, 0.0f},
        {result(1, 2, 46, 30, 100), 7, 0.0f},
        {result(1, 2, 59, 30, 100), 7, 0.0f},
        {result(1, 2, 82, 30, 100), 7, 30.0f / 70.0f},
        // Los Angeles County and region studies look at code 82 only.
        {result(1, 2, 45, 30, 100), 9, 0.0f},
        {result(1, 2, 82, 30, 100), 9, 30.0f / 70.0f},
        {result(1, 2, 60, 30, 100), 6, 0.0f},
        {result(1, 2, 82, 30, 100), 6, 30.0f / 70.0f},
    };
    for (const Case& c : cases)
        EXPECT_EQ(subarea_area_ratio(c.row, c.model_type), c.ratio)
            << "code " << c.row.process_code << ", model type " << c.model_type;
}

std::string area_row(const std::string& upstream, const std::string& downstream, const std::string& mainline,
                     const std::string& subarea, const std::string& sum, const std::string& ratio)
{
    return blanks(10) + upstream + blanks(3) + downstream + blanks(3) + mainline + blanks(2) + subarea + blanks(2) +
           sum + blanks(2) + ratio;
}

std::string time_row(const std::string& upstream, const std::string& downstream, const std::string& time,
                     const std::string& tc)
{
    return blanks(10) + upstream + blanks(3) + downstream + blanks(3) + time + blanks(2) + tc;
}

TEST(HealthCheck, AreaCheckListsFromTheLargestRatioAtOrAboveTheLimit)
{
    const std::vector<ResultStatisticsRecord> rows{
        result(10101, 10102, 45, 20, 100),  // 0.25
        result(10102, 10103, 60, 35, 135),  // 0.35 exactly
        result(10103, 10104, 45, 30, 100),  // 0.43
        result(10104, 10105, 41, 90, 100),  // a conduit: not looked at
    };
    const auto lines = written_lines([&](TextWriter& report) { write_health_check(report, 7, rows); });
    const std::vector<std::string> expected{
        "\f",
        "    II.E. MASTER PLAN OF DRAINAGE HEALTH CHECK",
        "     1. The following links have subarea-added AREA that is",
        "        equal to or greater than 35% of the mainline tributary area:",
        "                 Link ID           Mainline    Subarea",
        "            U/S Node   D/S Node      Area        Area       Sum       Ratio",
        area_row(" 10103.00", " 10104.00", "     70.00", "    30.00", "    100.00", "  0.43"),
        area_row(" 10102.00", " 10103.00", "    100.00", "    35.00", "    135.00", "  0.35"),
        "",
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 9), expected);
}

TEST(HealthCheck, TravelTimeChecksByTheirRules)
{
    const std::vector<ResultStatisticsRecord> rows{
        result(10101, 10102, 41, 0, 10, 30, 12),   // Tc at the upstream node 18: 2a and 2b
        result(10102, 10103, 41, 0, 10, 80, 12),   // 68: 2c only
        result(10103, 10104, 41, 0, 10, 20, 3),    // not above 3 minutes
        result(10104, 10105, 81, 0, 10, 25, 20),   // code 81 never
        result(10105, 10106, 51, 0, 10, 50, 4.5),  // 45.5: too much Tc for 2a, too little time for 2b
        result(10106, 10107, 51, 0, 10, 72, 15),   // 57: 2b only
    };
    const auto lines = written_lines([&](TextWriter& report) { write_health_check(report, 7, rows); });

    const auto check_2a = lines_between(lines, "     2a. The following links have estimated flow runoff TRAVEL", "");
    EXPECT_EQ(check_2a, (std::vector<std::string>{
                            "     2a. The following links have estimated flow runoff TRAVEL",
                            "         TIMES greater than 3 minutes, AND time-of-concentration",
                            "         values less than 30 minutes:",
                            "                  Link ID           Travel    Estimated Tc",
                            "            U/S Node   D/S Node     Time      at U/S Node",
                            time_row(" 10101.00", " 10102.00", "     12.00", "    18.00"),
                        }));
    const auto check_2b = lines_between(lines, "     2b. The following links have estimated flow runoff TRAVEL", "");
    EXPECT_EQ(std::vector<std::string>(check_2b.begin() + 5, check_2b.end()),
              (std::vector<std::string>{
                  time_row(" 10106.00", " 10107.00", "     15.00", "    57.00"),
                  time_row(" 10101.00", " 10102.00", "     12.00", "    18.00"),
              }));
    const auto check_2c = lines_between(lines, "     2c. The following links have estimated flow runoff TRAVEL", "");
    ASSERT_EQ(check_2c.size(), 6u);
    EXPECT_EQ(check_2c[2], "         values greater than or equal to 60 minutes:");
    EXPECT_EQ(check_2c[5], time_row(" 10102.00", " 10103.00", "     12.00", "    68.00"));
}

TEST(HealthCheck, NoneLinesAndModelTypes)
{
    const std::vector<ResultStatisticsRecord> quiet{result(10101, 10102, 41, 0, 10, 20, 1)};
    const auto lines = written_lines([&](TextWriter& report) { write_health_check(report, 9, quiet); });
    EXPECT_EQ(lines[6], "        None");
    EXPECT_EQ(lines.back(), blanks(28) + "** None **");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "        None"), 3);

    // A Los Angeles County study ends the section after check 1.
    const auto type_6 = written_lines([&](TextWriter& report) { write_health_check(report, 6, quiet); });
    EXPECT_EQ(type_6.size(), 7u);
    EXPECT_EQ(type_6.back(), "        None");
}

TEST(HealthCheck, TravelTimeOrderStartsFromTheAreaOrder)
{
    // Equal travel times: the rows come out as the exchange sort leaves them
    // after the sort on the ratio, not in file order.
    const std::vector<ResultStatisticsRecord> rows{
        result(10101, 10102, 45, 10, 100, 20, 8),  // ratio 0.11
        result(10102, 10103, 45, 30, 100, 20, 8),  // ratio 0.43
        result(10103, 10104, 45, 20, 100, 20, 8),  // ratio 0.25
    };
    // By ratio, descending: 10102, 10103, 10101.  By travel time, all equal,
    // from that order: each step moves nothing.
    const auto lines = written_lines([&](TextWriter& report) { write_health_check(report, 7, rows); });
    const auto check_2a = lines_between(lines, "     2a. The following links have estimated flow runoff TRAVEL", "");
    EXPECT_EQ(std::vector<std::string>(check_2a.begin() + 5, check_2a.end()),
              (std::vector<std::string>{
                  time_row(" 10102.00", " 10103.00", "      8.00", "    12.00"),
                  time_row(" 10103.00", " 10104.00", "      8.00", "    12.00"),
                  time_row(" 10101.00", " 10102.00", "      8.00", "    12.00"),
              }));
}

// A ratio of 2000 does not fit its F6.2 field: asterisks, and the line keeps
// its columns.
TEST(HealthCheck, LargeRatioKeepsItsFieldWidth)
{
    const std::vector<ResultStatisticsRecord> rows{result(10101, 10102, 82, 100, 100.05f)};
    const auto lines = written_lines([&](TextWriter& report) { write_health_check(report, 6, rows); });
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[6], area_row(" 10101.00", " 10102.00", "      0.05", "   100.00", "    100.05", "******"));
}

}  // namespace
}  // namespace velm
