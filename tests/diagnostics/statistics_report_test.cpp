// Section II.D: histograms, quartiles, outlier intervals and listings, the
// exchange order of the sorted tables, and the statistics of the section.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "diagnostics/statistics_report.h"
#include "statistics_test_support.h"

namespace velm {
namespace {

using test::blanks;
using test::lines_between;
using test::written_lines;

// The line of one histogram interval, from the field texts of its values.
std::string interval_line(const std::string& low, const std::string& high, const std::string& count,
                          const std::string& percent)
{
    return blanks(8) + "(" + low + "," + high + "]" + blanks(8) + count + blanks(13) + percent + "%";
}

TEST(StatisticsHistogram, TenValuesWithOneOutlier)
{
    std::vector<float> values{100.0f, 3.0f, 9.0f, 1.0f, 5.0f, 7.0f, 2.0f, 8.0f, 4.0f, 6.0f};
    Quartiles quartiles;
    const auto lines = written_lines([&](TextWriter& report) { quartiles = write_histogram(report, values); });

    const std::vector<std::string> expected{
        "        Maximum Value =   100.00",
        "        Minimum Value =     1.00",
        blanks(35) + "NUMBER",
        blanks(14) + "Interval            of Values        % of Total",
        interval_line("    0.99", "   10.90", "   9", " 90.00"),
        interval_line("   10.90", "   20.80", "   0", "  0.00"),
        interval_line("   20.80", "   30.70", "   0", "  0.00"),
        interval_line("   30.70", "   40.60", "   0", "  0.00"),
        interval_line("   40.60", "   50.50", "   0", "  0.00"),
        interval_line("   50.50", "   60.40", "   0", "  0.00"),
        interval_line("   60.40", "   70.30", "   0", "  0.00"),
        interval_line("   70.30", "   80.20", "   0", "  0.00"),
        interval_line("   80.20", "   90.10", "   0", "  0.00"),
        interval_line("   90.10", "  100.01", "   1", " 10.00"),
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(values, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 100}));
    EXPECT_EQ(quartiles.q1, 2.75f);
    EXPECT_EQ(quartiles.median, 5.5f);
    EXPECT_EQ(quartiles.q3, 8.25f);
}

// Bounds accumulate the width in single precision, a value on a bound counts
// in the interval that ends there, and percentages are count / n x 100.
TEST(StatisticsHistogram, IntervalsFollowSinglePrecisionBounds)
{
    const std::vector<std::vector<float>> cases{
        {7.5f, 7.5f, 7.5f, 7.5f, 7.5f},  // no width: all in the first interval
        {0.0f, 1.0f, 2.0f, 10.0f},       // values on the bounds 1 and 2
        {0.3f, 0.1f, 0.7f},              // widths that do not add up exactly
        {-4.25f, 3.5f, 3.5f, 12.0f, 0.005f, 6.66f, 9.99f},
    };
    for (const std::vector<float>& list : cases) {
        std::vector<float> values = list;
        const auto lines = written_lines([&](TextWriter& report) { write_histogram(report, values); });
        ASSERT_EQ(lines.size(), 14u);

        const float maximum = *std::max_element(list.begin(), list.end());
        const float minimum = *std::min_element(list.begin(), list.end());
        const float width = (maximum - minimum) / 10.0f;
        float bounds[11];
        bounds[0] = minimum - 0.01f;
        bounds[1] = minimum + width;
        for (int k = 2; k <= 9; ++k) bounds[k] = bounds[k - 1] + width;
        bounds[10] = maximum + 0.01f;
        for (int k = 1; k <= 10; ++k) {
            int count = 0;
            for (float v : list) {
                const bool inside = k == 1    ? v <= bounds[1]
                                    : k == 10 ? v > bounds[9]
                                              : v > bounds[k - 1] && v <= bounds[k];
                count += inside ? 1 : 0;
            }
            const float percent = static_cast<float>(count) / static_cast<float>(list.size()) * 100.0f;
            EXPECT_EQ(lines[3 + static_cast<std::size_t>(k)],
                      interval_line(format_fixed(bounds[k - 1], 8, 2), format_fixed(bounds[k], 8, 2),
                                    format_integer(count, 4), format_fixed(percent, 6, 2)))
                << "interval " << k << " of a list of " << list.size();
        }
    }
}

// Written out by hand, so that a histogram whose bounds are taken as
// minimum + k x width, or whose percentages are count x 100 / n or worked
// in double precision, shows here.
TEST(StatisticsHistogram, SinglePrecisionStepsShowInTheCounts)
{
    struct Case {
        std::string what;
        std::vector<float> values;
        std::vector<std::string> intervals;  // lines 5 to 14
    };
    std::vector<float> many;  // 160 values: 47 of 1, 81 of 5, 32 of 10
    many.insert(many.end(), 47, 1.0f);
    many.insert(many.end(), 81, 5.0f);
    many.insert(many.end(), 32, 10.0f);
    const std::vector<Case> cases{
        // Width 0.3: the bounds add up to 2.3999999 at b8, below 2.4, so
        // 2.4 counts in interval 9 (as 3 x 0.8 it would stand on b8).
        {"accumulated bounds",
         {0.0f, 2.4f, 3.0f},
         {
             interval_line("   -0.01", "    0.30", "   1", " 33.33"),
             interval_line("    0.30", "    0.60", "   0", "  0.00"),
             interval_line("    0.60", "    0.90", "   0", "  0.00"),
             interval_line("    0.90", "    1.20", "   0", "  0.00"),
             interval_line("    1.20", "    1.50", "   0", "  0.00"),
             interval_line("    1.50", "    1.80", "   0", "  0.00"),
             interval_line("    1.80", "    2.10", "   0", "  0.00"),
             interval_line("    2.10", "    2.40", "   0", "  0.00"),
             interval_line("    2.40", "    2.70", "   1", " 33.33"),
             interval_line("    2.70", "    3.01", "   1", " 33.33"),
         }},
        // 47 / 160 is 0.29374999 in single precision, x 100 29.374998:
        // "29.37" where 47 x 100 / 160 gives 29.375 and "29.38"; likewise
        // 81 / 160 x 100 is 50.625004, "50.63" instead of "50.62".
        {"percentages",
         many,
         {
             interval_line("    0.99", "    1.90", "  47", " 29.37"),
             interval_line("    1.90", "    2.80", "   0", "  0.00"),
             interval_line("    2.80", "    3.70", "   0", "  0.00"),
             interval_line("    3.70", "    4.60", "   0", "  0.00"),
             interval_line("    4.60", "    5.50", "  81", " 50.63"),
             interval_line("    5.50", "    6.40", "   0", "  0.00"),
             interval_line("    6.40", "    7.30", "   0", "  0.00"),
             interval_line("    7.30", "    8.20", "   0", "  0.00"),
             interval_line("    8.20", "    9.10", "   0", "  0.00"),
             interval_line("    9.10", "   10.01", "  32", " 20.00"),
         }},
    };
    for (const Case& c : cases) {
        std::vector<float> values = c.values;
        const auto lines = written_lines([&](TextWriter& report) { write_histogram(report, values); });
        ASSERT_EQ(lines.size(), 14u) << c.what;
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()), c.intervals) << c.what;
    }
}

