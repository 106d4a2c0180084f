// The statistics extraction: storm events of the first map, the four
// extractors over a map's files, and the step that walks the model list.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "diagnostics/statistics.h"
#include "diagnostics/statistics_extraction.h"
#include "platform/files.h"
#include "records/format.h"
#include "statistics_test_support.h"
#include "support/session_test.h"

namespace velm {
namespace {

using test::statistics_link;
using test::statistics_node;
using test::statistics_subarea;

using StatisticsExtraction = test::SessionTest;

TEST(SubareaNodeRule, TenthsOfHeaderValue4InSinglePrecision)
{
    struct Case {
        float value;
        int rule;
    };
    const std::vector<Case> cases{
        {1.2f, 2},  // 1.20000005: tenths 2.0000005
        {5.2f, 1},  // 5.19999981: tenths 1.9999981
        {2.1f, 1},  // 2.0999999: tenths 0.999999, and 0 reads as 1
        {3.0f, 1},
        {0.0f, 1},
        {6.25f, 2},
        {-1.2f, -2},  // matches no subarea
        // A damaged header: no rule, and no conversion of a NaN to an integer.
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {std::numeric_limits<float>::infinity(), 0},
        {-std::numeric_limits<float>::infinity(), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(subarea_node_rule_of(c.value), c.rule) << c.value;
}

TEST_F(StatisticsExtraction, StormEventsOfTheFirstMapsModelFiles)
{
    test::write_model_file_header("AB0101ZZ.Z11", 7, 5.2f, -10.0f);
    test::write_model_file_header("AB0101ZZ.Z12", 7, 1.2f, 100.0f);
    test::write_model_file_header("AB0101ZZ.Z14", 7, 5.1f, 25.0f);
    const StormEventSettings settings = read_storm_event_settings(session_, make_model_list_entry("AB0101ZZ.Z11"));
    EXPECT_EQ(settings.return_frequencies, (ReturnFrequencyList{10.0f, 100.0f, 0.0f, 25.0f, 0.0f, 0.0f}));
    EXPECT_EQ(settings.subarea_node_rule, 1);  // from event 4, the highest file there is

    const StormEventSettings none = read_storm_event_settings(session_, make_model_list_entry("AB0202ZZ.Z11"));
    EXPECT_EQ(none.return_frequencies, ReturnFrequencyList{});
    EXPECT_EQ(none.subarea_node_rule, 0);

    RecordFile short_file("AB0303ZZ.Z12", RecordFile::Open::New);
    for (int i = 0; i < 11; ++i) short_file.write_value(1.0f);
    short_file.close_keep();
    try {
        read_storm_event_settings(session_, make_model_list_entry("AB0303ZZ.Z11"));
        ADD_FAILURE() << "a header of eleven values was read";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("AB0303ZZ.Z12"), std::string::npos) << error.what();
    }
}

TEST_F(StatisticsExtraction, LinksKeepTheirFieldsRoundingAndDropInitialTravelTimes)
{
    write_link_data_base("AB0101ZZ.ZLL", {
                                             statistics_link(10501.0f, 10502.0f, 21, 123.45f, {1, 2}, {12.5f, 7}),
                                             statistics_link(10502.0f, 10503.0f, 31, 250.5f, {123456.78f, 0.005f},
                                                             {4.567f, -3.0f, 0.0f, 2.5f}),
                                             statistics_link(10503.0f, 10504.0f, 151, 99.5f),
                                             statistics_link(10601.0f, 10503.0f, 22, 300.0f),
                                         });
    InitialLinkTable initial{{1.0f, 2.0f}};  // left from another map
    std::vector<LinkStatisticsRecord> table;
    extract_link_statistics(session_, "AB0101ZZ", 7, initial, table);

    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0], (LinkStatisticsRecord{10501.0f, 10502.0f, 21, 123.0f, {}, {1, 2, 0, 0, 0, 0}}));
    EXPECT_EQ(table[1], (LinkStatisticsRecord{10502.0f,
                                              10503.0f,
                                              31,
                                              250.0f,  // 250.5 to even
                                              {4.57f, 0, 0, 2.5f, 0, 0},
                                              {123456.78f, 0.0f, 0, 0, 0, 0}}));
    EXPECT_EQ(table[2].process_code, 151);
    EXPECT_EQ(table[2].length, 100.0f);
    EXPECT_EQ(initial.size(), 2u);
    EXPECT_EQ(initial[0].downstream_node, 10502.0f);
    EXPECT_EQ(initial[0].upstream_node, 10501.0f);
    EXPECT_EQ(initial[1].downstream_node, 10503.0f);

