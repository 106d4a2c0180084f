// The element hydraulics and sizing routines on the values engineers check
// by hand: the worked capacities, the repairs handed back, the joins of the
// street's depth ranges, the pipe and box tables and the increments.
#include <gtest/gtest.h>

#include <cmath>

#include "sizing/element_hydraulics.h"
#include "sizing/element_sizing.h"

namespace velm {
namespace {

StreetSection residential_street()
{
    StreetSection street;
    street.curb_height = 0.5f;
    street.half_width = 20.0f;
    street.gutter_lip = 0.125f;
    street.gutter_width = 2.0f;
    street.gutter_hike = 0.0417f;
    street.crown_to_gradebreak_distance = 12.0f;
    street.center_lane_crossfall = 0.02f;
    street.outside_lane_crossfall = 0.03f;
    street.parkway_crossfall = 0.02f;
    street.side_count = 1;
    street.manning_n = 0.015f;
    street.parkway_manning_n = 0.02f;
    return street;
}

TEST(ElementHydraulics, FullPipeOfOneFootAtOnePercentCarries3Point563)
{
    float slope = 0.01f;
    EXPECT_NEAR(compute_pipe_full_capacity(CircularPipe{1.0f, 0.013f}, slope), 3.563f, 0.0005f);
}

TEST(ElementHydraulics, FlatSlopesAreRepairedOnlyWhereTheRoutineRepairsThem)
{
    for (const float given : {0.0f, -0.003f}) {
        float pipe_slope = given;
        compute_pipe_full_capacity(CircularPipe{2.0f, 0.013f}, pipe_slope);
        EXPECT_EQ(pipe_slope, 0.002f);

        float vee_slope = given;
        VeeSection vee{4.0f, 0.5f, 1.0f, 0.25f, 0.0f};
        compute_vee_section_capacity(vee, vee_slope, 2.0f);
        EXPECT_EQ(vee_slope, 0.002f);
        EXPECT_EQ(vee.manning_n, 0.015f);

        // The others use the slope as given, and a slope that carries
        // nothing gives no capacity rather than a square root of a negative.
        EXPECT_EQ(compute_box_capacity(RectangularBox{4.0f, 3.0f, 0.015f}, given), 0.0f);
        EXPECT_EQ(compute_trapezoid_capacity(TrapezoidalChannel{10.0f, 2.0f, 0.015f}, given, 4.0f), 0.0f);
        StreetSection street = residential_street();
        EXPECT_EQ(compute_street_capacity(street, given, 0.3f), 0.0f);
    }
}

TEST(ElementHydraulics, CodeNinetyTwoBelowItsWallsCarriesItsLowerPart)
{
    VeeSection vee{4.0f, 0.5f, 1.0f, 0.25f, 0.015f};
    float slope = 0.005f;
    const float dry = compute_vee_section_capacity(vee, slope, 0.0f);
    const float within = compute_vee_section_capacity(vee, slope, 0.8f);
    const float at_top = compute_vee_section_capacity(vee, slope, 1.5f);
    const float over = compute_vee_section_capacity(vee, slope, 2.0f);
    EXPECT_EQ(dry, 0.0f);
    EXPECT_GT(within, 0.0f);
    EXPECT_EQ(within, at_top);  // the lower part flowing full
    EXPECT_GT(over, at_top);
}

TEST(ElementHydraulics, StreetRangesJoinAndTheGutterRunsFull)
{
    StreetSection street = residential_street();
    const float slope = 0.01f;
    const float t0 = street.gutter_lip + street.gutter_hike;
    const float yb = t0 + (street.half_width - street.crown_to_gradebreak_distance - street.gutter_width) *
                              street.outside_lane_crossfall;
    const float yc = yb + street.crown_to_gradebreak_distance * street.center_lane_crossfall;
    const float at_t0 = compute_street_capacity(street, slope, t0);
    EXPECT_EQ(compute_street_capacity(street, slope, 0.05f), at_t0);
    // Just above each level the next range continues where the last ended.
    for (const float level : {t0, yb, yc}) {
        const float at = compute_street_capacity(street, slope, level);
        const float above = compute_street_capacity(street, slope, level + 1.0e-4f);
        EXPECT_NEAR(above, at, 0.01f * at + 0.01f) << "level " << level;
    }
}

TEST(ElementHydraulics, StreetSidesAndParkway)
{
    StreetSection street = residential_street();
    const float one_side = compute_street_capacity(street, 0.01f, 0.6f);
    street.side_count = 2;
    EXPECT_FLOAT_EQ(compute_street_capacity(street, 0.01f, 0.6f), 2.0f * one_side);
    street.side_count = 0;
    EXPECT_EQ(compute_street_capacity(street, 0.01f, 0.6f), 0.0f);

    street.side_count = 1;
    street.parkway_crossfall = 0.0f;
    const float without_parkway = compute_street_capacity(street, 0.01f, 0.6f);
    EXPECT_LT(without_parkway, one_side);
    street.parkway_crossfall = 100.0f;
    EXPECT_NEAR(compute_street_capacity(street, 0.01f, 0.6f), without_parkway, 0.01f);

    street.parkway_manning_n = 0.0f;
    compute_street_capacity(street, 0.01f, 0.3f);
    EXPECT_EQ(street.parkway_manning_n, 0.02f);  // handed back to the caller
}

TEST(ElementHydraulics, AnySectionAnswersThroughOneCall)
{
    float slope = 0.0f;
    ConveyanceSection pipe = CircularPipe{1.0f, 0.013f};
    const float q = section_capacity(pipe, 0.0f, slope);
    EXPECT_EQ(slope, 0.002f);
    float same_slope = 0.002f;
    EXPECT_EQ(q, compute_pipe_full_capacity(CircularPipe{1.0f, 0.013f}, same_slope));

    ConveyanceSection vee = VeeSection{4.0f, 0.5f, 1.0f, 0.25f, 0.0f};
    slope = 0.005f;
    section_capacity(vee, 2.0f, slope);
    EXPECT_EQ(std::get<VeeSection>(vee).manning_n, 0.015f);
}

TEST(ElementSizing, PipeDiametersRoundUpToThreeThenSixInches)
{
    struct Case {
        float inches;
        float feet;
    };
    for (const Case c : {Case{24.0f, 2.0f}, Case{24.1f, 2.25f}, Case{96.0f, 8.0f}, Case{97.2f, 8.5f}, Case{99.0f, 8.5f},
                         Case{108.0f, 9.0f}, Case{0.0f, 0.0f}}) {
        EXPECT_EQ(round_up_pipe_diameter(c.inches), c.feet) << c.inches << " in";
    }
    float slope = 0.0f;
    EXPECT_EQ(size_circular_pipe(slope, 0.0f, 0.013f), 0.0f);
    EXPECT_EQ(slope, 0.002f);
    slope = 0.01f;
    EXPECT_EQ(size_circular_pipe(slope, -5.0f, 0.013f), 0.0f);  // no flow, no pipe
}

TEST(ElementSizing, StandardPipesAndBarrels)
{
    struct Case {
        float flow;
        float diameter;
        float barrels;
    };
    for (const Case c : {Case{7.0f, 1.0f, 0.0f}, Case{7.01f, 1.25f, 0.0f}, Case{2400.0f, 15.0f, 0.0f},
                         Case{2400.1f, 11.5f, 2.0f}, Case{0.0f, 1.0f, 0.0f},
                         // a whole multiple of 2400 cfs gets a spare barrel: 3 x 1600 cfs
                         Case{4800.0f, 12.5f, 3.0f}}) {
        const StandardPipe pipe = select_standard_pipe(c.flow);
        EXPECT_EQ(pipe.diameter, c.diameter) << c.flow << " cfs";
        EXPECT_EQ(pipe.barrels, c.barrels) << c.flow << " cfs";
    }
}

TEST(ElementSizing, TableCapacities)
{
    EXPECT_EQ(lookup_table_capacity(1.1f, 2.0f, 0.014f, 1), 22.0f);
    EXPECT_EQ(lookup_table_capacity(1.1f, 1.0f, 0.024f, 1), 12.0f);
    EXPECT_EQ(lookup_table_capacity(1.1f, 2.0f, 0.013f, 1), std::nullopt);
    EXPECT_EQ(lookup_table_capacity(16.0f, 1.0f, 0.014f, 1), std::nullopt);
    EXPECT_EQ(lookup_table_capacity(0.5f, 3.0f, 0.015f, 2), 28.5f);
    EXPECT_EQ(lookup_table_capacity(12.0f, 2.0f, 0.015f, 2), 320.0f);
    EXPECT_EQ(lookup_table_capacity(12.01f, 2.0f, 0.015f, 2), std::nullopt);
    EXPECT_EQ(lookup_table_capacity(4.0f, 2.0f, 0.015f, 3), std::nullopt);
}

TEST(ElementSizing, StandardBoxOfCodeThirtySeven)
{
    StandardSize box = select_standard_size(90.0f, 4.1f, 0.0f, SizingIncrement::NoIncrement, 37, 2, 0.0f);
    EXPECT_EQ(box.height, 4.25f);
    EXPECT_EQ(box.width, 2.0f);
    box = select_standard_size(90.0f, 4.1f, 0.0f, SizingIncrement::HalfFootIncrement, 37, 2, 0.0f);
    EXPECT_EQ(box.height, 4.5f);
    EXPECT_EQ(box.width, 2.0f);
    // Higher than the table: nothing selected, the width as it came.
    box = select_standard_size(90.0f, 13.0f, 0.0f, SizingIncrement::NoIncrement, 37, 2, 3.0f);
    EXPECT_EQ(box.height, 0.0f);
    EXPECT_EQ(box.width, 3.0f);
}

TEST(ElementSizing, BoxBeyondTheLargestTrialIsNotRounded)
{
    const BoxSize box = size_box(1.0e9f, 0.004f, 2.3f, 0.015f, 1, SizingIncrement::WholeFootIncrement);
    EXPECT_EQ(box.first, 2.3f);
    EXPECT_EQ(box.second, 1000.0f);
}

TEST(ElementSizing, BoxFromARatioIsTwiceAsWideAsHigh)
{
    const BoxSize box = size_box(250.0f, 0.004f, 2.0f, 0.015f, 2, SizingIncrement::NoIncrement);
    EXPECT_FLOAT_EQ(box.second, 2.0f * box.first);
    // The box found carries the flow.
    EXPECT_NEAR(compute_box_capacity(RectangularBox{box.second, box.first, 0.015f}, 0.004f), 250.0f, 1.0f);
}

TEST(ElementSizing, NormalDepthCarriesTheFlow)
{
    const float depth = solve_trapezoid_normal_depth(0.002f, 600.0f, 2.0f, 10.0f, 0.015f);
    EXPECT_NEAR(compute_trapezoid_capacity(TrapezoidalChannel{10.0f, 2.0f, 0.015f}, 0.002f, depth), 600.0f, 1.0f);
}

TEST(ElementSizing, Increments)
{
    struct Case {
        float value;
        SizingIncrement increment;
        float result;
    };
    using enum SizingIncrement;
    for (const Case c :
         {Case{4.0f, NoIncrement, 4.0f}, Case{4.0f, QuarterFootIncrement, 4.0f}, Case{4.0f, HalfFootIncrement, 4.0f},
          Case{4.0f, WholeFootIncrement, 4.0f}, Case{4.1f, NoIncrement, 4.1f}, Case{4.1f, QuarterFootIncrement, 4.25f},
          Case{4.1f, HalfFootIncrement, 4.5f}, Case{4.1f, WholeFootIncrement, 5.0f},
          Case{4.25f, QuarterFootIncrement, 4.25f}, Case{4.6f, QuarterFootIncrement, 4.75f},
          Case{4.9f, QuarterFootIncrement, 5.0f}, Case{4.5f, HalfFootIncrement, 4.5f},
          Case{4.51f, HalfFootIncrement, 5.0f}}) {
        EXPECT_EQ(round_to_increment(c.value, c.increment), c.result) << c.value;
    }
}

}  // namespace
}  // namespace velm
