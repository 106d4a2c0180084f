// The deficiency pass on links given column by column: the slope and street
// capacities, the friction slope, the element capacity and the totals, the
// deficiencies with their mitigation elements, and the rewrite of a link
// data base.
#include "sizing/deficiency_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/files.h"
#include "sizing/element_hydraulics.h"
#include "sizing/element_sizing.h"
#include "strings/friction_slope_update.h"
#include "support/run_step_test.h"
#include "support/session_test.h"
#include "support/temporary_directory.h"

namespace velm {
namespace {

// A 300-ft, 24-in concrete pipe on a 1 percent slope under a residential
// street, with two storm events.
LinkRecord pipe_link()
{
    LinkRecord link;
    link.upstream_node() = 10105.0f;
    link.downstream_node() = 10104.0f;
    link.upstream_elevation() = 103.0f;
    link.downstream_elevation() = 100.0f;
    link.link_id() = "P-1       ";
    link.process_code() = 2;
    link.link_length() = 300.0f;
    link.curb_height() = 0.5f;
    link.street_half_width() = 20.0f;
    link.gutter_lip() = 0.125f;
    link.gutter_width() = 2.0f;
    link.gutter_hike() = 0.0417f;
    link.crown_to_gradebreak_distance() = 12.0f;
    link.center_lane_crossfall() = 0.02f;
    link.outside_lane_crossfall() = 0.02f;
    link.parkway_crossfall() = 0.02f;
    link.street_side_count() = 2;
    link.street_friction_factor() = 0.015f;
    link.element_type() = static_cast<int>(ElementType::Pipe);
    link.element_height() = 2.0f;
    link.element_base_width() = 1.0f;
    link.element_friction_factor() = 0.013f;
    link.user_capacity() = NO_USER_CAPACITY;
    link.upstream_peak_flow(1) = 10.0f;
    link.upstream_peak_flow(2) = 16.0f;
    link.downstream_peak_flow(1) = 12.0f;
    link.downstream_peak_flow(2) = 18.0f;
    link.link_travel_time(4) = 2.0f;  // the parkway n x 100
    return link;
}

DeficiencySettings topographic_settings()
{
    DeficiencySettings settings;
    settings.friction_slope_model = FrictionSlopeModel::TopographicSlope;
    settings.default_min_friction_slope = 0.002f;
    settings.pipe_capacity_model = PipeCapacityModel::FullFlowCapacity;
    settings.friction_slope_proportion = 1.0f;
    settings.box_channel_flow_rate = SizingFlowRate::DownstreamNodePeak;
    settings.pipe_flow_rate = SizingFlowRate::DownstreamNodePeak;
    settings.model_type_code = 9;
    settings.envelope_manning_n = 0.013f;
    return settings;
}

LinkRecord analyzed(const LinkRecord& link, const DeficiencySettings& settings = topographic_settings(),
                    const DownstreamHglIndex& index = {})
{
    std::vector<LinkRecord> records{link};
    analyze_link_records(records, settings, index);
    return records.front();
}

float full_pipe(float diameter, float slope, float n = 0.013f)
{
    return compute_pipe_full_capacity(CircularPipe{diameter, n}, slope);
}

TEST(DeficiencyPass, PipeWithinItsCapacityIsNotDeficient)
{
    const LinkRecord link = analyzed(pipe_link());
    EXPECT_FLOAT_EQ(link.link_slope(), 0.01f);
    EXPECT_EQ(link.computed_friction_slope(), link.link_slope());
    EXPECT_EQ(link.column(68), link.link_slope());
    EXPECT_EQ(link.column(69), link.link_slope());
    const float capacity = full_pipe(2.0f, link.link_slope());
    EXPECT_EQ(link.existing_element_capacity(), capacity);
    EXPECT_EQ(link.computed_capacity(), capacity);
    // No street flow at these depths: the element alone.
    EXPECT_EQ(link.total_capacity(1), capacity);
    EXPECT_EQ(link.total_capacity(2), capacity);
    EXPECT_EQ(link.max_deficiency(), 0.0f);
    EXPECT_EQ(link.max_deficiency_event(), 0);
    EXPECT_EQ(link.deficiency_flag(), 0.0f);
    EXPECT_EQ(link.required_element_height(), 0.0f);
    EXPECT_EQ(link.parallel_element_height(), 0.0f);
    EXPECT_EQ(link.parallel_element_friction_factor(), 0.013f);  // the envelope n of the reset
    EXPECT_EQ(link.column(109), 0.013f);
}

TEST(DeficiencyPass, DeficientPipeGetsAParallelAndARecommendedPipe)
{
    LinkRecord given = pipe_link();
    given.downstream_peak_flow(1) = 35.0f;
    given.downstream_peak_flow(2) = 60.0f;
    const LinkRecord link = analyzed(given);
    const float capacity = full_pipe(2.0f, 0.01f);
    EXPECT_FLOAT_EQ(link.event_deficiency(1), 35.0f - capacity);
    EXPECT_FLOAT_EQ(link.event_deficiency(2), 60.0f - capacity);
    EXPECT_EQ(link.max_deficiency(), link.event_deficiency(2));
    EXPECT_EQ(link.max_deficiency_event(), 2);
    EXPECT_EQ(link.deficiency_flag(), 1.0f);

    float slope = 0.01f;
    EXPECT_EQ(link.parallel_element_height(), size_circular_pipe(slope, link.max_deficiency(), 0.013f));
    EXPECT_EQ(link.parallel_element_friction_factor(), 0.013f);
    EXPECT_EQ(link.required_element_height(), size_circular_pipe(slope, 60.0f, 0.013f));
    EXPECT_EQ(link.required_element_friction_factor(), 0.013f);
    EXPECT_EQ(link.required_element_flow(), 60.0f);
    EXPECT_EQ(link.recommended_element_type(), 1.0f);
}

TEST(DeficiencyPass, FirstRecordDecidesTheStormEvents)
{
    LinkRecord first = pipe_link();
    for (int i = 1; i <= STORM_EVENTS; ++i) first.downstream_peak_flow(i) = 0.0f;
    first.event_deficiency(1) = 5.0f;
    LinkRecord second = pipe_link();
    second.downstream_peak_flow(1) = 500.0f;
    second.street_flow_depth(1) = 0.4f;
    second.event_deficiency(1) = 7.0f;
    second.total_capacity(1) = 3.0f;
    second.street_capacity(1) = 4.0f;
    std::vector<LinkRecord> records{first, second};
    analyze_link_records(records, topographic_settings(), {});
    EXPECT_EQ(records[0].event_deficiency(1), 0.0f);  // the first record's are cleared
    EXPECT_EQ(records[1].event_deficiency(1), 7.0f);  // no events: nothing computed
    EXPECT_EQ(records[1].total_capacity(1), 3.0f);
    EXPECT_EQ(records[1].street_capacity(1), 4.0f);
    EXPECT_EQ(records[1].max_deficiency(), 0.0f);
}

TEST(DeficiencyPass, InitialSubareasKeepTheirSlope)
{
    LinkRecord given = pipe_link();
    given.process_code() = 21;
    given.link_slope() = 0.0345f;
    given.max_deficiency() = 12.0f;
    given.required_element_height() = 3.0f;
    given.column(170) = 9.0f;
    const LinkRecord link = analyzed(given);
    EXPECT_EQ(link.link_slope(), 0.0345f);
    EXPECT_EQ(link.max_deficiency(), 0.0f);
    EXPECT_EQ(link.required_element_height(), 0.0f);
    EXPECT_EQ(link.column(170), 0.0f);
    EXPECT_EQ(link.cost_opinion_status(), 0.0f);  // the pending mark resolved
}

TEST(DeficiencyPass, LowAndAdverseSlopesUnderTheLowSlopeFlag)
{
    struct Case {
        float drop;  // ft over 100 ft
        int flag_mode;
        float depth;  // ft, event 1
        float slope;
        bool street_capacity;
    };
    for (const Case c : {Case{-0.01f, 1, 0.3f, 0.002f, true}, Case{-0.01f, 0, 0.3f, -0.0001f, false},
                         Case{-1.0f, 1, 0.3f, -0.01f, false}, Case{-1.0f, 0, 0.3f, -0.01f, false},
                         Case{0.1f, 0, 0.1f, 0.001f, false}, Case{0.1f, 0, 0.3f, 0.002f, true}}) {
        LinkRecord given = pipe_link();
        given.link_length() = 100.0f;
        given.upstream_elevation() = 100.0f + c.drop;
        given.street_flow_depth(1) = c.depth;
        given.street_capacity(1) = 0.0f;
        DeficiencySettings settings = topographic_settings();
        settings.low_slope_flag_mode = c.flag_mode;
        const LinkRecord link = analyzed(given, settings);
        EXPECT_NEAR(link.link_slope(), c.slope, 1.0e-6f) << c.drop << " ft, mode " << c.flag_mode;
        EXPECT_EQ(link.street_capacity(1) > 0.0f, c.street_capacity) << c.drop << " ft, mode " << c.flag_mode;
        // The friction slope of the topographic model is raised to the
        // minimum whatever the link slope.
        EXPECT_EQ(link.computed_friction_slope(), std::max(link.link_slope(), 0.002f));
    }
}

TEST(DeficiencyPass, StreetCapacityJoinsTheElementAtDeepEvents)
{
    LinkRecord given = pipe_link();
    given.street_flow_depth(1) = 0.1f;  // at or below 0.17 ft: kept as read
    given.street_capacity(1) = 1.5f;
    given.street_flow_depth(2) = 0.45f;
    given.street_friction_factor() = 0.0f;
    given.link_travel_time(4) = 0.0f;
    const LinkRecord link = analyzed(given);
    EXPECT_EQ(link.street_capacity(1), 1.5f);
    EXPECT_EQ(link.street_friction_factor(), 0.015f);  // repaired and written back
    // The street as given, with the parkway n of 0.02 that replaces an unset one.
    StreetSection street = street_section_of(given, 0.02f);
    street.manning_n = 0.015f;
    const float capacity = compute_street_capacity(street, link.link_slope(), 0.45f);
    EXPECT_EQ(link.street_capacity(2), capacity);
    EXPECT_EQ(link.total_capacity(2), link.computed_capacity() + capacity);
    EXPECT_EQ(link.total_capacity(1), link.computed_capacity() + 1.5f);
    EXPECT_EQ(link.link_travel_time(4), 0.0f);  // the parkway n is repaired for the pass only
}

TEST(DeficiencyPass, BarrelsAndTheNormalDepthModel)
{
    LinkRecord given = pipe_link();
    given.element_base_width() = 2.0f;
    const float one = full_pipe(2.0f, 0.01f);
    EXPECT_EQ(analyzed(given).computed_capacity(), one * 2.0f);
    DeficiencySettings settings = topographic_settings();
    settings.pipe_capacity_model = PipeCapacityModel::NormalDepthCapacity;
    EXPECT_EQ(analyzed(given, settings).computed_capacity(), one * 2.0f * 1.076f);
}

TEST(DeficiencyPass, CapacityUsedFollowsTheUserCapacity)
{
    struct Case {
        int element_type;
        float user_capacity;
        float existing;  // column 73 as read
        bool uses_computed;
        float used;
    };
    for (const Case c :
         {Case{1, 0.0f, 0.0f, false, 0.0f}, Case{1, -1.0f, 0.0f, true, 0.0f}, Case{1, 12.5f, 0.0f, false, 12.5f},
          Case{1, -3.0f, 0.0f, false, 0.0f}, Case{0, 0.0f, 8.0f, false, 8.0f}, Case{0, -1.0f, -2.0f, false, 0.0f}}) {
        LinkRecord given = pipe_link();
        given.element_type() = c.element_type;
        given.user_capacity() = c.user_capacity;
        given.existing_element_capacity() = c.existing;
        const LinkRecord link = analyzed(given);
        const float used = c.uses_computed ? link.computed_capacity() : c.used;
        EXPECT_EQ(link.total_capacity(1), used) << "type " << c.element_type << ", column 75 " << c.user_capacity;
    }
}

// Columns 73, 74 and the totals of all six storm events (78 to 83) are
// capped, the last event's as every other, and whether the pass computed a
// total or read it.
TEST(DeficiencyPass, CapacitiesAreCappedAt99999)
{
    struct Case {
        int storm_events;
        float last_total_as_read;   // column 83
        std::vector<float> totals;  // events 1 to 6 after the pass
    };
    constexpr float CAP = CAPACITY_CAP;
    const Case cases[] = {
        {2, 0.0f, {CAP, CAP, 0.0f, 0.0f, 0.0f, 0.0f}},
        {2, 150000.0f, {CAP, CAP, 0.0f, 0.0f, 0.0f, CAP}},
        {6, 0.0f, {CAP, CAP, CAP, CAP, CAP, CAP}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.storm_events << " storm events, column 83 read as "
                                        << c.last_total_as_read);
        LinkRecord given = pipe_link();
        given.element_height() = 60.0f;  // far beyond any flow
        for (int event = 3; event <= c.storm_events; ++event) {
            given.upstream_peak_flow(event) = 16.0f + static_cast<float>(event);
            given.downstream_peak_flow(event) = 18.0f + static_cast<float>(event);
        }
        given.total_capacity(STORM_EVENTS) = c.last_total_as_read;
        const LinkRecord link = analyzed(given);
        EXPECT_GT(full_pipe(60.0f, link.link_slope()), CAPACITY_CAP) << "the element must carry more than the cap";
        EXPECT_EQ(link.existing_element_capacity(), CAPACITY_CAP);
        EXPECT_EQ(link.computed_capacity(), CAPACITY_CAP);
        for (int event = 1; event <= STORM_EVENTS; ++event)
            EXPECT_EQ(link.total_capacity(event), c.totals[static_cast<std::size_t>(event - 1)]) << "event " << event;
    }
}

TEST(DeficiencyPass, ProcessCodeAndSideSlopeAreWrittenAsRead)
{
    LinkRecord given = pipe_link();
    given.process_code() = 92;
    given.element_side_slope() = 1.5f;
    given.downstream_peak_flow(1) = 90.0f;
    const LinkRecord link = analyzed(given);
    EXPECT_EQ(link.process_code(), 92);
    EXPECT_EQ(link.element_side_slope(), 1.5f);
}

TEST(DeficiencyPass, LinkWithoutLengthKeepsItsSlopeAndGradient)
{
    LinkRecord given = pipe_link();
    given.link_length() = 0.0f;
    given.link_slope() = 0.004f;
    given.balanced_hgl_friction_slope() = 0.003f;
    given.hgl_excess_gradient() = 0.25f;
    BalancedHglResultTable table;
    table.results.push_back({10105.0f, 10104.0f, 0.003f, 104.0f, 105.0f});
    const LinkRecord link = analyzed(given, topographic_settings(), DownstreamHglIndex(table));
    EXPECT_EQ(link.link_slope(), 0.004f);
    EXPECT_EQ(link.hgl_excess_gradient(), 0.25f);
}

TEST(DeficiencyPass, HglGradientTakesTheLastResultOfThePair)
{
    LinkRecord given = pipe_link();
    given.balanced_hgl_friction_slope() = 0.003f;
    given.column(125) = 99.0f;
    BalancedHglResultTable table;
    table.results.push_back({10105.0f, 10104.0f, 0.003f, 104.0f, 105.0f});
    table.results.push_back({10106.0f, 10104.0f, 0.003f, 110.0f, 111.0f});
    table.results.push_back({10105.0f, 10104.0f, 0.003f, 107.0f, 108.0f});
    const LinkRecord link = analyzed(given, topographic_settings(), DownstreamHglIndex(table));
    EXPECT_FLOAT_EQ(link.hgl_excess_gradient(), (107.0f - 99.0f - 2.0f) / 300.0f);

    LinkRecord channel = given;
    channel.element_type() = static_cast<int>(ElementType::Channel);
    channel.hgl_excess_gradient() = 0.5f;
    EXPECT_EQ(analyzed(channel, topographic_settings(), DownstreamHglIndex(table)).hgl_excess_gradient(), 0.5f);
}

TEST(DeficiencyPass, FrictionSlopeOfTheBalancedModels)
{
    LinkRecord given = pipe_link();
    given.balanced_hgl_friction_slope() = 0.004f;
    given.specified_friction_slope() = 0.006f;
    given.user_friction_slope() = 0.008f;
    DeficiencySettings settings = topographic_settings();
    settings.friction_slope_proportion = 0.85f;
    settings.friction_slope_model = FrictionSlopeModel::BalancedHglSlope;
    LinkRecord link = analyzed(given, settings);
    EXPECT_EQ(link.computed_friction_slope(), 0.004f);
    EXPECT_EQ(link.column(68), 0.004f * 0.85f);
    EXPECT_EQ(link.column(70), 0.008f);
    // The user's slope gives the element capacity.
    EXPECT_EQ(link.computed_capacity(), full_pipe(2.0f, 0.008f));

    settings.friction_slope_model = FrictionSlopeModel::BalancedHglWithUserSlopes;
    link = analyzed(given, settings);
    EXPECT_EQ(link.computed_friction_slope(), 0.006f);

    // A channel code uses its slope unproportioned.
    given.process_code() = 52;
    link = analyzed(given, settings);
    EXPECT_EQ(link.column(69), 0.006f);
}

TEST(DeficiencyPass, StandardConduitOutsideTheTablesKeepsItsCapacity)
{
    LinkRecord given = pipe_link();
    given.process_code() = 47;
    given.element_friction_factor() = 0.014f;
    given.existing_element_capacity() = 44.0f;
    given.computed_capacity() = 44.0f;
    EXPECT_EQ(analyzed(given).computed_capacity(), 30.0f);  // the 2-ft row
    given.element_height() = 16.0f;
    const LinkRecord outside = analyzed(given);
    EXPECT_EQ(outside.existing_element_capacity(), 44.0f);
    EXPECT_EQ(outside.computed_capacity(), 44.0f);
}

// A code-92 section: V 4 ft wide and 0.5 ft deep under walls of 1 ft, banks
// rising 1 in 4.
LinkRecord vee_link()
{
    LinkRecord link = pipe_link();
    link.process_code() = 92;
    link.element_type() = static_cast<int>(ElementType::NoElement);
    link.gutter_width() = 4.0f;
    link.gutter_hike() = 0.5f;
    link.gutter_lip() = 1.0f;
    link.center_lane_crossfall() = 0.25f;
    link.street_friction_factor() = 0.0f;
    link.street_flow_depth(1) = 2.0f;
    link.street_flow_depth(2) = 0.0f;
    return link;
}

TEST(DeficiencyPass, CodeNinetyTwoUsesThisRecordsFrictionSlope)
{
    // The record before leaves a steep friction slope behind.
    LinkRecord steep = pipe_link();
    steep.upstream_elevation() = 130.0f;
    LinkRecord vee = vee_link();
    std::vector<LinkRecord> records{steep, vee};
    analyze_link_records(records, topographic_settings(), {});
    const LinkRecord& link = records[1];
    VeeSection section{4.0f, 0.5f, 1.0f, 0.25f, 0.015f};
    float slope = 0.01f;
    EXPECT_EQ(link.street_capacity(1), compute_vee_section_capacity(section, slope, 2.0f));
    EXPECT_EQ(link.street_capacity(2), 0.0f);  // a dry event carries nothing
    EXPECT_EQ(link.street_friction_factor(), 0.015f);
    EXPECT_EQ(link.computed_capacity(), 0.0f);
}

TEST(DeficiencyPass, CodeNinetyTwoIsSizedAsAPipe)
{
    LinkRecord given = vee_link();
    given.downstream_peak_flow(1) = 500.0f;
    const LinkRecord link = analyzed(given);
    EXPECT_GT(link.max_deficiency(), 0.0f);
    EXPECT_GT(link.parallel_element_height(), 0.0f);
    EXPECT_EQ(link.recommended_element_type(), 1.0f);
    EXPECT_GT(link.required_element_height(), 0.0f);
}

TEST(DeficiencyPass, CostOpinionStatus)
{
    struct Case {
        int process_code;
        float status;           // column 100 as read
        float previous;         // column 90 as read
        float downstream_flow;  // event 2
        float result;
    };
    for (const Case c :
         {Case{2, 0.0f, 5.0f, 18.0f, 0.0f}, Case{2, 2.0f, 5.0f, 90.0f, 2.0f}, Case{41, 0.0f, 5.0f, 90.0f, 0.0f},
          Case{41, 0.0f, 0.0f, 90.0f, 1.0f}, Case{41, 2.0f, 0.0f, 90.0f, 1.0f}, Case{41, 2.0f, 0.0f, 18.0f, 2.0f}}) {
        LinkRecord given = pipe_link();
        given.process_code() = c.process_code;
        given.cost_opinion_status() = c.status;
        given.max_deficiency() = c.previous;
        given.downstream_peak_flow(2) = c.downstream_flow;
        EXPECT_EQ(analyzed(given).cost_opinion_status(), c.result)
            << "code " << c.process_code << ", status " << c.status << ", previous " << c.previous;
    }
}

TEST(DeficiencyPass, StreetFlowMeansJudgedByDownstreamFlows)
{
    LinkRecord given = pipe_link();
    given.upstream_peak_flow(2) = 200.0f;
    given.downstream_peak_flow(2) = 40.0f;
    DeficiencySettings settings = topographic_settings();
    settings.pipe_flow_rate = SizingFlowRate::UpstreamNodePeak;
    // Without street flow the upstream peak decides.
    EXPECT_GT(analyzed(given, settings).max_deficiency(), 100.0f);
    // With street capacity at an event, the downstream peaks.
    given.street_flow_depth(1) = 0.3f;
    const LinkRecord link = analyzed(given, settings);
    EXPECT_FLOAT_EQ(link.event_deficiency(2), std::max(0.0f, 40.0f - link.total_capacity(2)));
}

TEST(DeficiencyPass, NormalDepthModelSizesTheParallelPipeForLessFlow)
{
    LinkRecord given = pipe_link();
    given.element_type() = static_cast<int>(ElementType::NoElement);
    given.downstream_peak_flow(2) = 107.6f;
    DeficiencySettings settings = topographic_settings();
    settings.pipe_capacity_model = PipeCapacityModel::NormalDepthCapacity;
    const LinkRecord link = analyzed(given, settings);
    EXPECT_EQ(link.max_deficiency(), 107.6f);
    float slope = 0.01f;
    EXPECT_EQ(link.parallel_element_height(), size_circular_pipe(slope, 107.6f / 1.076f, 0.013f));
    EXPECT_EQ(link.required_element_flow(), 107.6f);
}

TEST(DeficiencyPass, PipeDesignatedAsAChannel)
{
    LinkRecord given = pipe_link();
    given.process_code() = 31;
    given.downstream_peak_flow(2) = 150.0f;
    given.element_side_slope() = 0.7f;
    given.designated_element_type() = 3.0f;
    given.designated_friction_hundredths() = 2.5f;
    given.designated_sizing_dimension() = 2.0f;
    given.designated_dimension_value() = 3.0f;
    given.designated_side_slope() = 2.0f;
    given.designated_freeboard() = 1.0f;
    DeficiencySettings settings = topographic_settings();
    settings.sizing_increment = SizingIncrement::HalfFootIncrement;
    const LinkRecord link = analyzed(given, settings);
    EXPECT_EQ(link.recommended_element_type(), 3.0f);
    EXPECT_EQ(link.required_element_height(), 4.0f);  // 3.0 flow depth + 1.0 freeboard
    const TrapezoidSize channel =
        size_trapezoid(0.01f, 150.0f, 2.0f, 1.0f, 0.025f, 0, 3.0f, SizingIncrement::HalfFootIncrement);
    EXPECT_EQ(link.required_element_base_width(), channel.depth_result);
    EXPECT_EQ(link.required_element_side_slope(), 2.0f);
    EXPECT_EQ(link.required_element_friction_factor(), 0.025f);
    EXPECT_EQ(link.required_element_freeboard(), 1.0f);
    EXPECT_EQ(link.channel_freeboard(), 1.0f);
    EXPECT_EQ(link.element_side_slope(), 0.7f);
    EXPECT_EQ(link.required_element_flow(), 150.0f);
}

TEST(DeficiencyPass, BoxDesignatedByItsWidthRatio)
{
    LinkRecord given = pipe_link();
    given.downstream_peak_flow(2) = 150.0f;
    given.designated_element_type() = 2.0f;
    given.designated_friction_hundredths() = 1.5f;
    given.designated_sizing_dimension() = 3.0f;
    given.designated_dimension_value() = 2.0f;
    const LinkRecord link = analyzed(given);
    EXPECT_EQ(link.recommended_element_type(), 2.0f);
    EXPECT_FLOAT_EQ(link.required_element_base_width(), 2.0f * link.required_element_height());
    EXPECT_EQ(link.required_element_friction_factor(), 0.015f);
}

TEST(DeficiencyPass, AsBuiltBoxGetsABoxWhateverTheDesignation)
{
    // Whatever the user designated, an as-built box is replaced by a box of
    // the given first dimension: the height of column 23 under a pipe
    // designation, the designated value under a box or channel one.
    struct Case {
        const char* designation;
        float type;       // column 141
        float dimension;  // column 143
        float value;      // column 144
        float given;      // the box's given height
        float n;          // the new box's Manning n
    };
    for (const Case c : {Case{"pipe", 1.0f, 0.0f, 0.0f, 3.0f, 0.013f},
                         Case{"box solved for its height", 2.0f, 1.0f, 5.0f, 5.0f, 0.013f},
                         Case{"channel solved for its depth", 3.0f, 1.0f, 5.0f, 5.0f, 0.013f},
                         Case{"channel without its n", 3.0f, 1.0f, 5.0f, 5.0f, 0.0f}}) {
        LinkRecord given = pipe_link();
        given.element_type() = static_cast<int>(ElementType::Box);
        given.element_height() = 3.0f;
        given.element_base_width() = 2.0f;
        given.element_friction_factor() = 0.015f;
        given.downstream_peak_flow(2) = 300.0f;
        given.designated_element_type() = c.type;
        given.designated_friction_hundredths() = c.n * 100.0f;
        given.designated_sizing_dimension() = c.dimension;
        given.designated_dimension_value() = c.value;
        given.designated_side_slope() = 2.0f;
        given.designated_freeboard() = 1.0f;
        const LinkRecord link = analyzed(given);
        SCOPED_TRACE(c.designation);
        EXPECT_EQ(link.recommended_element_type(), 2.0f);
        EXPECT_EQ(link.required_element_height(), c.given);
        // A designated n of 0 gives the as-built element's.
        const float n = c.n > 0.0f ? c.n : 0.015f;
        const BoxSize box = size_box(300.0f, 0.01f, c.given, n, 1, SizingIncrement::NoIncrement);
        EXPECT_EQ(link.required_element_base_width(), box.second);
        EXPECT_EQ(link.required_element_friction_factor(), n);
        EXPECT_EQ(link.required_element_side_slope(), 0.0f);
        EXPECT_EQ(link.required_element_freeboard(), 0.0f);
    }
}

TEST(DeficiencyPass, UndesignatedBoxesAndChannelsTakeTheirModeFromTheAsBuiltElement)
{
    // Links without an as-built element to count, sized as the box or
    // channel of their process code: codes 46, 48, 51 and 54 give column 23
    // to a width or depth solver; codes 36 and 56 take their mode from
    // column 23 and their given value from column 24.
    struct Case {
        int code;
        float height;  // column 23
        float width;   // column 24
    };
    const float n = 0.015f;
    const float flow = 300.0f;
    const float slope = 0.01f;
    const SizingIncrement none = SizingIncrement::NoIncrement;
    for (const Case c : {Case{36, 1.0f, 4.0f}, Case{36, 2.0f, 1.5f}, Case{46, 3.0f, 9.0f}, Case{56, 1.0f, 6.0f},
                         Case{56, 2.0f, 0.5f}, Case{48, 8.0f, 3.0f}, Case{51, 2.5f, 3.0f}}) {
        LinkRecord given = pipe_link();
        given.process_code() = c.code;
        given.element_type() = static_cast<int>(ElementType::NoElement);
        given.element_height() = c.height;
        given.element_base_width() = c.width;
        given.element_side_slope() = 2.0f;
        given.element_friction_factor() = n;
        given.channel_freeboard() = 1.0f;
        given.downstream_peak_flow(2) = flow;
        const LinkRecord link = analyzed(given);
        SCOPED_TRACE(testing::Message() << "code " << c.code << ", column 23 " << c.height);
        float expected_height = 0.0f;
        float expected_width = 0.0f;
        if (c.code == 36) {
            const BoxSize box = size_box(flow, slope, c.width, n, static_cast<int>(c.height), none);
            expected_height = box.second;
            expected_width = box.first;
            EXPECT_EQ(link.recommended_element_type(), 2.0f);
        } else if (c.code == 46) {
            const BoxSize box = size_box(flow, slope, c.height, n, 1, none);
            expected_height = box.first;
            expected_width = box.second;
            EXPECT_EQ(link.recommended_element_type(), 2.0f);
        } else {
            const int mode = c.code == 56 ? static_cast<int>(c.height) : c.code == 48 ? 1 : 0;
            const float value = c.code == 56 ? c.width : c.height;
            const TrapezoidSize channel = size_trapezoid(slope, flow, 2.0f, 1.0f, n, mode, value, none);
            expected_height = c.code == 56 ? channel.depth_result : channel.width_argument;
            expected_width = c.code == 56 ? channel.width_argument : channel.depth_result;
            EXPECT_EQ(link.recommended_element_type(), 3.0f);
            EXPECT_EQ(link.required_element_side_slope(), 2.0f);
            EXPECT_EQ(link.required_element_freeboard(), 1.0f);
        }
        EXPECT_EQ(link.required_element_height(), expected_height);
        EXPECT_EQ(link.required_element_base_width(), expected_width);
        EXPECT_EQ(link.required_element_flow(), flow);
        EXPECT_GT(link.required_element_height(), 0.0f);
        EXPECT_GT(link.required_element_base_width(), 0.0f);
    }
}

TEST(DeficiencyPass, SlopeRepairedForTheParallelPipeSizesTheBox)
{
    // A link the balanced HGL gave no slope: the parallel pipe is sized at
    // the default 0.002, and the box after it at the same slope, not at a
    // slope that carries nothing (which would ask for the largest box).
    LinkRecord given = pipe_link();
    given.process_code() = 46;
    given.element_type() = static_cast<int>(ElementType::NoElement);
    given.element_height() = 3.0f;
    given.element_friction_factor() = 0.015f;
    given.balanced_hgl_friction_slope() = 0.0f;
    given.downstream_peak_flow(2) = 120.0f;
    DeficiencySettings settings = topographic_settings();
    settings.friction_slope_model = FrictionSlopeModel::BalancedHglSlope;
    const LinkRecord link = analyzed(given, settings);
    EXPECT_EQ(link.column(68), 0.0f);
    float slope = 0.0f;
    EXPECT_EQ(link.parallel_element_height(), size_circular_pipe(slope, 120.0f, 0.013f));
    EXPECT_EQ(link.required_element_height(), 3.0f);
    EXPECT_EQ(link.required_element_base_width(),
              size_box(120.0f, 0.002f, 3.0f, 0.015f, 1, SizingIncrement::NoIncrement).second);
    EXPECT_LT(link.required_element_base_width(), 100.0f);
}

TEST(DeficiencyPass, StandardConduitOfCodeThirtySeven)
{
    LinkRecord given = pipe_link();
    given.process_code() = 37;
    given.element_friction_factor() = 0.014f;
    given.downstream_peak_flow(2) = 120.0f;
    given.existing_element_capacity() = 30.0f;  // kept as read
    given.computed_capacity() = 30.0f;
    const LinkRecord link = analyzed(given);
    EXPECT_EQ(link.max_deficiency(), 90.0f);
    EXPECT_EQ(link.parallel_element_height(), 3.5f);  // the table row of 95 cfs
    EXPECT_EQ(link.parallel_element_friction_factor(), 0.014f);
    EXPECT_EQ(link.recommended_element_type(), 1.0f);
    EXPECT_EQ(link.required_element_height(), 4.0f);  // 120 cfs
    EXPECT_EQ(link.required_element_base_width(), 0.0f);
    EXPECT_EQ(link.required_element_flow(), 120.0f);
}

TEST(DeficiencyPass, CurveNumberStudyChannelsAndLinksWithoutConveyance)
{
    DeficiencySettings settings = topographic_settings();
    settings.model_type_code = 10;

    LinkRecord overland = pipe_link();
    overland.process_code() = 61;
    overland.downstream_peak_flow(2) = 900.0f;
    overland.max_deficiency() = 40.0f;
    const LinkRecord none = analyzed(overland, settings);
    EXPECT_EQ(none.max_deficiency(), 0.0f);
    EXPECT_EQ(none.parallel_element_height(), 0.0f);
    EXPECT_EQ(none.link_slope(), 0.01f);  // the slope is still recomputed

    // Codes 51 and 52 are channels of the as-built depth and base width,
    // sized for a given flow depth.
    LinkRecord channel = pipe_link();
    channel.process_code() = 52;
    channel.element_type() = static_cast<int>(ElementType::NoElement);
    channel.element_height() = 2.0f;
    channel.element_base_width() = 3.0f;
    channel.element_side_slope() = 1.5f;
    channel.element_friction_factor() = 0.025f;
    channel.channel_freeboard() = 0.5f;
    channel.user_capacity() = 0.0f;
    channel.upstream_peak_flow(2) = 400.0f;
    channel.downstream_peak_flow(2) = 400.0f;
    const LinkRecord sized = analyzed(channel, settings);
    EXPECT_EQ(sized.process_code(), 52);
    EXPECT_EQ(sized.element_type(), static_cast<int>(ElementType::Channel));
    EXPECT_EQ(sized.user_capacity(), NO_USER_CAPACITY);
    EXPECT_EQ(sized.computed_capacity(),
              compute_trapezoid_capacity(TrapezoidalChannel{3.0f, 1.5f, 0.025f}, 0.01f, 2.0f));
    EXPECT_EQ(sized.recommended_element_type(), 3.0f);
    EXPECT_EQ(sized.required_element_height(), 2.5f);  // the flow depth of column 23 and the freeboard
    const TrapezoidSize expected =
        size_trapezoid(0.01f, 400.0f, 1.5f, 0.5f, 0.025f, 0, 2.0f, SizingIncrement::NoIncrement);
    EXPECT_EQ(sized.required_element_base_width(), expected.depth_result);
    EXPECT_EQ(sized.required_element_side_slope(), 1.5f);
    EXPECT_EQ(sized.required_element_freeboard(), 0.5f);
}

TEST(DeficiencyPass, DesignationsAboveThreeAreCleared)
{
    LinkRecord given = pipe_link();
    for (int c = 141; c <= 146; ++c) given.column(c) = static_cast<float>(c - 137);
    const LinkRecord cleared = analyzed(given);
    for (int c = 141; c <= 146; ++c) EXPECT_EQ(cleared.column(c), 0.0f) << "column " << c;

    given.designated_element_type() = 3.0f;
    const LinkRecord kept = analyzed(given);
    EXPECT_EQ(kept.designated_element_type(), 3.0f);
    EXPECT_EQ(kept.designated_freeboard(), 9.0f);
}

TEST(DeficiencyPass, ComputedValuesStayWithinTheirFields)
{
    LinkRecord given = pipe_link();
    given.link_length() = 0.001f;  // a slope far beyond F7.5
    given.downstream_peak_flow(2) = 50000.0f;
    given.element_type() = static_cast<int>(ElementType::Box);
    given.element_height() = 1.0f;
    given.element_base_width() = 0.0f;
    given.designated_element_type() = 2.0f;
    given.designated_sizing_dimension() = 3.0f;
    given.designated_dimension_value() = 0.0f;  // a ratio that sizes nothing
    const LinkRecord link = analyzed(given);
    for (int c = 1; c <= LINK_RECORD_VALUES; ++c) {
        if (LinkRecord::kind(c) != ColumnKind::Real) continue;
        EXPECT_FALSE(std::isnan(link.column(c))) << "column " << c;
        EXPECT_FALSE(std::isinf(link.column(c))) << "column " << c;
    }
    EXPECT_NO_THROW(link_record_line(link));
}

class DeficiencyPassFile : public test::RunStepTest {
protected:
    DeficiencyPassFile()
    {
        controls_.friction_slope_model = FrictionSlopeModel::TopographicSlope;
        controls_.friction_slope_proportion = 1.0f;
        settings_.model_type_code = 9;
    }
};

TEST_F(DeficiencyPassFile, RewritesEveryRecordInOrder)
{
    LinkRecord deficient = pipe_link();
    deficient.downstream_peak_flow(2) = 60.0f;
    for (int c = 153; c <= 188; ++c) deficient.column(c) = 1.0f;
    const std::vector<LinkRecord> given{pipe_link(), deficient};
    write_link_data_base("AB0101ZZ.ZLL", given);

    analyze_link_file_deficiencies(run_, "AB0101ZZ.ZLL", {});
    // The old file stays until the run's outputs are replaced together.
    std::string old_text;
    for (const LinkRecord& link : given) old_text += link_record_line(link) + "\r\n";
    EXPECT_EQ(test::TemporaryDirectory::get("AB0101ZZ.ZLL"), old_text);
    commit_run();

    std::vector<LinkRecord> expected = given;
    analyze_link_records(expected, deficiency_settings(controls_, settings_), {});
    std::string expected_text;
    for (const LinkRecord& link : expected) expected_text += link_record_line(link) + "\r\n";
    EXPECT_EQ(test::TemporaryDirectory::get("AB0101ZZ.ZLL"), expected_text);
    EXPECT_GT(expected[1].max_deficiency(), 0.0f);
    EXPECT_EQ(expected[1].column(170), 0.0f);
}

// The friction-slope update stores a slope of more decimals than its field
// writes; the deficiency pass of the same run sizes with the slope as the
// rewritten data base holds it, as reading the update's lines back gives it.
TEST_F(DeficiencyPassFile, WorksOnTheFrictionSlopeUpdateAsItsWrittenLinesReadBack)
{
    controls_.friction_slope_model = FrictionSlopeModel::BalancedHglSlope;
    controls_.envelope_min_friction_slope = 0.001f;
    run_.data_files.data_file_names = {"AB0101ZZ"};
    LinkRecord second = pipe_link();
    second.upstream_node() = 10106.0f;
    second.downstream_node() = 10105.0f;
    second.downstream_peak_flow(2) = 60.0f;
    const std::vector<LinkRecord> given{pipe_link(), second};
    write_link_data_base("AB0101ZZ.ZLL", given);
    run_.balanced_hgl_results.results = {{10105.0f, 10104.0f, 0.0123456f, 100.98765f, 104.21012f},
                                         {10106.0f, 10105.0f, 0.0087654f, 104.21012f, 106.54321f}};
    const DownstreamHglIndex hgl_index(run_.balanced_hgl_results);

    {
        TextWriter report = TextWriter::for_append(run_.outputs.changed_file("ABTRVLZZ.DIA"));
        update_link_friction_slopes(run_, report);
        report.commit();
    }
    analyze_link_file_deficiencies(run_, "AB0101ZZ.ZLL", hgl_index);
    commit_run();

    // The two steps as files: the update written and read back, then the pass.
    std::vector<LinkRecord> updated = given;
    for (std::size_t k = 0; k < updated.size(); ++k)
        apply_balanced_hgl_result(updated[k], &run_.balanced_hgl_results.results[k], true, 0.001f);
    write_link_data_base("UPDATED.ZLL", updated);
    std::vector<LinkRecord> read_back = read_link_data_base("UPDATED.ZLL", FilePresence::MustExist);
    const auto text_of = [&](std::vector<LinkRecord> records) {
        analyze_link_records(records, deficiency_settings(controls_, settings_), hgl_index);
        std::string text;
        for (const LinkRecord& link : records) text += link_record_line(link) + "\r\n";
        return text;
    };
    const std::string expected = text_of(read_back);
    EXPECT_EQ(test::TemporaryDirectory::get("AB0101ZZ.ZLL"), expected);
    // The case matters: the unrounded slopes size otherwise.
    EXPECT_NE(text_of(updated), expected);
}

// A value that its field cannot hold, read from the data base and kept by
// every step, is refused at the first rewrite, naming the new version, the
// record and the column, and no file of the run is written.
TEST_F(DeficiencyPassFile, AValueItsFieldCannotHoldIsRefusedAtTheRewriteAndNothingIsWritten)
{
    std::string second = link_record_line(pipe_link());
    const FieldSpec& field = LinkRecord::field(130);
    second.replace(static_cast<std::size_t>(field.start), static_cast<std::size_t>(field.width), " 1234567890.5");
    test::TemporaryDirectory::put("AB0101ZZ.ZLL", link_record_line(pipe_link()) + "\r\n" + second + "\r\n");
    const auto before = test::TemporaryDirectory::snapshot();

    try {
        analyze_link_file_deficiencies(run_, "AB0101ZZ.ZLL", {});
        ADD_FAILURE() << "rewritten without error";
    } catch (const RecordWriteError& error) {
        EXPECT_EQ(error.file_name(), run_.outputs.new_file("AB0101ZZ.ZLL"));
        EXPECT_EQ(error.record_number(), 2);
        EXPECT_EQ(error.column(), 130);
    }
    run_.outputs.discard();
    EXPECT_EQ(test::TemporaryDirectory::snapshot(), before);
}

TEST_F(DeficiencyPassFile, UnreadableRecordLeavesTheFileAsItWas)
{
    write_link_data_base("AB0101ZZ.ZLL", {pipe_link()});
    std::string text = test::TemporaryDirectory::get("AB0101ZZ.ZLL");
    text += " 10106.0 10105.0 oops\r\n";
    test::TemporaryDirectory::put("AB0101ZZ.ZLL", text);
    EXPECT_THROW(analyze_link_file_deficiencies(run_, "AB0101ZZ.ZLL", {}), FileError);
    EXPECT_EQ(test::TemporaryDirectory::get("AB0101ZZ.ZLL"), text);
}

}  // namespace
}  // namespace velm
