// Element hydraulics: the flow capacity of the conveyance elements of a link
// by the Manning formula in US customary units.
//
//   circular pipe        flowing full
//   rectangular box      flowing full
//   trapezoidal channel  at a flow depth
//   code-92 section      a V-bottomed channel with vertical walls whose flow
//                        spreads over sloping banks above the walls, at a depth
//   street section       curb, gutter, two lane crossfalls and the parkway,
//                        at the flow depth at the curb
//
// Every section answers the same question, its capacity (cfs) at a flow depth
// (ft) and a slope (ft/ft): `section_capacity` asks it of any of them alike.
// For a section of area A (sq ft) and wetted perimeter P (ft) the capacity is
// (1.486 / n) x A x (A / P)^0.6667 x S^0.5; the exponent 0.6667 and the
// full-pipe coefficient 0.4631646 are the system's own literals, kept so that
// stored capacities stay what they have always been.
//
// A few routines repair an argument the caller gave them and hand the
// repaired value back, because the caller keeps working with it: the slope of
// a full pipe and of a code-92 section (0.002 for a slope of 0 or below), the
// Manning n of a code-92 section (0.015) and the parkway n of a street
// (0.02).  A slope of 0 or below that no routine repairs carries nothing: the
// capacity is 0.0.
//
// Pure functions: no state between calls.
#pragma once

#include <variant>

namespace velm {

// The Manning factor of US customary units and the exponent of the
// hydraulic radius.
inline constexpr float MANNING_FACTOR = 1.486f;
inline constexpr float HYDRAULIC_RADIUS_EXPONENT = 0.6667f;
// 1.486 x pi/4 x 4^(-2/3): the full-pipe formula in the diameter alone.
inline constexpr float FULL_PIPE_COEFFICIENT = 0.4631646f;
inline constexpr float DEFAULT_ELEMENT_SLOPE = 0.002f;          // ft/ft, for a slope of 0 or below
inline constexpr float DEFAULT_VEE_SECTION_MANNING_N = 0.015f;  // for an n of 0 or below
inline constexpr float DEFAULT_PARKWAY_MANNING_N = 0.02f;       // for an n of 0 or below

// A circular pipe flowing full.
struct CircularPipe {
    float diameter = 0.0f;   // ft
    float manning_n = 0.0f;  // -
};

// A rectangular box flowing full.
struct RectangularBox {
    float width = 0.0f;      // ft
    float height = 0.0f;     // ft
    float manning_n = 0.0f;  // -
};

// A trapezoidal open channel.
struct TrapezoidalChannel {
    float base_width = 0.0f;  // ft
    float side_slope = 0.0f;  // Z, horizontal over vertical
    float manning_n = 0.0f;   // -
};

// The code-92 section: a V of top width W and depth H1 under a rectangle of
// width W and height H2; above h0 = H1 + H2 the flow spreads over banks on
// both sides.
struct VeeSection {
    float width = 0.0f;        // ft, W
    float vee_depth = 0.0f;    // ft, H1
    float wall_height = 0.0f;  // ft, H2
    float bank_slope = 0.0f;   // s, vertical over horizontal
    float manning_n = 0.0f;    // -; 0 or below is repaired to 0.015
};

// One side of a street, from the curb face to the crown, and its parkway
// behind the curb; `side_count` sides carry flow.
struct StreetSection {
    float curb_height = 0.0f;                   // ft
    float half_width = 0.0f;                    // ft, HW: curb face to crown
    float gutter_lip = 0.0f;                    // ft, LIP
    float gutter_width = 0.0f;                  // ft, GW
    float gutter_hike = 0.0f;                   // ft, HIKE
    float crown_to_gradebreak_distance = 0.0f;  // ft, DCG
    float center_lane_crossfall = 0.0f;         // XC, ft/ft
    float outside_lane_crossfall = 0.0f;        // XO, ft/ft
    float parkway_crossfall = 0.0f;             // XP, ft/ft; exactly 0.0 = no parkway flow
    int side_count = 0;                         // sides of the street that carry flow
    float manning_n = 0.0f;                     // - of the street
    float parkway_manning_n = 0.0f;             // - of the parkway; 0 or below is repaired to 0.02
};

// Capacity (cfs) of a pipe flowing full: (0.4631646 / n) x D^(8/3) x S^0.5.
// `slope` (ft/ft) of 0 or below becomes 0.002, in the caller's variable too.
float compute_pipe_full_capacity(const CircularPipe& pipe, float& slope);

// Capacity (cfs) of the pipes of a link: the full-pipe capacity times the
// number of pipes when there are more than one.  A pipe at a normal depth of
// 0.82 D carries its full-flow capacity; at 0.93 D (`normal_depth`) 1.076
// times it.  `slope` is repaired as for one pipe.
inline constexpr float NORMAL_DEPTH_PIPE_FACTOR = 1.076f;
float compute_pipe_element_capacity(const CircularPipe& pipe, float pipe_count, bool normal_depth, float& slope);

// Capacity (cfs) of a box flowing full at `slope` (ft/ft).
float compute_box_capacity(const RectangularBox& box, float slope);

// Capacity (cfs) of a trapezoidal channel at flow depth `depth` (ft) and
// `slope` (ft/ft).
float compute_trapezoid_capacity(const TrapezoidalChannel& channel, float slope, float depth);

// Capacity (cfs) of a code-92 section at flow depth `depth` (ft).  `slope`
// (ft/ft) of 0 or below becomes 0.002 and the section's n of 0 or below
// 0.015, both in the caller's variables.  A depth of 0 or below carries
// nothing; a depth within the walls (below h0) carries what the lower part,
// the V and the walls, carries flowing full.
float compute_vee_section_capacity(VeeSection& section, float& slope, float depth);

// Capacity (cfs) of a street at flow depth `depth` (ft, at the curb's flow
// line) and `slope` (ft/ft): street and parkway flow of one side times the
// side count.  The parkway n of 0 or below becomes 0.02 in the caller's
// section.
float compute_street_capacity(StreetSection& street, float slope, float depth);

// Any of the sections.
using ConveyanceSection = std::variant<CircularPipe, RectangularBox, TrapezoidalChannel, VeeSection, StreetSection>;

// The capacity (cfs) of any section at flow depth `depth` (ft; pipes and
// boxes flow full and do not use it) and `slope` (ft/ft), with the repairs
// of the section's own routine handed back in `section` and `slope`.
float section_capacity(ConveyanceSection& section, float depth, float& slope);

// (1.486 / n) x A x (A / P)^0.6667 x S^0.5 for an area (sq ft) and wetted
// perimeter (ft); 0.0 for a slope of 0 or below.
float manning_capacity(float area, float wetted_perimeter, float manning_n, float slope);

}  // namespace velm
