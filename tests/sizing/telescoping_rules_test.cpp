// The telescoping rules along a string and the completion of its lines into
// long records, on strings of hand-made links.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/format.h"
#include "sizing/string_completion.h"
#include "sizing/telescoping_records.h"
#include "sizing/telescoping_rules.h"

namespace velm::test {
namespace {

constexpr float SLOPE = 0.01f;  // computed friction slope; sized on 0.85 of it

// A deficient pipe link (code 41, in the cost opinion) whose flow exceeds
// its street by `excess` cfs, with the deficiency pass's mitigation pipe.
LinkRecord deficient_pipe(float upstream, float downstream, float excess, float mitigation_diameter)
{
    return link_with(upstream, downstream,
                     {{7, 41.0f},
                      {22, 1.0f},
                      {23, 1.5f},
                      {24, 1.0f},
                      {26, 0.013f},
                      {37, excess},
                      {64, SLOPE},
                      {90, 1.0f},
                      {92, mitigation_diameter},
                      {93, 1.0f},
                      {100, 1.0f}});
}

// An existing pipe the deficiency pass found sufficient.
LinkRecord sufficient_pipe(float upstream, float downstream, float diameter, float peak_flow)
{
    return link_with(upstream, downstream,
                     {{7, 41.0f},
                      {22, 1.0f},
                      {23, diameter},
                      {24, 1.0f},
                      {26, 0.013f},
                      {37, peak_flow},
                      {49, peak_flow + 5.0f},
                      {64, SLOPE},
                      {90, 0.0f},
                      {100, 1.0f}});
}

// A box link (code 46) of `height` by `width` ft, deficient.
LinkRecord deficient_box(float upstream, float downstream, float height, float width)
{
    return link_with(
        upstream, downstream,
        {{7, 46.0f}, {26, 0.015f}, {37, 40.0f}, {64, SLOPE}, {90, 1.0f}, {92, height}, {93, width}, {100, 1.0f}});
}

StringRecord line(float upstream, float downstream)
{
    return StringRecord{upstream, downstream, 300.0f, 10.0f, upstream / 100.0f, downstream / 100.0f};
}

struct Walk {
    TelescopingTables tables;
    std::vector<TelescopedStringRecord> records;
    const TelescopingLinkRow& row(float upstream, float downstream) const
    {
        return *tables.links.find(upstream, downstream);
    }
};

// Loads the links, then walks one string over the node pairs in order.
Walk walk(const std::vector<LinkRecord>& links, const std::vector<std::pair<float, float>>& pairs,
          const TelescopingSettings& settings = {})
{
    Walk result;
    load_telescoping_tables(links, settings, result.tables);
    std::vector<StringRecord> lines;
    for (const auto& [upstream, downstream] : pairs) lines.push_back(line(upstream, downstream));
    result.records = telescope_string(lines, result.tables, settings);
    return result;
}

TelescopingSettings settings_with(void (*change)(TelescopingSettings&))
{
    TelescopingSettings settings;
    change(settings);
    return settings;
}

TEST(TelescopingRules, PipeIsResizedForTheRunningTargetFlow)
{
    const Walk w =
        walk({deficient_pipe(10101.0f, 10102.0f, 50.0f, 3.0f), deficient_pipe(10102.0f, 10103.0f, 30.0f, 2.0f)},
             {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}});
    ASSERT_EQ(w.records.size(), 2u);

    // The first link seeds the string and gets no element.
    EXPECT_EQ(w.records[0].telescoped_shape, 0.0f);
    EXPECT_EQ(w.records[0].telescoped_size, 0.0f);
    EXPECT_EQ(w.records[0].telescoped_capacity, 0.0f);
    EXPECT_EQ(w.records[0].telescoped_friction_factor, 0.0f);