    // A Los Angeles County study takes every link as an initial link.
    std::vector<LinkStatisticsRecord> type_6;
    extract_link_statistics(session_, "AB0101ZZ", 6, initial, type_6);
    EXPECT_EQ(initial.size(), 4u);
    for (const LinkStatisticsRecord& link : type_6) EXPECT_EQ(link.travel_time, (std::array<float, 6>{}));
}

TEST_F(StatisticsExtraction, SubareasTakeTheirTimesOnlyAsInitialSubareas)
{
    write_subarea_data_base("AB0105ZZ.ZSS", {
                                                statistics_subarea(10502.0f, {1.004f, 2.003f}, {12.345f, 14.0f}),
                                                statistics_subarea(10503.0f, {4.0f}, {9.0f}),
                                            });
    const InitialLinkTable initial{{10503.0f, 10502.0f}};  // downstream 10503, upstream 10502

    std::vector<SubareaStatisticsRecord> by_upstream;
    extract_subarea_statistics(session_, "AB0105ZZ", 2, initial, by_upstream);
    ASSERT_EQ(by_upstream.size(), 2u);
    EXPECT_EQ(by_upstream[0], (SubareaStatisticsRecord{10502.0f, 3.01f, {12.35f, 14.0f, 0, 0, 0, 0}}));
    EXPECT_EQ(by_upstream[1], (SubareaStatisticsRecord{10503.0f, 4.0f, {}}));

    std::vector<SubareaStatisticsRecord> by_downstream;
    extract_subarea_statistics(session_, "AB0105ZZ", 1, initial, by_downstream);
    EXPECT_EQ(by_downstream[0].time_of_concentration, (std::array<float, 6>{}));
    EXPECT_EQ(by_downstream[1].time_of_concentration, (std::array<float, 6>{9.0f, 0, 0, 0, 0, 0}));

    std::vector<SubareaStatisticsRecord> by_neither;
    extract_subarea_statistics(session_, "AB0105ZZ", 3, initial, by_neither);
    for (const SubareaStatisticsRecord& subarea : by_neither)
        EXPECT_EQ(subarea.time_of_concentration, (std::array<float, 6>{}));
}

TEST_F(StatisticsExtraction, ResultsOfConveyanceCodesOnly)
{
    std::vector<ModelResultsGroup> groups;
    const int codes[] = {21, 30, 31, 71, 72, 73, 81, 151, 152, 153};
    for (int code : codes) groups.push_back({10501.0f, 10502.0f, code, 12.345f, 1.5f, 10.004f, 2.254f});
    write_model_results_file("AB0101ZZ.ZZZ", groups);

    std::vector<ResultStatisticsRecord> table;
    extract_result_statistics(session_, "AB0101ZZ", table);
    std::vector<float> kept;
    for (const ResultStatisticsRecord& row : table) kept.push_back(row.process_code);
    EXPECT_EQ(kept, (std::vector<float>{31, 73, 81, 153}));
    // Values in the order up, down, code, subarea, total, Tc, travel time,
    // each rounded to two decimals.
    EXPECT_EQ(table[0], (ResultStatisticsRecord{10501.0f, 10502.0f, 31.0f, 1.5f, 10.0f, 12.35f, 2.25f}));
}

TEST_F(StatisticsExtraction, NodesWithFlowAndAreaGiveFlowPerAcre)
{
    write_node_data_base("AB0101ZZ.ZNN", {
                                             statistics_node(10501.0f, 4.0f, {10.0f, 12.5f, 1.0f}),
                                             statistics_node(10502.0f, 4.0f, {0.0f, 12.5f}),  // no event-1 flow
                                             statistics_node(10503.0f, 0.0f, {10.0f}),        // no area
                                             statistics_node(10504.0f, 0.003f, {99999.0f}),   // ratio past F8.3
                                         });
    std::vector<NodeStatisticsRecord> table;
    extract_node_statistics(session_, "AB0101ZZ", table);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0], (NodeStatisticsRecord{10501.0f, {2.5f, 3.125f, 0.25f, 0, 0, 0}}));
    EXPECT_EQ(table[1].node_number, 10504.0f);
    // 99999 / 0.003 in single precision is 33333000 (0.003 is 0.0030000000261):
    // kept whole, far past the width of its field.
    EXPECT_EQ(table[1].flow_area_ratio[0], 33333000.0f);
}

