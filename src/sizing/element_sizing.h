// Element sizing: the size of a new element that carries a required flow.
//
//   size_circular_pipe            diameter by the inverted full-pipe formula,
//                                 rounded up to 3 in (6 in above 8 ft)
//   select_standard_pipe          a standard pipe, with barrels above 2400 cfs
//   lookup_table_capacity         the tabulated capacity of a standard conduit
//   select_standard_size          a standard pipe or box for the conduits of
//                                 process codes 37 and 47
//   size_box                      a box by bisection or from a width/height ratio
//   size_trapezoid                a trapezoidal channel by bisection
//   solve_trapezoid_normal_depth  the normal depth of a trapezoidal channel
//   round_to_increment            a dimension raised to a constructible increment
//
// Lengths are ft, flows cfs, slopes ft/ft, side slopes Z horizontal over
// vertical.  The literals are the system's own: 0.4631644 (a different one
// from the 0.4631646 of the full-pipe capacity), 0.375, 1.6667, 0.667 and
// 12 in/ft.  The bisections run exactly as they always have (start, bracket,
// stopping rule, result), so that sizes stay what engineers have adopted.
// A slope of 0 or below gives a section no capacity: the solvers then find
// no size that carries the flow and end at their largest trial.
//
// Pure functions: no state between calls.
#pragma once

#include <optional>

#include "records/units.h"
#include "shell/control_settings.h"

namespace velm {

inline constexpr float INVERTED_FULL_PIPE_COEFFICIENT = 0.4631644f;
// The last capacity of the standard pipe table: a larger flow is split over
// barrels.
inline constexpr float MAX_SINGLE_PIPE_FLOW = 2400.0f;
// The largest side of a box the box solver tries (ft).
inline constexpr float LARGEST_BOX_DIMENSION = 1000.0f;
// The largest base width or depth the channel solvers try (ft).
inline constexpr float LARGEST_CHANNEL_DIMENSION = 500.0f;

// The Manning n of the two capacity columns of the standard pipe table.
inline constexpr float STANDARD_PIPE_N_CONCRETE = 0.014f;
inline constexpr float STANDARD_PIPE_N_CORRUGATED = 0.024f;

// The diameter (ft) of a new pipe that carries `flow` (cfs) at `slope`
// (ft/ft) with Manning n `manning_n`, in one barrel: the exact diameter
// rounded up to a multiple of 3 in, or of 6 in when that is above 8 ft.
// `slope` of 0 or below becomes 0.002, in the caller's variable too; a flow
// of 0 or below needs no pipe (0.0).
float size_circular_pipe(float& slope, float flow, float manning_n);
// The diameter (ft) of a new pipe for an exact diameter (in): up to the next
// multiple of 3 in, or of 6 in when that is above 8 ft; an exact multiple
// stays.
float round_up_pipe_diameter(float exact_inches);

// A standard pipe: diameter (ft) and barrels, 0.0 meaning one barrel.
struct StandardPipe {
    float diameter = 0.0f;
    float barrels = 0.0f;
};
// The standard pipe (n 0.014 column) that carries `flow` (cfs); above 2400
// cfs the flow is split over AINT(flow / 2400) + 1 barrels (three, not two,
// for exactly 4800 cfs).
StandardPipe select_standard_pipe(float flow);

// The tabulated capacity (cfs) of a standard pipe (`element_type` 1,
// `size` the diameter, ft, `factor` the number of pipes, n exactly 0.014 or
// 0.024) or box (`element_type` 2, `size` the height, ft, `factor` the width,
// ft, any n).  Nothing for a size above the table, another n or element type.
std::optional<float> lookup_table_capacity(float size, float factor, float manning_n, int element_type);

// A standard conduit: height or diameter (ft); width (ft) or barrels (0.0
// meaning one barrel).
struct StandardSize {
    float height = 0.0f;
    float width = 0.0f;
};
// The standard conduit for the flow of a process code 37 or 47 element:
// pipes (`element_type` 1) from the pipe table, code 47 keeping at least the
// `existing_width_or_count` pipes; boxes (`element_type` 2) of the first
// tabulated height at or above `existing_height` (ft), as wide as the flow
// needs.  Other combinations, and a box higher than the table, select
// nothing: height 0.0 and the width `incoming_width`.  Everything but a
// selected pipe is rounded to `increment`.
StandardSize select_standard_size(float flow, float existing_height, float existing_width_or_count,
                                  SizingIncrement increment, int process_code, int element_type, float incoming_width);

// How the box solver reads its given dimension.
enum class BoxSizingMode : int {
    SolveSecondDimension = 1,  // the first dimension is given, the second is solved
    // any other value: the given value is the ratio second / first
};
// A box: the first dimension G and the second X (ft).
struct BoxSize {
    float first = 0.0f;
    float second = 0.0f;
};
// The box that carries `flow` (cfs) flowing full at `slope` (ft/ft).  Mode 1:
// `given` is the first dimension (ft), the second is solved by bisection
// (1000 ft, unrounded, when even that cannot carry the flow).  Any other
// mode: `given` is the ratio second / first and both are solved.  Solved
// dimensions are rounded to `increment`.
BoxSize size_box(float flow, float slope, float given, float manning_n, int mode, SizingIncrement increment);

// A trapezoidal channel: `depth_result` and `width_argument`, in the places
// of size_trapezoid's two results (see there).
struct TrapezoidSize {
    float depth_result = 0.0f;
    float width_argument = 0.0f;
};
// The trapezoidal channel of side slope `side_slope` and freeboard
// `freeboard` (ft) that carries `flow` (cfs) at `slope` with n `manning_n`:
//   mode 1  `given` is the base width: depth_result = normal depth + freeboard,
//           width_argument = the base width;
//   mode 2  `given` is the ratio depth / base width: depth_result = depth +
//           freeboard, width_argument = base width;
//   mode 0  `given` is the flow depth: width_argument = depth + freeboard,
//           depth_result = base width (the two results change places);
//   other   as mode 0 without the exchange.
// Results are rounded to `increment`.
TrapezoidSize size_trapezoid(float slope, float flow, float side_slope, float freeboard, float manning_n, int mode,
                             float given, SizingIncrement increment);

// The normal depth (ft) of a trapezoidal channel of base width `base_width`
// (ft) carrying `flow` (cfs), by bisection in [0, 500] ft.
float solve_trapezoid_normal_depth(float slope, float flow, float side_slope, float base_width, float manning_n);

// `value` raised to the next constructible increment: 0.25, 0.5 or 1.0 ft
// for QuarterFoot, HalfFoot and WholeFoot; a whole number, a value of 0 or
// below and NoIncrement leave it as it is.
float round_to_increment(float value, SizingIncrement increment);

}  // namespace velm