    // 50 cfs at 0.0085 needs 33.3 in: a 36-in pipe.
    const TelescopedStringRecord& second = w.records[1];
    EXPECT_EQ(second.telescoped_shape, 1.0f);
    EXPECT_EQ(second.telescoped_size, 3.0f);
    EXPECT_EQ(second.telescoped_width, 1.0f);
    EXPECT_EQ(second.telescoped_friction_factor, 0.013f);
    EXPECT_NEAR(second.telescoped_capacity, 61.49f, 0.05f);
    for (const TelescopedStringRecord& record : w.records) EXPECT_EQ(record.carried_flow, 0.0f);

    const TelescopingLinkRow& row = w.row(10102.0f, 10103.0f);
    EXPECT_EQ(row.recommended_type, 1.0f);
    EXPECT_EQ(row.element_size, 3.0f);
    EXPECT_EQ(row.largest_excess_flow, 50.0f);
    EXPECT_EQ(row.largest_peak_flow, 50.0f);  // the carried flow
    EXPECT_EQ(w.row(10101.0f, 10102.0f).recommended_type, 0.0f);
}

TEST(TelescopingRules, SufficientLinkNeverRaisesTheRunningTarget)
{
    // The middle link carries 40 cfs more than its street without being
    // deficient: the last pipe is sized for the 10 cfs upstream (21 in),
    // not for 40 (33 in).
    const Walk w =
        walk({deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), sufficient_pipe(10102.0f, 10103.0f, 4.0f, 45.0f),
              deficient_pipe(10103.0f, 10104.0f, 5.0f, 1.5f)},
             {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10104.0f}});
    EXPECT_EQ(w.records[1].telescoped_shape, 0.0f);  // kept
    EXPECT_EQ(w.records[1].telescoped_capacity, 0.0f);
    EXPECT_EQ(w.records[2].telescoped_shape, 1.0f);
    EXPECT_EQ(w.records[2].telescoped_size, 1.75f);
    EXPECT_NEAR(w.records[2].telescoped_capacity, 14.61f, 0.05f);
}

TEST(TelescopingRules, PipeBelowTheMinimumDiameterKeepsItsElement)
{
    // Sized independently, a deficient link whose flow needs no more than a
    // 12-in pipe gets none (the minimum is 18 in); it was recommended one.
    LinkRecord small = deficient_pipe(10102.0f, 10103.0f, 0.0f, 1.0f);
    small.column(110) = 1.0f;
    const Walk w =
        walk({deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), small}, {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}},
             settings_with([](TelescopingSettings& s) { s.capacity_telescoping = 2; }));
    EXPECT_EQ(w.records[1].telescoped_shape, 0.0f);
    EXPECT_EQ(w.records[1].telescoped_capacity, 0.0f);
    EXPECT_FLOAT_EQ(w.row(10102.0f, 10103.0f).recommended_type, -0.1f);
}

TEST(TelescopingRules, UnmatchedLinesCarryThePreviousElementsManningN)
{
    const Walk w =
        walk({deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), deficient_pipe(10102.0f, 10103.0f, 20.0f, 2.0f)},
             {{10100.0f, 10101.0f}, {10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10104.0f}});
    ASSERT_EQ(w.records.size(), 4u);
    // A first line without a link: no element, no Manning n, nothing of a row.
    const TelescopedStringRecord& first = w.records[0];
    EXPECT_EQ(first.upstream_node, 10100.0f);
    EXPECT_EQ(first.downstream_node, 10101.0f);
    EXPECT_EQ(first.link_length, 300.0f);
    EXPECT_EQ(first.upstream_elevation, 101.0f);
    EXPECT_EQ(first.downstream_elevation, 101.01f);
    EXPECT_EQ(first.process_code, 0.0f);
    EXPECT_EQ(first.telescoped_friction_factor, 0.0f);
    // The last line follows a new 0.013 pipe.
    EXPECT_EQ(w.records[2].telescoped_shape, 1.0f);
    EXPECT_EQ(w.records[3].telescoped_friction_factor, 0.013f);
    EXPECT_EQ(w.records[3].telescoped_capacity, 0.0f);
    EXPECT_EQ(w.records[3].sizing_slope, 0.0f);
}