// The maximum and minimum come from the values themselves: a list that lies
// wholly above 999999 (flow per acre of a node with almost no area) shows
// its own minimum, not a starting guess.  At two million the margin of
// 0.01 is lost to single precision.
TEST(StatisticsHistogram, ExtremesOfLargeValuesKeepTheFieldWidths)
{
    std::vector<float> values{3000000.0f, 2000000.0f};
    const auto lines = written_lines([&](TextWriter& report) { write_histogram(report, values); });
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "        Maximum Value = ********");
    EXPECT_EQ(lines[1], "        Minimum Value = ********");
    EXPECT_EQ(lines[4], interval_line("********", "********", "   1", " 50.00"));
    EXPECT_EQ(lines[13], interval_line("********", "********", "   1", " 50.00"));
}

TEST(StatisticsHistogram, EmptyListShowsZeros)
{
    std::vector<float> values;
    Quartiles quartiles{1.0f, 1.0f, 1.0f};
    const auto lines = written_lines([&](TextWriter& report) { quartiles = write_histogram(report, values); });
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "        Maximum Value =     0.00");
    EXPECT_EQ(lines[1], "        Minimum Value =     0.00");
    EXPECT_EQ(lines[4], interval_line("   -0.01", "    0.00", "   0", "  0.00"));
    EXPECT_EQ(lines[13], interval_line("    0.00", "    0.01", "   0", "  0.00"));
    EXPECT_EQ(quartiles.q1, 0.0f);
    EXPECT_EQ(quartiles.median, 0.0f);
    EXPECT_EQ(quartiles.q3, 0.0f);
}

