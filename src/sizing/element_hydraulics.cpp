#include "sizing/element_hydraulics.h"

#include <cmath>

namespace velm {

float manning_capacity(float area, float wetted_perimeter, float manning_n, float slope)
{
    if (!(slope > 0.0f)) return 0.0f;
    return MANNING_FACTOR / manning_n * area * std::pow(area / wetted_perimeter, HYDRAULIC_RADIUS_EXPONENT) *
           std::sqrt(slope);
}

float compute_pipe_full_capacity(const CircularPipe& pipe, float& slope)
{
    if (slope <= 0.0f) slope = DEFAULT_ELEMENT_SLOPE;
    if (!(slope > 0.0f)) return 0.0f;
    const float root = std::sqrt(slope);
    const float power = std::pow(pipe.diameter, 8.0f / 3.0f);
    return FULL_PIPE_COEFFICIENT / pipe.manning_n * power * root;
}

float compute_pipe_element_capacity(const CircularPipe& pipe, float pipe_count, bool normal_depth, float& slope)
{
    float capacity = compute_pipe_full_capacity(pipe, slope);
    if (pipe_count > 1.0f) capacity = capacity * pipe_count;
    if (normal_depth) capacity = capacity * NORMAL_DEPTH_PIPE_FACTOR;
    return capacity;
}

float compute_box_capacity(const RectangularBox& box, float slope)
{
    const float area = box.width * box.height;
    const float perimeter = 2.0f * (box.width + box.height);
    return manning_capacity(area, perimeter, box.manning_n, slope);
}

float compute_trapezoid_capacity(const TrapezoidalChannel& channel, float slope, float depth)
{
    const float area = (channel.side_slope * depth + channel.base_width) * depth;
    const float perimeter =
        channel.base_width + 2.0f * depth * std::sqrt(channel.side_slope * channel.side_slope + 1.0f);
    return manning_capacity(area, perimeter, channel.manning_n, slope);
}

float compute_vee_section_capacity(VeeSection& section, float& slope, float depth)
{
    if (slope <= 0.0f) slope = DEFAULT_ELEMENT_SLOPE;
    if (section.manning_n <= 0.0f) section.manning_n = DEFAULT_VEE_SECTION_MANNING_N;
    if (!(depth > 0.0f)) return 0.0f;

    const float w = section.width;
    const float h1 = section.vee_depth;
    const float h2 = section.wall_height;
    const float lower_area = h2 * w + 0.5f * w * h1;
    const float lower_perimeter = 2.0f * h2 + 2.0f * std::sqrt(h1 * h1 + w * w / 4.0f);
    const float top_of_walls = h1 + h2;
    if (depth < top_of_walls) return manning_capacity(lower_area, lower_perimeter, section.manning_n, slope);

    const float rise = depth - top_of_walls;
    const float spread = rise / section.bank_slope;
    const float area = lower_area + rise * w + 2.0f * 0.5f * spread * rise;
    const float perimeter = lower_perimeter + 2.0f * std::sqrt(spread * spread + rise * rise);
    return manning_capacity(area, perimeter, section.manning_n, slope);
}

float compute_street_capacity(StreetSection& street, float slope, float depth)
{
    if (street.parkway_manning_n <= 0.0f) street.parkway_manning_n = DEFAULT_PARKWAY_MANNING_N;

    const float lip = street.gutter_lip;
    const float hike = street.gutter_hike;
    const float gw = street.gutter_width;
    const float hw = street.half_width;
    const float dcg = street.crown_to_gradebreak_distance;
    const float xo = street.outside_lane_crossfall;
    const float xc = street.center_lane_crossfall;

    // Levels at the full gutter, the grade break and the crown; the width
    // from the curb face to the grade break; the lane surface factors.
    const float t0 = lip + hike;
    const float yb = t0 + (hw - dcg - gw) * xo;
    const float yc = yb + dcg * xc;
    const float wb = hw - dcg;
    const float fo = std::sqrt(1.0f + xo * xo);
    const float fc = std::sqrt(1.0f + xc * xc);
    // The gutter running full: curb face up to T0, gutter pan, lip face.
    const float gutter_area = (2.0f * lip + hike) * gw / 2.0f;
    const float gutter_perimeter = 2.0f * lip + hike + std::sqrt(gw * gw + hike * hike);

    const float y = depth;
    float area = 0.0f;
    float perimeter = 0.0f;
    if (y <= t0) {
        area = gutter_area;
        perimeter = gutter_perimeter;
    } else if (y <= yb) {
        const float top = gw + (y - t0) / xo;
        area = gutter_area + (y - t0) * (top + gw) / 2.0f;
        perimeter = gutter_perimeter + (y - t0) + fo * (y - t0) / xo;
    } else if (y <= yc) {
        const float top = wb + (y - yb) / xc;
        area = gutter_area + (yb - t0) * (wb + gw) / 2.0f + (y - yb) * (top + wb) / 2.0f;
        perimeter = gutter_perimeter + (yb - t0) + fo * (yb - t0) / xo + (y - yb) + fc * (y - yb) / xc;
    } else {
        area = gutter_area + (yb - t0) * (wb + gw) / 2.0f + (yc - yb) * (wb + hw) / 2.0f + (y - yc) * hw;
        perimeter = gutter_perimeter + (yb - t0) + fo * (yb - t0) / xo + (y - yb) + fc * dcg;
    }
    // The curb face is wetted only up to its top.
    if (y > street.curb_height) perimeter = perimeter - (y - street.curb_height);

    float capacity = manning_capacity(area, perimeter, street.manning_n, slope);

    if (street.parkway_crossfall != 0.0f && y > street.curb_height) {
        const float xp = street.parkway_crossfall;
        const float dy = y - street.curb_height;
        const float parkway_area = dy * dy / (2.0f * xp);
        const float parkway_perimeter = dy * std::sqrt(1.0f + 1.0f / (xp * xp));
        capacity = capacity + manning_capacity(parkway_area, parkway_perimeter, street.parkway_manning_n, slope);
    }
    return capacity * static_cast<float>(street.side_count);
}

float section_capacity(ConveyanceSection& section, float depth, float& slope)
{
    struct Ask {
        float depth;
        float& slope;
        float operator()(const CircularPipe& pipe) const { return compute_pipe_full_capacity(pipe, slope); }
        float operator()(const RectangularBox& box) const { return compute_box_capacity(box, slope); }
        float operator()(const TrapezoidalChannel& channel) const
        {
            return compute_trapezoid_capacity(channel, slope, depth);
        }
        float operator()(VeeSection& vee) const { return compute_vee_section_capacity(vee, slope, depth); }
        float operator()(StreetSection& street) const { return compute_street_capacity(street, slope, depth); }
    };
    return std::visit(Ask{depth, slope}, section);
}

}  // namespace velm