TEST(TelescopingRules, ParallelElementStandsOnItsOwnLine)
{
    LinkRecord parallel = deficient_pipe(10102.0f, 10103.0f, 20.0f, 2.0f);
    parallel.user_element_status() = 2.0f;
    const Walk w = walk(
        {deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), parallel, deficient_pipe(10103.0f, 10104.0f, 30.0f, 2.5f)},
        {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10104.0f}});
    const TelescopedStringRecord& marked = w.records[1];
    EXPECT_EQ(marked.parallel_shape, 1.0f);
    EXPECT_EQ(marked.parallel_size, marked.telescoped_size);
    EXPECT_EQ(marked.parallel_width, 1.0f);
    EXPECT_EQ(marked.parallel_side_slope, 0.0f);
    EXPECT_EQ(marked.parallel_friction_factor, 0.013f);
    EXPECT_EQ(w.records[2].telescoped_shape, 1.0f);
    EXPECT_EQ(w.records[2].parallel_shape, 0.0f);
    EXPECT_EQ(w.records[2].parallel_size, 0.0f);
}

TEST(TelescopingRules, MarkedAndHeadwaterLinksShowANegativeShape)
{
    struct Case {
        std::string name;
        float process_code;
        float cost_opinion_status;
        float expected_shape;
    };
    const std::vector<Case> cases{
        {"in the cost opinion", 41.0f, 1.0f, 1.0f},
        {"not yet in the cost opinion", 41.0f, 0.0f, -1.0f},
        {"headwater link", 22.0f, 1.0f, -1.0f},
        {"marked headwater link", 21.0f, 0.0f, -1.0f},
    };
    for (const Case& c : cases) {
        LinkRecord link = deficient_pipe(10102.0f, 10103.0f, 20.0f, 2.0f);
        link.process_code() = static_cast<int>(c.process_code);
        link.cost_opinion_status() = c.cost_opinion_status;
        const Walk w =
            walk({deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), link}, {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}});
        EXPECT_EQ(w.records[1].telescoped_shape, c.expected_shape) << c.name;
        EXPECT_EQ(w.records[1].process_code, c.process_code) << c.name;
    }
}

TEST(TelescopingRules, UserElementsReplaceThePassesElement)
{
    LinkRecord user = deficient_pipe(10102.0f, 10103.0f, 20.0f, 2.0f);
    user.user_element_type() = 2;
    user.user_element_height() = 4.0f;
    user.user_element_base_width() = 6.0f;
    user.user_element_side_slope() = 0.5f;
    user.user_element_friction_factor() = 0.016f;
    const std::vector<std::pair<float, float>> pairs{{10101.0f, 10102.0f}, {10102.0f, 10103.0f}};
    const std::vector<LinkRecord> links{deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), user};

    const Walk w = walk(links, pairs);
    const TelescopedStringRecord& record = w.records[1];
    EXPECT_EQ(record.telescoped_shape, 2.0f);
    EXPECT_EQ(record.telescoped_size, 4.0f);
    EXPECT_EQ(record.telescoped_width, 6.0f);
    EXPECT_EQ(record.telescoped_side_slope, 0.5f);
    EXPECT_EQ(record.telescoped_freeboard, 0.0f);
    EXPECT_EQ(record.telescoped_friction_factor, 0.016f);

    // A storage element of a curve-number study shows no element at all.
    std::vector<LinkRecord> storage = links;
    storage[1].process_code() = 61;
    const Walk curve_number =
        walk(storage, pairs, settings_with([](TelescopingSettings& s) { s.model_type_code = 10; }));
    EXPECT_EQ(curve_number.records[1].telescoped_shape, 0.0f);
    EXPECT_EQ(curve_number.records[1].telescoped_size, 0.0f);
    EXPECT_EQ(curve_number.records[1].telescoped_friction_factor, 0.0f);
}