TEST(StatisticsQuartiles, InterpolatedWithinTheList)
{
    struct Case {
        std::vector<float> sorted;
        float q1, median, q3;
    };
    const std::vector<Case> cases{
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 100}, 2.75f, 5.5f, 8.25f},
        {{2, 4, 9}, 2.0f, 4.0f, 9.0f},  // positions 1 and 3 are whole
        {{1, 2, 3, 4}, 1.25f, 2.5f, 3.75f},
        {{10, 20, 30, 40, 50, 60}, 17.5f, 35.0f, 52.5f},
        {{7.5f, 7.5f, 7.5f, 7.5f, 7.5f}, 7.5f, 7.5f, 7.5f},
        // The 25th percentile of two values stands before the first; the
        // 75th of one or two values past the last: both stay in the list.
        {{3, 8}, 3.0f, 5.5f, 8.0f},
        {{5}, 5.0f, 5.0f, 5.0f},
        {{}, 0.0f, 0.0f, 0.0f},
        // Interpolation in single precision: 0.75 x 0.1 + 0.25 x 0.2.
        {{0.1f, 0.2f, 0.3f, 0.4f}, 0.75f * 0.1f + 0.25f * 0.2f, (0.2f + 0.3f) * 0.5f, 0.25f * 0.3f + 0.75f * 0.4f},
    };
    for (const Case& c : cases) {
        const Quartiles q = quartiles_of(c.sorted);
        EXPECT_EQ(q.q1, c.q1) << "list of " << c.sorted.size();
        EXPECT_EQ(q.median, c.median) << "list of " << c.sorted.size();
        EXPECT_EQ(q.q3, c.q3) << "list of " << c.sorted.size();
    }
}

// The exchange sort written out step by step, as the report defines it.
std::vector<std::size_t> literal_exchange_sort(std::vector<float> keys, bool ascending)
{
    std::vector<std::size_t> rows(keys.size());
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    for (std::size_t i = 1; i < keys.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (ascending ? keys[i] < keys[j] : keys[i] > keys[j]) {
                std::swap(keys[i], keys[j]);
                std::swap(rows[i], rows[j]);
            }
    return rows;
}

TEST(ExchangeSortOrder, EqualKeysEndAsTheExchangesLeaveThem)
{
    // Read as first (0.5), second (0.5), third (0.1): ascending they come
    // out third, second, first.
    EXPECT_EQ(exchange_sort_order({0.5f, 0.5f, 0.1f}, SortOrder::Ascending), (std::vector<std::size_t>{2, 1, 0}));
    EXPECT_EQ(exchange_sort_order({}, SortOrder::Descending), std::vector<std::size_t>{});
    EXPECT_EQ(exchange_sort_order({4.0f}, SortOrder::Descending), std::vector<std::size_t>{0});

    std::mt19937 random(20240611);
    const std::vector<float> pool{0.0f, -0.0f, 1.0f, 2.5f, 2.5f, -3.0f, 7.0f};
    for (int trial = 0; trial < 400; ++trial) {
        const std::size_t n = 1 + random() % 60;
        std::vector<float> keys;
        for (std::size_t i = 0; i < n; ++i)
            keys.push_back(trial % 3 == 0 ? static_cast<float>(random() % 1000) : pool[random() % pool.size()]);
        EXPECT_EQ(exchange_sort_order(keys, SortOrder::Ascending), literal_exchange_sort(keys, true))
            << "trial " << trial;
        EXPECT_EQ(exchange_sort_order(keys, SortOrder::Descending), literal_exchange_sort(keys, false))
            << "trial " << trial;
    }
}

TEST(ExchangeSortOrder, LargeTablesSortQuickly)
{
    // Many equal travel times between distinct ones: the run of zeros turns
    // at every larger key, which the literal sort would take minutes over.
    std::vector<float> keys;
    for (int i = 0; i < 200000; ++i) keys.push_back(i % 3 == 0 ? 0.0f : static_cast<float>(i % 977));
    const auto order = exchange_sort_order(keys, SortOrder::Descending);
    ASSERT_EQ(order.size(), keys.size());
    for (std::size_t i = 1; i < order.size(); ++i) ASSERT_GE(keys[order[i - 1]], keys[order[i]]);
}

// ---------------------------------------------------------------------------
// The section.

SubareaStatisticsRecord subarea(float number, float area, std::vector<float> tc = {})
{
    SubareaStatisticsRecord record{number, area, {}};
    std::copy(tc.begin(), tc.end(), record.time_of_concentration.begin());
    return record;
}

LinkStatisticsRecord link(float upstream, float downstream, int code, float length, std::vector<float> times = {},
                          std::vector<float> flows = {})
{
    LinkStatisticsRecord record{upstream, downstream, code, length, {}, {}};
    std::copy(times.begin(), times.end(), record.travel_time.begin());
    std::copy(flows.begin(), flows.end(), record.peak_flow.begin());
    return record;
}

std::vector<std::string> section_lines(int model_type, const StatisticsWorkingFiles& tables,
                                       ReturnFrequencyList frequencies = {10.0f, 0, 0, 0, 0, 0})
{
    return written_lines(
        [&](TextWriter& report) { write_statistics_report(report, model_type, "AB", frequencies, tables); });
}

// The outlier part of a statistic block: the lines after the caption up to
// the next empty line.
std::vector<std::string> outliers_after(const std::vector<std::string>& lines, const std::string& caption_line,
                                        int occurrence = 1)
{
    std::vector<std::string> found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != caption_line || --occurrence > 0) continue;
        for (std::size_t j = i + 1; j < lines.size() && !lines[j].empty() && lines[j] != "\f"; ++j)
            found.push_back(lines[j]);
        break;
    }
    return found;
}