TEST(StatisticsRounding, AsTheFieldsRound)
{
    struct Case {
        float value;
        int decimals;
        float rounded;
    };
    const std::vector<Case> cases{
        {123.45f, 0, 123.0f},        {0.855f, 2, 0.86f},   {-0.001f, 2, -0.0f},         {2.5f, 0, 2.0f},
        {1234567.9f, 2, 1234567.9f}, {0.0125f, 3, 0.013f}, {123456.78f, 2, 123456.78f},
    };
    for (const Case& c : cases) EXPECT_EQ(rounded_to_decimals(c.value, c.decimals), c.rounded) << c.value;
    EXPECT_EQ(rounded_to_decimals(std::numeric_limits<float>::quiet_NaN(), 2), 0.0f);
    EXPECT_EQ(rounded_to_decimals(std::numeric_limits<float>::infinity(), 2), std::numeric_limits<float>::max());
    // Over floats of every magnitude and sign, each rounding is the value the
    // field's text reads back as: the text written and read again.
    std::mt19937 rng(1234567);
    std::uniform_int_distribution<std::uint32_t> any_bits;
    std::uniform_int_distribution<int> whole(-99999999, 99999999);
    std::uniform_int_distribution<int> places(0, 7);
    for (int i = 0; i < 200000; ++i) {
        // Random bits half the time, values as data files hold them the rest.
        const float value = i % 2 == 0 ? std::bit_cast<float>(any_bits(rng))
                                       : static_cast<float>(whole(rng)) / std::pow(10.0f, places(rng));
        if (!std::isfinite(value)) continue;
        for (int decimals : {0, 1, 2, 3}) {
            const std::string text = format_fixed(value, 64, decimals);
            const float read = std::strtof(text.c_str(), nullptr);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(rounded_to_decimals(value, decimals)),
                      std::bit_cast<std::uint32_t>(read))
                << text;
        }
    }
}

// ---------------------------------------------------------------------------
// The step over a study.