TEST(TelescopingRules, BoxTakesTheAreaUpstreamUnlessItsRuleHasNoDivisor)
{
    // A 4 x 5 box, then a 2 x 3 box of code 46 brought up to 20 ft2 on its
    // existing height; without a height the rule cannot divide and the
    // box keeps its own size.
    struct Case {
        float existing_height;
        float expected_height;
        float expected_width;
    };
    for (const Case& c : {Case{4.0f, 4.0f, 5.0f}, Case{0.0f, 2.0f, 3.0f}}) {
        LinkRecord smaller = deficient_box(10103.0f, 10104.0f, 2.0f, 3.0f);
        smaller.element_height() = c.existing_height;
        const Walk w = walk(
            {deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), deficient_box(10102.0f, 10103.0f, 4.0f, 5.0f), smaller},
            {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10104.0f}},
            settings_with([](TelescopingSettings& s) { s.box_area_telescoping = 1; }));
        const TelescopedStringRecord& record = w.records[2];
        EXPECT_EQ(record.telescoped_shape, 2.0f) << c.existing_height;
        EXPECT_EQ(record.telescoped_size, c.expected_height) << c.existing_height;
        EXPECT_EQ(record.telescoped_width, c.expected_width) << c.existing_height;
        EXPECT_EQ(w.row(10103.0f, 10104.0f).element_size, c.expected_height) << c.existing_height;
    }
}

TEST(TelescopingRules, ChannelTakesTheAreaUpstreamUnlessItsRuleHasNoDivisor)
{
    // An 8-ft channel 4 ft deep with Z = 2 (64 ft2), then a smaller code-51
    // channel brought up to that area on its existing depth and side slope.
    auto channel = [](float upstream, float downstream, float depth, float width, float side_slope) {
        return link_with(upstream, downstream,
                         {{7, 51.0f},
                          {26, 0.025f},
                          {37, 80.0f},
                          {64, SLOPE},
                          {90, 1.0f},
                          {92, depth},
                          {93, width},
                          {94, side_slope},
                          {100, 1.0f}});
    };
    struct Case {
        float existing_depth;
        float expected_depth;
        float expected_width;
    };
    for (const Case& c : {Case{4.0f, 4.0f, 8.0f}, Case{0.0f, 2.0f, 4.0f}}) {
        LinkRecord smaller = channel(10103.0f, 10104.0f, 2.0f, 4.0f, 1.0f);
        smaller.element_height() = c.existing_depth;
        smaller.element_side_slope() = 2.0f;
        const Walk w = walk(
            {deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), channel(10102.0f, 10103.0f, 4.0f, 8.0f, 2.0f), smaller},
            {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10104.0f}},
            settings_with([](TelescopingSettings& s) { s.channel_area_telescoping = 1; }));
        const TelescopedStringRecord& record = w.records[2];
        EXPECT_EQ(record.telescoped_shape, 3.0f) << c.existing_depth;
        EXPECT_EQ(record.telescoped_size, c.expected_depth) << c.existing_depth;
        EXPECT_EQ(record.telescoped_width, c.expected_width) << c.existing_depth;
    }
}

TEST(TelescopingRules, AreaAndInterfaceRulesBelowALargerElement)
{
    struct Case {
        std::string name;
        LinkRecord upstream_element;
        TelescopingSettings settings;
        float expected_size;
    };
    auto independent = [](int pipe_area, int interfacing) {
        TelescopingSettings s;
        s.capacity_telescoping = 2;
        s.pipe_area_telescoping = pipe_area;
        s.element_interfacing = interfacing;
        return s;
    };
    const std::vector<Case> cases{
        {"a pipe below a larger pipe takes its diameter", deficient_pipe(10102.0f, 10103.0f, 20.0f, 3.0f),
         independent(1, 1), 3.0f},
        {"pipe area reductions allowed", deficient_pipe(10102.0f, 10103.0f, 20.0f, 3.0f), independent(2, 1), 2.0f},
        {"no interface telescoping below a box", deficient_box(10102.0f, 10103.0f, 4.0f, 5.0f), independent(1, 1),
         2.0f},
        // 20 ft2 is a diameter of 5.05 ft: the next quarter foot above.
        {"interface telescoping below a box", deficient_box(10102.0f, 10103.0f, 4.0f, 5.0f), independent(1, 2), 5.25f},
    };
    for (const Case& c : cases) {
        const Walk w = walk({deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), c.upstream_element,
                             deficient_pipe(10103.0f, 10104.0f, 15.0f, 2.0f)},
                            {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10104.0f}}, c.settings);
        EXPECT_EQ(w.records[2].telescoped_shape, 1.0f) << c.name;
        EXPECT_EQ(w.records[2].telescoped_size, c.expected_size) << c.name;
    }
}