TEST(StatisticsSection, HeadingAndSubareaSizes)
{
    StatisticsWorkingFiles tables;
    const float areas[] = {5, 100, 2, 9, 1, 8, 3, 7, 4, 6};
    for (int i = 0; i < 10; ++i) tables.subareas.push_back(subarea(10101.0f + static_cast<float>(i), areas[i]));
    const auto lines = section_lines(7, tables);

    const std::vector<std::string> heading{
        "\f",
        "    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS",
        blanks(32) + "STUDY ID = [AB]",
        "",
        "     1. Subarea SIZE (Acres)",
        "        Total Number of Subareas =   10",
        "        Maximum Value =   100.00",
    };
    ASSERT_GE(lines.size(), heading.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 7), heading);

    const std::vector<std::string> quartile_block{
        "",
        "        25th Percentile =     2.75",
        "        Median (50th Percentile) =     5.50",
        "        75th Percentile =     8.25",
        "        IQR =     8.25 -    2.75 =    5.50",
        "        PROGRAM ASSUMES OUTLIERS ARE OUTSIDE OF INTERVAL",
        "        (median - 1.5*IQR, median + 1.5*IQR)",
        "        = (    -2.750,    13.750)",
        "",
        "        ESTIMATED OUTLIERS ARE:",
        "         SUBAREA ID       ACREAGE",
        blanks(10) + " 10102.0" + blanks(5) + "   100.000",
        "",
    };
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 20, lines.begin() + 33), quartile_block);
    // No initial subareas: 2a has an empty list, 2b nothing at all.
    EXPECT_EQ(lines[33], "     2. Initial Subarea Statistics");
    EXPECT_EQ(lines[35], "        Total Number of Initial Subareas =    0");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "      2b. Time-of-Concentration (minutes) for Storm Event # 1"),
              0);
}