class StatisticsStep : public StatisticsExtraction {
protected:
    void write_study()
    {
        test::write_statistics_model_list("AB", {"AB0105ZZ", "XY0107ZZ", "AB0106ZZ"});
        test::write_model_file_header("AB0105ZZ.Z11", 7, 1.2f, 10.0f);
        test::write_model_file_header("AB0105ZZ.Z12", 7, 1.2f, 100.0f);
        test::StatisticsMap first{"AB0105ZZ",
                                  {statistics_link(10501.0f, 10502.0f, 21, 400.0f, {5, 8}),
                                   statistics_link(10502.0f, 10503.0f, 41, 350.0f, {12, 20}, {3.5f, 3.0f})},
                                  {statistics_subarea(10501.0f, {2.5f}, {11.0f, 9.0f})},
                                  {statistics_node(10502.0f, 2.5f, {5.0f, 8.0f}), statistics_node(10503.0f, 0, {})},
                                  {{10502.0f, 10503.0f, 41, 14.5f, 0.0f, 2.5f, 3.5f}}};
        test::StatisticsMap second{"AB0106ZZ",
                                   {statistics_link(10601.0f, 10602.0f, 22, 500.0f, {4, 6})},
                                   {statistics_subarea(10601.0f, {1.0f, 1.5f}, {13.0f, 10.0f})},
                                   {},
                                   {{10602.0f, 10503.0f, 82, 30.0f, 20.0f, 40.0f, 4.0f}}};
        first.write();
        second.write();
        write_text_lines("ABTRVLZZ.DIA", {"SECTION I"});
    }
};

TEST_F(StatisticsStep, AppendsBothSectionsForTheMapsOfTheStudy)
{
    write_study();
    run_data_base_statistics(session_, "AB0105ZZ", 7, DataFileTable{});

    const std::vector<std::string> report = read_text_lines("ABTRVLZZ.DIA");
    ASSERT_GE(report.size(), 6u);
    EXPECT_EQ(report[0], "SECTION I");
    EXPECT_EQ(report[1], "\f");
    EXPECT_EQ(report[2], "    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS");
    // Subareas of both study maps; the map of the other study is skipped.
    EXPECT_EQ(report[6], "        Total Number of Subareas =    2");
    auto count = [&](const std::string& line) { return std::count(report.begin(), report.end(), line); };
    EXPECT_EQ(count("        Total Number of Initial Subareas =    2"), 1);
    EXPECT_EQ(count("        T1 =  10. Year; T2 = 100. Year"), 1);
    EXPECT_EQ(count("    II.E. MASTER PLAN OF DRAINAGE HEALTH CHECK"), 1);
    // The code-82 group of the second map: 20 acres added to 20 of mainline.
    const std::string b2(2, ' '), b3(3, ' ');
    EXPECT_EQ(count(std::string(10, ' ') + " 10602.00" + b3 + " 10503.00" + b3 + "     20.00" + b2 + "    20.00" + b2 +
                    "     40.00" + b2 + "  1.00"),
              1);

    EXPECT_EQ(window_.text_at(5, 5, 59), "** PREPARING DATA BASE STATISTICS FOR DIAGNOSTICS REPORT **");
    EXPECT_EQ(window_.text_at(5, 10, 33), " PROCESSING DATA FILE....AB0106ZZ");
    EXPECT_EQ(window_.transcript().find("XY0107ZZ"), std::string::npos);
}

TEST_F(StatisticsStep, MissingFileOfAListedMapNamesIt)
{
    write_study();
    delete_file("AB0106ZZ.ZZZ");
    try {
        run_data_base_statistics(session_, "AB0105ZZ", 7, DataFileTable{});
        ADD_FAILURE() << "the step ran without the results file";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find("AB0106ZZ.ZZZ"), std::string::npos) << error.what();
    }
    // The report is left as it was.
    EXPECT_EQ(read_text_lines("ABTRVLZZ.DIA"), std::vector<std::string>{"SECTION I"});
}

TEST_F(StatisticsStep, StudyWithoutMapsStillWritesTheSections)
{
    test::write_statistics_model_list("AB", {"XY0107ZZ"});
    run_data_base_statistics(session_, "AB0105ZZ", 7, DataFileTable{});
    const std::vector<std::string> report = read_text_lines("ABTRVLZZ.DIA");
    ASSERT_GE(report.size(), 2u);
    EXPECT_EQ(report[1], "    II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS");
    EXPECT_EQ(std::count(report.begin(), report.end(), "        This Study Has Only ONE Storm Event!"), 1);
    EXPECT_EQ(report.back(), std::string(28, ' ') + "** None **");
}

}  // namespace
}  // namespace velm