TEST(TelescopingRules, ExistingPipesThatAreNotDeficient)
{
    // Below a new 36-in pipe, an existing 42-in pipe (3.5 ft) that is
    // sufficient: the telescoped size would be 3.0 ft.
    struct Case {
        int rule;
        float existing_diameter;
        bool keeps;
        float carried_size;
    };
    const std::vector<Case> cases{
        {1, 3.5f, true, 0.0f},  // not larger than the existing pipe: its own size (column 92)
        {1, 2.5f, false, 3.0f}, {2, 3.5f, true, 3.5f}, {3, 3.5f, true, 3.0f},
        {4, 2.5f, true, 3.0f},  {4, 3.5f, true, 3.5f},
    };
    for (const Case& c : cases) {
        TelescopingSettings settings;
        settings.existing_element_telescoping = c.rule;
        const Walk w =
            walk({deficient_pipe(10101.0f, 10102.0f, 50.0f, 3.0f), deficient_pipe(10102.0f, 10103.0f, 50.0f, 3.0f),
                  sufficient_pipe(10103.0f, 10104.0f, c.existing_diameter, 20.0f)},
                 {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10104.0f}}, settings);
        const std::string name = "rule " + std::to_string(c.rule) + " over " + std::to_string(c.existing_diameter);
        EXPECT_EQ(w.records[2].telescoped_shape == 0.0f, c.keeps) << name;
        EXPECT_EQ(w.row(10103.0f, 10104.0f).element_size, c.carried_size) << name;
    }
}

TEST(TelescopingRules, CapacityAboveTheCapIsMarked)
{
    const Walk w =
        walk({deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), deficient_pipe(10102.0f, 10103.0f, 20.0f, 55.0f)},
             {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}},
             settings_with([](TelescopingSettings& s) { s.capacity_telescoping = 2; }));
    EXPECT_EQ(w.records[1].telescoped_size, 55.0f);
    EXPECT_EQ(w.records[1].telescoped_capacity, 88888.0f);
}

TEST(TelescopingRules, ElementCapacitiesByTheirOwnConstants)
{
    struct Case {
        std::string name;
        LinkDecision decision;
        float slope;
        float expected;
    };
    auto decision = [](int shape, float size, float width, float side_slope, float n) {
        LinkDecision d;
        d.element_shape = shape;
        d.chosen_size = size;
        d.candidate_size = size;
        d.candidate_width = width;
        d.candidate_side_slope = side_slope;
        d.pipe_friction_factor = n;
        d.link_friction_factor = n;
        return d;
    };
    const std::vector<Case> cases{
        {"24-in pipe", decision(1, 2.0f, 1.0f, 0.0f, 0.013f), 0.01f, 22.62f},
        {"4 x 3 box", decision(2, 3.0f, 4.0f, 0.0f, 0.015f), 0.005f, 75.85f},
        {"channel 10 ft wide, 4 ft deep, Z = 2", decision(3, 4.0f, 10.0f, 2.0f, 0.015f), 0.002f, 600.5f},
    };
    for (const Case& c : cases) {
        const std::optional<float> capacity = compute_element_capacity(c.decision, c.slope);
        ASSERT_TRUE(capacity.has_value()) << c.name;
        EXPECT_NEAR(*capacity, c.expected, 0.05f) << c.name;
    }
    EXPECT_FALSE(compute_element_capacity(decision(2, 0.0f, 0.0f, 0.0f, 0.015f), 0.005f)) << "box without size";
    EXPECT_FALSE(compute_element_capacity(decision(0, 2.0f, 1.0f, 0.0f, 0.013f), 0.01f)) << "no shape";
    for (const float slope : {0.0f, -0.01f}) {  // a sizing slope that carries nothing
        EXPECT_EQ(compute_element_capacity(decision(1, 2.0f, 1.0f, 0.0f, 0.013f), slope), 0.0f) << slope;
        EXPECT_EQ(compute_element_capacity(decision(2, 3.0f, 4.0f, 0.0f, 0.015f), slope), 0.0f) << slope;
        EXPECT_EQ(compute_element_capacity(decision(3, 4.0f, 10.0f, 2.0f, 0.015f), slope), 0.0f) << slope;
    }
}