TEST(StatisticsSection, OutliersListedFromLargestAndOnlyFromTheStatisticsOwnRows)
{
    StatisticsWorkingFiles tables;
    // Flowpath lengths of the initial subarea links: eight ordinary ones and
    // two long ones; a conveyance link longer than all is not a flowpath.
    const float lengths[] = {100, 110, 900, 120, 130, 140, 150, 160, 170, 2000};
    for (int i = 0; i < 10; ++i)
        tables.links.push_back(
            link(20001.0f + static_cast<float>(i), 10001.0f + static_cast<float>(i), i % 2 == 0 ? 21 : 22, lengths[i]));
    tables.links.push_back(link(30001.0f, 30002.0f, 41, 50000.0f));
    const auto lines = section_lines(7, tables);

    const auto flowpath = outliers_after(lines, "         SUBAREA ID    Length(feet)");
    EXPECT_EQ(flowpath, (std::vector<std::string>{
                            blanks(10) + " 10010.0" + blanks(5) + "  2000.000",
                            blanks(10) + " 10003.0" + blanks(5) + "   900.000",
                        }));
    // Statistic 4 takes every link: with the conveyance link in the list,
    // median 150 and quartiles 120 and 900 put only 50000 and 2000 outside.
    const auto lengths_of_links = outliers_after(lines, "         U/S Node    D/S Node      Length (feet)");
    EXPECT_EQ(lengths_of_links, (std::vector<std::string>{
                                    blanks(8) + " 30001.0" + blanks(4) + " 30002.0" + blanks(8) + "50000.00",
                                    blanks(8) + " 20010.0" + blanks(4) + " 10010.0" + blanks(8) + " 2000.00",
                                }));
}

// Seven subarea sizes put q1 at the 2nd value, the median at the 4th and q3
// at the 6th: with 4, 5 and 6 the interval is (2, 8), and a size of exactly
// 2 or 8 stays inside it.
TEST(StatisticsSection, ValuesOnTheOutlierBoundsAreNotOutliers)
{
    struct Case {
        std::vector<float> areas;
        std::string interval;
        std::vector<std::string> outliers;
    };
    auto row = [](const std::string& number, const std::string& area) {
        return blanks(10) + number + blanks(5) + area;
    };
    const std::vector<Case> cases{
        {{8, 4, 2, 5, 6, 4, 6}, "        = (     2.000,     8.000)", {"        None"}},
        {{8.5f, 4, 1.5f, 5, 6, 4, 6},
         "        = (     2.000,     8.000)",
         {row(" 10101.0", "     8.500"), row(" 10103.0", "     1.500")}},
        {{7.5f, 7.5f, 7.5f, 7.5f, 7.5f}, "        = (     7.500,     7.500)", {"        None"}},
    };
    for (const Case& c : cases) {
        StatisticsWorkingFiles tables;
        for (std::size_t i = 0; i < c.areas.size(); ++i)
            tables.subareas.push_back(subarea(10101.0f + static_cast<float>(i), c.areas[i]));
        const auto lines = section_lines(7, tables);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), c.interval), 1) << c.areas.size() << " sizes";
        EXPECT_EQ(outliers_after(lines, "         SUBAREA ID       ACREAGE"), c.outliers) << c.areas.size() << " sizes";
    }
}

TEST(StatisticsSection, StormEventsOfTimesOfConcentrationAndTravelTimes)
{
    StatisticsWorkingFiles tables;
    // The first timed subarea has two events, so 2b runs for events 1 and 2.
    tables.subareas = {subarea(10101, 3), subarea(10102, 4, {12, 15}), subarea(10103, 5, {8, 9, 10})};
    // Travel times: an initial link does not count toward the events; the
    // first conveyance link with times has three; a missing time counts 0.
    tables.links = {link(20001, 10101, 21, 300, {5, 5, 5, 5}), link(10101, 10102, 31, 400),
                    link(10102, 10103, 41, 500, {2, 3, 4}), link(10103, 10104, 41, 600, {1})};
    const auto lines = section_lines(7, tables);

    auto count = [&](const std::string& line) { return std::count(lines.begin(), lines.end(), line); };
    EXPECT_EQ(count("      2b. Time-of-Concentration (minutes) for Storm Event # 1"), 1);
    EXPECT_EQ(count("      2b. Time-of-Concentration (minutes) for Storm Event # 2"), 1);
    EXPECT_EQ(count("      2b. Time-of-Concentration (minutes) for Storm Event # 3"), 0);
    EXPECT_EQ(count("     3. Link Travel Times (minutes) for Storm Event # 3"), 1);
    EXPECT_EQ(count("     3. Link Travel Times (minutes) for Storm Event # 4"), 0);
    EXPECT_EQ(count("        Total Number of Initial Subareas =    2"), 1);

    // Event 2 of the travel times: three conveyance links, 0, 3 and 0.
    const auto event_2 = lines_between(lines, "     3. Link Travel Times (minutes) for Storm Event # 2",
                                       "     3. Link Travel Times (minutes) for Storm Event # 3");
    ASSERT_GE(event_2.size(), 3u);
    EXPECT_EQ(event_2[1], "        Maximum Value =     3.00");
    EXPECT_EQ(event_2[2], "        Minimum Value =     0.00");
    EXPECT_EQ(event_2[5], interval_line("   -0.01", "    0.30", "   2", " 66.67"));
}

