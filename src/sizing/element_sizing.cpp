#include "sizing/element_sizing.h"

#include <array>
#include <cmath>
#include <cstddef>

#include "records/link_data_base.h"
#include "sizing/element_hydraulics.h"

namespace velm {

namespace {

// The standard pipe table: diameter (ft) and capacity (cfs) at Manning n
// 0.014 and 0.024.
struct StandardPipeRow {
    float diameter;
    float capacity_n014;
    float capacity_n024;
};
constexpr std::array<StandardPipeRow, 33> STANDARD_PIPES{{
    {1.00f, 7.0f, 7.0f},        {1.25f, 11.0f, 12.0f},      {1.50f, 16.0f, 17.0f},      {1.75f, 23.0f, 26.0f},
    {2.00f, 30.0f, 32.0f},      {2.25f, 38.0f, 39.0f},      {2.50f, 47.0f, 48.0f},      {2.75f, 58.0f, 60.0f},
    {3.00f, 70.0f, 72.0f},      {3.50f, 95.0f, 98.0f},      {4.00f, 130.0f, 132.0f},    {4.50f, 165.0f, 170.0f},
    {5.00f, 210.0f, 215.0f},    {5.50f, 255.0f, 265.0f},    {6.00f, 310.0f, 325.0f},    {6.50f, 375.0f, 380.0f},
    {7.00f, 440.0f, 445.0f},    {7.50f, 525.0f, 525.0f},    {8.00f, 600.0f, 600.0f},    {8.50f, 680.0f, 700.0f},
    {9.00f, 780.0f, 790.0f},    {9.50f, 890.0f, 900.0f},    {10.00f, 990.0f, 1000.0f},  {10.50f, 1100.0f, 1100.0f},
    {11.00f, 1200.0f, 1225.0f}, {11.50f, 1350.0f, 1350.0f}, {12.00f, 1450.0f, 1500.0f}, {12.50f, 1600.0f, 1650.0f},
    {13.00f, 1800.0f, 1800.0f}, {13.50f, 1950.0f, 1950.0f}, {14.00f, 2100.0f, 2100.0f}, {14.50f, 2300.0f, 2300.0f},
    {15.00f, 2400.0f, 2500.0f},
}};

// The standard box table: capacity (cfs) per foot of width for the heights
// 1.00 to 12.00 ft in steps of 0.25 ft.
constexpr float FIRST_BOX_HEIGHT = 1.0f;  // ft
constexpr float BOX_HEIGHT_STEP = 0.25f;  // ft
constexpr std::array<float, 45> BOX_CAPACITY_PER_FOOT{
    9.5f,   11.5f,  14.5f,  17.5f,  19.5f,  22.0f,  25.0f,  27.0f,  31.0f,  33.0f,  37.0f,  39.0f,
    42.0f,  45.0f,  48.0f,  52.0f,  55.0f,  58.0f,  61.0f,  64.0f,  67.0f,  70.0f,  74.0f,  77.0f,
    81.0f,  84.0f,  88.0f,  92.0f,  95.0f,  99.0f,  102.0f, 106.0f, 110.0f, 114.0f, 119.0f, 122.0f,
    126.0f, 130.0f, 135.0f, 138.0f, 142.0f, 145.0f, 150.0f, 155.0f, 160.0f,
};

float box_height(std::size_t row)
{
    return FIRST_BOX_HEIGHT + BOX_HEIGHT_STEP * static_cast<float>(row);
}

// The row of a table for a key: the first row for a key at or below the
// first key, otherwise row i + 1 of the first interval key(i) < key <=
// key(i + 1); nothing above the last key.
template <class KeyOf>
std::optional<std::size_t> table_row(std::size_t rows, float key, KeyOf key_of)
{
    if (key <= key_of(0)) return 0;
    for (std::size_t i = 0; i + 1 < rows; ++i)
        if (key_of(i) < key && key <= key_of(i + 1)) return i + 1;
    return std::nullopt;
}

// The diameter of the standard pipe for a flow at or below 2400 cfs: 1 ft up
// to 7 cfs, otherwise by the table rule on the n-0.014 capacities.
float standard_pipe_diameter(float flow)
{
    if (flow <= STANDARD_PIPES[0].capacity_n014) return STANDARD_PIPES[0].diameter;
    const std::optional<std::size_t> row =
        table_row(STANDARD_PIPES.size(), flow, [](std::size_t i) { return STANDARD_PIPES[i].capacity_n014; });
    return row ? STANDARD_PIPES[*row].diameter : 0.0f;
}

// The barrels of a flow above 2400 cfs: one more than the whole number of
// 2400 cfs in it, so that a whole multiple of 2400 cfs gets a spare barrel.
float barrels_for(float flow)
{
    return std::trunc(flow / MAX_SINGLE_PIPE_FLOW) + 1.0f;
}

// Comparison of a trial section with the flow it must carry: below 0 the
// section is too small, above 0 too large, 0 exactly right.
enum class TrialFit { TooSmall, TooLarge, Exact };

// The bisection of the size solvers on [low, high] from `start`: a trial that
// is too small raises the lower bracket, one too large lowers the upper; the
// next trial is the middle of the bracket.  It ends on an exact fit, when
// the middle lies within 0.002 ft of the trial (the result is then halfway
// between them), or after `max_evaluations` trials (the result is then the
// last middle).  A trial that cannot be compared (NaN) counts as exact.
struct Bisection {
    float result = 0.0f;
    float last_trial = 0.0f;  // the last value tried, which the result may lie beside
};
template <class Fit>
Bisection bisect(float start, float low, float high, int max_evaluations, Fit fit)
{
    constexpr float TOLERANCE = 0.002f;  // ft
    float trial = start;
    for (int count = 1; count <= max_evaluations; ++count) {
        switch (fit(trial)) {
            case TrialFit::TooSmall:
                low = trial;
                break;
            case TrialFit::TooLarge:
                high = trial;
                break;
            case TrialFit::Exact:
                return {trial, trial};
        }
        const float middle = (low + high) / 2.0f;
        if (std::fabs(trial - middle) < TOLERANCE) return {(trial + middle) / 2.0f, trial};
        if (count == max_evaluations) return {middle, trial};
        trial = middle;
    }
    return {trial, trial};
}

constexpr int BOX_EVALUATIONS = 31;
constexpr int TRAPEZOID_EVALUATIONS = 30;

// The box's capacity factor (1.486 / n) x S^0.5; 0.0 for a slope of 0 or below.
float box_conveyance_factor(float slope, float manning_n)
{
    if (!(slope > 0.0f)) return 0.0f;
    return MANNING_FACTOR / manning_n * std::sqrt(slope);
}

float box_full_capacity(float factor, float first, float second)
{
    const float area = first * second;
    const float perimeter = 2.0f * (first + second);
    return factor * area * std::pow(area / perimeter, HYDRAULIC_RADIUS_EXPONENT);
}

// The channel solvers' test f = 1 - Q n P^0.6667 / (1.486 A^1.6667 S^0.5) of
// a trial section of base width b and flow depth y; f < 0: too small.  At a
// slope of 0 or below no section carries a positive flow.
TrialFit trapezoid_fit(float slope, float flow, float side_slope, float base_width, float depth, float manning_n)
{
    constexpr float AREA_EXPONENT = 1.6667f;
    float f = 0.0f;
    if (slope > 0.0f) {
        const float area = (side_slope * depth + base_width) * depth;
        const float perimeter = base_width + 2.0f * depth * std::sqrt(side_slope * side_slope + 1.0f);
        f = 1.0f - flow * manning_n * std::pow(perimeter, HYDRAULIC_RADIUS_EXPONENT) /
                       (MANNING_FACTOR * std::pow(area, AREA_EXPONENT) * std::sqrt(slope));
    } else {
        f = flow > 0.0f ? -1.0f : 1.0f;
    }
    if (f < 0.0f) return TrialFit::TooSmall;
    if (f > 0.0f) return TrialFit::TooLarge;
    return TrialFit::Exact;
}

}  // namespace

float size_circular_pipe(float& slope, float flow, float manning_n)
{
    if (slope <= 0.0f) slope = DEFAULT_ELEMENT_SLOPE;
    if (!(flow > 0.0f)) return 0.0f;
    const float exact = std::pow(flow / std::sqrt(slope) / INVERTED_FULL_PIPE_COEFFICIENT * manning_n, 0.375f);
    return round_up_pipe_diameter(INCHES_PER_FOOT * exact);
}

float round_up_pipe_diameter(float exact_inches)
{
    const auto round_up = [exact_inches](float step) {
        const float steps = exact_inches / step;
        const float whole = std::trunc(steps);
        return step * (steps == whole ? whole : whole + 1.0f) / INCHES_PER_FOOT;
    };
    float diameter = round_up(3.0f);
    if (diameter > 8.0f) diameter = round_up(6.0f);
    return diameter;
}

StandardPipe select_standard_pipe(float flow)
{
    StandardPipe pipe;
    float barrels = 1.0f;
    float per_barrel = flow;
    if (flow > STANDARD_PIPES[0].capacity_n014 && flow > MAX_SINGLE_PIPE_FLOW) {
        barrels = barrels_for(flow);
        per_barrel = flow / barrels;
    }
    pipe.diameter = standard_pipe_diameter(per_barrel);
    pipe.barrels = barrels == 1.0f ? 0.0f : barrels;
    return pipe;
}

std::optional<float> lookup_table_capacity(float size, float factor, float manning_n, int element_type)
{
    if (element_type == static_cast<int>(ElementType::Pipe)) {
        const bool concrete = manning_n == STANDARD_PIPE_N_CONCRETE;
        if (!concrete && manning_n != STANDARD_PIPE_N_CORRUGATED) return std::nullopt;
        const std::optional<std::size_t> row =
            table_row(STANDARD_PIPES.size(), size, [](std::size_t i) { return STANDARD_PIPES[i].diameter; });
        if (!row) return std::nullopt;
        const StandardPipeRow& pipe = STANDARD_PIPES[*row];
        return (concrete ? pipe.capacity_n014 : pipe.capacity_n024) * factor;
    }
    if (element_type == static_cast<int>(ElementType::Box)) {
        const std::optional<std::size_t> row = table_row(BOX_CAPACITY_PER_FOOT.size(), size, box_height);
        if (!row) return std::nullopt;
        return BOX_CAPACITY_PER_FOOT[*row] * factor;
    }
    return std::nullopt;
}

StandardSize select_standard_size(float flow, float existing_height, float existing_width_or_count,
                                  SizingIncrement increment, int process_code, int element_type, float incoming_width)
{
    constexpr int STANDARD_CONDUIT = 37;
    constexpr int STANDARD_CONDUIT_KEPT_COUNT = 47;
    StandardSize size;
    size.width = incoming_width;
    const bool standard = process_code == STANDARD_CONDUIT || process_code == STANDARD_CONDUIT_KEPT_COUNT;

    if (standard && element_type == static_cast<int>(ElementType::Pipe)) {
        float barrels = 1.0f;
        float per_pipe = flow;
        if (process_code == STANDARD_CONDUIT) {
            if (flow > STANDARD_PIPES[0].capacity_n014 && flow > MAX_SINGLE_PIPE_FLOW) {
                barrels = barrels_for(flow);
                per_pipe = flow / barrels;
            }
        } else {
            // At least the pipes that are there; a count below one is one pipe.
            barrels = existing_width_or_count >= 1.0f ? existing_width_or_count : 1.0f;
            per_pipe = flow / barrels;
            if (per_pipe > MAX_SINGLE_PIPE_FLOW) {
                barrels = barrels_for(flow);
                per_pipe = flow / barrels;
            }
        }
        size.height = standard_pipe_diameter(per_pipe);
        size.width = barrels == 1.0f ? 0.0f : barrels;
        return size;
    }

    if (standard && element_type == static_cast<int>(ElementType::Box)) {
        const std::optional<std::size_t> row = table_row(BOX_CAPACITY_PER_FOOT.size(), existing_height, box_height);
        if (row) {
            size.height = box_height(*row);
            size.width = flow / BOX_CAPACITY_PER_FOOT[*row];
        }
    }
    size.height = round_to_increment(size.height, increment);
    size.width = round_to_increment(size.width, increment);
    return size;
}

BoxSize size_box(float flow, float slope, float given, float manning_n, int mode, SizingIncrement increment)
{
    const float factor = box_conveyance_factor(slope, manning_n);
    if (mode == static_cast<int>(BoxSizingMode::SolveSecondDimension)) {
        const float first = given;
        if (flow >= box_full_capacity(factor, first, LARGEST_BOX_DIMENSION)) return {first, LARGEST_BOX_DIMENSION};
        const float second =
            bisect(LARGEST_BOX_DIMENSION / 2.0f, 0.0f, LARGEST_BOX_DIMENSION, BOX_EVALUATIONS, [&](float trial) {
                const float capacity = box_full_capacity(factor, first, trial);
                if (capacity < flow) return TrialFit::TooSmall;
                if (capacity > flow) return TrialFit::TooLarge;
                return TrialFit::Exact;
            }).result;
        return {first, round_to_increment(second, increment)};
    }

    // The ratio r = second / first: flowing full, Q = K c first^(8/3).
    constexpr float RATIO_EXPONENT = 0.667f;
    const float ratio = given;
    const float shape = ratio * std::pow(ratio / (2.0f * (ratio + 1.0f)), RATIO_EXPONENT);
    const float conveyance = factor * shape;
    // A box without conveyance carries nothing: the largest box, as when a
    // given first dimension cannot carry the flow.
    if (!(conveyance > 0.0f)) return {LARGEST_BOX_DIMENSION, ratio * LARGEST_BOX_DIMENSION};
    const float first = flow > 0.0f ? std::pow(flow / conveyance, 0.375f) : 0.0f;
    const float second = ratio * first;
    return {round_to_increment(first, increment), round_to_increment(second, increment)};
}

float solve_trapezoid_normal_depth(float slope, float flow, float side_slope, float base_width, float manning_n)
{
    return bisect(LARGEST_CHANNEL_DIMENSION / 2.0f, 0.0f, LARGEST_CHANNEL_DIMENSION, TRAPEZOID_EVALUATIONS,
                  [&](float depth) { return trapezoid_fit(slope, flow, side_slope, base_width, depth, manning_n); })
        .result;
}

TrapezoidSize size_trapezoid(float slope, float flow, float side_slope, float freeboard, float manning_n, int mode,
                             float given, SizingIncrement increment)
{
    constexpr int GIVEN_BASE_WIDTH = 1;
    constexpr int GIVEN_DEPTH_RATIO = 2;
    constexpr int GIVEN_FLOW_DEPTH_EXCHANGED = 0;
    const float start = LARGEST_CHANNEL_DIMENSION / 2.0f;
    TrapezoidSize size;

    if (mode == GIVEN_BASE_WIDTH) {
        const float depth = solve_trapezoid_normal_depth(slope, flow, side_slope, given, manning_n);
        size.depth_result = round_to_increment(depth + freeboard, increment);
        size.width_argument = given;
        return size;
    }
    if (mode == GIVEN_DEPTH_RATIO) {
        const float ratio = given;
        // The base width is that of the last trial, which the depth found
        // may lie just beside.
        const Bisection depth = bisect(start, 0.0f, LARGEST_CHANNEL_DIMENSION, TRAPEZOID_EVALUATIONS, [&](float y) {
            return trapezoid_fit(slope, flow, side_slope, y / ratio, y, manning_n);
        });
        size.depth_result = round_to_increment(depth.result + freeboard, increment);
        size.width_argument = round_to_increment(depth.last_trial / ratio, increment);
        return size;
    }

    const float depth = given;
    const float base_width = bisect(start, 0.0f, LARGEST_CHANNEL_DIMENSION, TRAPEZOID_EVALUATIONS, [&](float b) {
                                 return trapezoid_fit(slope, flow, side_slope, b, depth, manning_n);
                             }).result;
    if (mode == GIVEN_FLOW_DEPTH_EXCHANGED) {
        size.width_argument = round_to_increment(depth + freeboard, increment);
        size.depth_result = round_to_increment(base_width, increment);
    } else {
        size.width_argument = round_to_increment(base_width, increment);
        size.depth_result = round_to_increment(depth + freeboard, increment);
    }
    return size;
}

float round_to_increment(float value, SizingIncrement increment)
{
    const float whole = std::trunc(value);
    const float fraction = value - whole;
    if (!(fraction > 0.0f)) return value;
    switch (increment) {
        case SizingIncrement::QuarterFootIncrement:
            if (fraction <= 0.25f) return whole + 0.25f;
            if (fraction <= 0.5f) return whole + 0.5f;
            if (fraction <= 0.75f) return whole + 0.75f;
            return whole + 1.0f;
        case SizingIncrement::HalfFootIncrement:
            return fraction <= 0.5f ? whole + 0.5f : whole + 1.0f;
        case SizingIncrement::WholeFootIncrement:
            return whole + 1.0f;
        default:
            return value;
    }
}

}  // namespace velm