TEST(TelescopingRules, NextConstructiblePipeSize)
{
    const std::vector<std::pair<float, float>> cases{
        {2.0f, 2.25f}, {1.9f, 2.0f}, {8.0f, 8.25f}, {8.1f, 8.5f}, {9.0f, 9.5f}};
    for (const auto& [diameter, expected] : cases) {
        EXPECT_EQ(next_constructible_pipe_size(diameter), expected) << diameter;
    }
}

TEST(TelescopingRules, StringOfOneLinkChangesNoRow)
{
    Walk w = walk({deficient_pipe(10101.0f, 10102.0f, 10.0f, 2.0f)}, {{10101.0f, 10102.0f}});
    ASSERT_EQ(w.records.size(), 1u);
    EXPECT_EQ(w.records[0].telescoped_capacity, 0.0f);
    const TelescopingLinkRow& row = w.row(10101.0f, 10102.0f);
    EXPECT_EQ(row.element_size, 2.0f);
    EXPECT_EQ(row.recommended_type, 0.0f);
    EXPECT_EQ(row.largest_peak_flow, 10.0f);
}

TEST(TelescopingRules, LongRecordsHoldOnlyWhatTheirFieldsHold)
{
    TelescopedStringRecord record;
    record.telescoped_capacity = 123456.0f;
    record.link_slope = -0.00001f;
    record.carried_flow = -250000.0f;
    const TelescopedStringRecord fitted = fit_long_records({record}).front();
    EXPECT_EQ(format_fixed(fitted.telescoped_capacity, 8, 2), "99999.99");
    EXPECT_EQ(fitted.link_slope, -0.00001f);
    EXPECT_EQ(format_fixed(fitted.carried_flow, 8, 2), "-9999.99");
    EXPECT_EQ(telescoped_string_record_line(fitted).find('*'), std::string::npos);
}

}  // namespace
}  // namespace velm::test

namespace velm::test {
namespace {

TEST(TelescopingRules, KeptLinesAndTheLinesAfterThem)
{
    // Below a new pipe: a deficient code-52 channel link without an existing
    // element keeps what it has, whatever its size; a line without a link
    // after it shows the kept link's own Manning n in value 34.
    LinkRecord unlined = link_with(10102.0f, 10103.0f,
                                   {{7, 52.0f},
                                    {26, 0.035f},
                                    {37, 60.0f},
                                    {64, SLOPE},
                                    {90, 20.0f},
                                    {92, 3.0f},
                                    {93, 10.0f},
                                    {94, 2.0f},
                                    {100, 1.0f}});
    unlined.column(110) = 3.0f;
    const Walk w = walk({deficient_pipe(10101.0f, 10102.0f, 10.0f, 1.5f), unlined},
                        {{10101.0f, 10102.0f}, {10102.0f, 10103.0f}, {10103.0f, 10104.0f}});
    ASSERT_EQ(w.records.size(), 3u);
    EXPECT_EQ(w.records[1].telescoped_shape, 0.0f);
    EXPECT_EQ(w.records[1].telescoped_size, 0.0f);
    EXPECT_EQ(w.records[1].telescoped_capacity, 0.0f);
    EXPECT_FLOAT_EQ(w.row(10102.0f, 10103.0f).recommended_type, -0.3f);
    const std::string unmatched = telescoped_string_record_line(w.records[2]);
    EXPECT_EQ(unmatched.substr(28 * 9, 6 * 9), "     0.00     0.00     0.00     0.00     0.00   0.0350");
    EXPECT_EQ(unmatched.substr(51 * 9, 9), "     0.00");  // value 52
}

}  // namespace
}  // namespace velm::test