TEST(StatisticsSection, NothingTimedWritesNeitherTcNorTravelTimeStatistics)
{
    StatisticsWorkingFiles tables;
    tables.subareas = {subarea(10101, 3), subarea(10102, 4)};
    tables.links = {link(10101, 10102, 31, 400), link(20001, 10101, 21, 300, {4})};
    const auto lines = section_lines(7, tables);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("2b. Time-of-Concentration"), std::string::npos);
        EXPECT_EQ(line.find("3. Link Travel Times"), std::string::npos);
        EXPECT_EQ(line.find("3. LINK Travel Times"), std::string::npos);
    }
}

TEST(StatisticsSection, LosAngelesCountyStudyLeavesInitialAreasAndTravelTimesOut)
{
    StatisticsWorkingFiles tables;
    tables.subareas = {subarea(10101, 3, {10}), subarea(10102, 4, {12})};
    tables.links = {link(10101, 10102, 31, 400), link(20001, 10101, 21, 300)};
    const auto lines = section_lines(6, tables);

    const auto initial = lines_between(lines, "     2. Initial Subarea Statistics",
                                       "      2b. Time-of-Concentration (minutes) for Storm Event # 1");
    EXPECT_EQ(initial, (std::vector<std::string>{"     2. Initial Subarea Statistics", "      2a. Area (Acres)",
                                                 "        Statistics NOT estimated! ", ""}));
    const auto travel = lines_between(lines, "     3. LINK Travel Times (minutes)", "     4. Link Lengths (feet)");
    EXPECT_EQ(travel, (std::vector<std::string>{"     3. LINK Travel Times (minutes)",
                                                "        Statistics NOT estimated! ", ""}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "      2c. Flowpath Length (feet)"), 1);
}

TEST(StatisticsSection, PeakFlowRatiosAndNodeRatiosPerStormEvent)
{
    StatisticsWorkingFiles tables;
    tables.links = {link(10101, 10102, 41, 400, {}, {10, 20}), link(10102, 10103, 41, 400, {}, {30, 40}),
                    link(10103, 10104, 41, 400, {}, {5, 0})};
    tables.nodes = {{10102, {0.5f, 0.75f}}, {10103, {1.25f, 1.5f}}};

    const auto two_events = section_lines(7, tables, {10, 100, 0, 0, 0, 0});
    auto count = [](const std::vector<std::string>& lines, const std::string& line) {
        return std::count(lines.begin(), lines.end(), line);
    };
    EXPECT_EQ(count(two_events, "        T1 =  10. Year; T2 = 100. Year"), 1);
    EXPECT_EQ(count(two_events, "         U/S Node    D/S Node      T1/T2"), 1);
    EXPECT_EQ(count(two_events, "        Design Storm Event # 1, return frequency =   10. years."), 1);
    EXPECT_EQ(count(two_events, "        Design Storm Event # 2, return frequency =  100. years."), 1);
    EXPECT_EQ(count(two_events, "         Subarea Number    Ratio"), 2);
    // The link without an event-2 flow is no part of the ratios: 0.5 and 0.75.
    const auto ratios = lines_between(two_events, "        T1 =  10. Year; T2 = 100. Year",
                                      "     6. Flowrate vs. Total Tributary Area Ratios:");
    ASSERT_GE(ratios.size(), 3u);
    EXPECT_EQ(ratios[1], "        Maximum Value =     0.75");
    EXPECT_EQ(ratios[2], "        Minimum Value =     0.50");

    const auto one_event = section_lines(7, tables, {10, 0, 25, 0, 0, 0});
    const auto statistic_5 = lines_between(
        one_event, "     5. Ratios of Computed Peak Flow:", "     6. Flowrate vs. Total Tributary Area Ratios:");
    EXPECT_EQ(statistic_5, (std::vector<std::string>{"     5. Ratios of Computed Peak Flow:", "",
                                                     "        This Study Has Only ONE Storm Event!", ""}));
    // Statistic 6 skips the missing event 2 and goes on to event 3.
    EXPECT_EQ(count(one_event, "        Design Storm Event # 3, return frequency =   25. years."), 1);
    EXPECT_EQ(count(one_event, "        Design Storm Event # 2, return frequency =    0. years."), 0);

    // Statistic 5 ends at the first missing event.
    const auto gap = section_lines(7, tables, {10, 100, 0, 25, 0, 0});
    EXPECT_EQ(count(gap, "        T1 =  10. Year; T4 =  25. Year"), 0);
}

// An empty study still gets every block, with zeros and "None", and never a
// field of asterisks, NaN or Inf.
TEST(StatisticsSection, EmptyTablesWriteZerosAndNone)
{
    const auto lines = section_lines(7, {}, {10, 100, 0, 0, 0, 0});
    int none = 0;
    for (const std::string& line : lines) {
        if (line.find('*') != std::string::npos) {
            EXPECT_TRUE(line == "        (median - 1.5*IQR, median + 1.5*IQR)" || line == blanks(28) + "** None **")
                << line;
        }
        EXPECT_EQ(line.find("NaN"), std::string::npos) << line;
        EXPECT_EQ(line.find("Inf"), std::string::npos) << line;
        if (line == "        None") ++none;
    }
    // Statistics 1, 2a, 2c, 4, 5 (event 2), 6 (events 1 and 2), and checks
    // 1, 2a and 2b of the health check.
    EXPECT_EQ(none, 10);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "        Total Number of Subareas =    0"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "        = (     0.000,     0.000)"), 7);
}

// Every field keeps its width, so that each line keeps its columns for the
// report comparison: a number too wide is the field's run of asterisks.
TEST(StatisticsSection, NumbersTooWideForTheirFieldsKeepTheFieldWidth)
{
    StatisticsWorkingFiles tables;
    for (int i = 0; i < 10001; ++i) tables.subareas.push_back(subarea(10101.0f + static_cast<float>(i % 90), 2.0f));
    tables.subareas[5].area = 123456.78f;
    const auto lines = section_lines(7, tables);
    EXPECT_EQ(lines[5], "        Total Number of Subareas = ****");
    EXPECT_EQ(lines[6], "        Maximum Value = ********");
    EXPECT_EQ(lines[7], "        Minimum Value =     2.00");
    EXPECT_EQ(lines[10], "        (    1.99,12347.48]        ****              99.99%");
}

TEST(StatisticsSection, ReportFieldsKeepTheirWidths)
{
    struct Case {
        std::string_view layout;
        std::vector<FormatValue> values;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"(8X,'T1 = ',F4.0,' Year; T',I1,' = ',F4.0,' Year')",
         {1000.0f, 2, 10.0f},
         "        T1 = **** Year; T2 =  10. Year"},
        {"(8X,'Maximum Value = ',F8.2)", {100000.0f}, "        Maximum Value = ********"},
        {"(8X,'Maximum Value = ',F8.2)", {99999.99f}, "        Maximum Value = 99999.99"},
        {"(2X,F6.2,2X,F6.2)", {2000.0f, 1.0f}, "  ******    1.00"},
    };
    for (const Case& c : cases) {
        const auto lines = written_lines([&](TextWriter& report) { write_report_records(report, c.layout, c.values); });
        ASSERT_EQ(lines.size(), 1u) << c.layout;
        EXPECT_EQ(lines[0], c.expected) << c.layout;
    }
}

TEST(StatisticsSection, NoLineAfterTheHeadingLooksLikeARule)
{
    StatisticsWorkingFiles tables;
    tables.subareas = {subarea(10101, 3, {10}), subarea(10102, 400, {12})};
    tables.links = {link(10101, 10102, 31, 400, {1}, {10, 20}), link(20001, 10101, 21, 300)};
    tables.nodes = {{10102, {0.5f, 0.75f}}};
    tables.results = {{10101, 10102, 41, 0, 10, 20, 15}};
    const auto lines = section_lines(7, tables, {10, 100, 0, 0, 0, 0});
    EXPECT_EQ(lines[1], "    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS");
    for (const std::string& line : lines) EXPECT_NE(line.substr(0, 10), " *--------");
}

}  // namespace
}  // namespace velm
