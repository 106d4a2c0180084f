// The telescoping decision of each link along a string.
#include "sizing/telescoping_rules.h"

#include <algorithm>
#include <cmath>

#include "sizing/element_sizing.h"

namespace velm {

namespace {

constexpr float QUARTER_PI = 0.7854f;
constexpr float LARGE_PIPE_STEP_LIMIT = 8.0f;  // ft: quarter-foot steps up to here, half-foot steps above

constexpr int PIPE = 1;
constexpr int BOX = 2;
constexpr int CHANNEL = 3;

constexpr int NO_AREA_REDUCTION = 1;
constexpr int NO_INTERFACE_TELESCOPING = 1;
constexpr int STRING_BASIS = 1;

// The element a link is given, as the rules shape it.
struct Candidate {
    float size = 0.0f;   // ft: diameter, height or depth
    float width = 0.0f;  // ft: base width (pipes: number of pipes)
    float side_slope = 0.0f;
    float friction = 0.0f;   // Manning n
    float freeboard = 0.0f;  // ft
};

float pipe_area(float diameter)
{
    return QUARTER_PI * diameter * diameter;
}

// The cross-section area of the link's element of this shape and size, with
// the width, side slope and freeboard the deficiency pass sized (columns 93,
// 94 and 96).
float element_area(int shape, float size, const TelescopingLinkRow& row)
{
    switch (shape) {
        case PIPE:
            return pipe_area(size);
        case BOX:
            return size * row.recommended_base_width;
        default: {
            const float depth = size - row.recommended_freeboard;
            return depth * (row.recommended_base_width + row.recommended_side_slope * depth);
        }
    }
}

// A box brought up to the area upstream `area`.
Candidate box_rule(Candidate box, float area, int code, const TelescopingLinkRow& row)
{
    const float barrels = code == 36 ? std::trunc(row.element_height) : 1.0f;
    if (barrels != 1.0f) {
        box.width = std::sqrt(area / row.element_base_width);
        box.size = box.width * row.element_base_width;
        box.side_slope = row.recommended_side_slope;
        box.friction = row.recommended_friction_factor;
    } else if (code == 46) {
        box.size = row.element_height;
        box.width = area / row.element_height;
        box.side_slope = row.element_side_slope;
        box.friction = row.element_friction_factor;
    } else {
        box.size = area / row.recommended_base_width;
        box.width = row.recommended_base_width;
        box.side_slope = row.recommended_side_slope;
        box.friction = row.recommended_friction_factor;
    }
    return box;
}

// A trapezoidal channel brought up to the area upstream `area`.
Candidate channel_rule(Candidate channel, float area, int code, const TelescopingLinkRow& row)
{
    float barrels = 1.0f;
    if (code == 56) barrels = std::trunc(row.element_height);
    if (code == 51) barrels = 0.0f;
    if (barrels == 0.0f) {
        channel.size = row.element_height;
        channel.width = area / row.element_height - row.element_side_slope * row.element_height;
        channel.side_slope = row.element_side_slope;
        channel.friction = row.element_friction_factor;
        channel.freeboard = 0.0f;
    } else if (barrels == 1.0f) {
        const float b = row.recommended_base_width;
        const float z = row.recommended_side_slope;
        channel.width = b;
        channel.size = (std::sqrt(b * b + 4.0f * area * z) - b) / 2.0f / z + row.recommended_freeboard;
    } else {
        const float ratio = row.element_base_width;
        channel.width = std::sqrt(area / (row.recommended_side_slope * ratio * ratio + ratio));
        channel.size = channel.width * ratio + row.recommended_freeboard;
        channel.side_slope = row.recommended_side_slope;
        channel.freeboard = row.recommended_freeboard;
        channel.friction = row.recommended_friction_factor;
    }
    return channel;
}

// A rule's dimensions are taken only when they are numbers: a rule whose
// divisor is zero (a box or channel without the height, width or slope it
// keeps) leaves the size and dimensions found before it.
void take_if_finite(Candidate& candidate, const Candidate& ruled)
{
    if (std::isfinite(ruled.size) && std::isfinite(ruled.width)) candidate = ruled;
}

// The same-shape rule of a link whose element would be smaller than the one
// upstream, applied only where the shape's area setting forbids reductions.
void apply_same_shape_rule(int shape, Candidate& candidate, float& area, const StringTelescopingState& state, int code,
                           const TelescopingLinkRow& row, const TelescopingSettings& settings)
{
    switch (shape) {
        case PIPE:
            if (settings.pipe_area_telescoping != NO_AREA_REDUCTION) return;
            candidate.size = std::max(candidate.size, state.previous_size);
            area = pipe_area(candidate.size);
            return;
        case BOX:
            if (settings.box_area_telescoping == NO_AREA_REDUCTION) {
                take_if_finite(candidate, box_rule(candidate, area, code, row));
            }
            return;
        case CHANNEL:
            if (settings.channel_area_telescoping == NO_AREA_REDUCTION) {
                take_if_finite(candidate, channel_rule(candidate, area, code, row));
            }
            return;
        default:
            return;
    }
}

float pipe_friction_factor(float manning_n, const TelescopingSettings& settings)
{
    return settings.pipe_capacity_model == option_code(PipeCapacityModel::NormalDepthCapacity)
               ? manning_n / NORMAL_DEPTH_MANNING_DIVISOR
               : manning_n;
}

}  // namespace

float next_constructible_pipe_size(float diameter)
{
    const float step = diameter <= LARGE_PIPE_STEP_LIMIT ? 0.25f : 0.5f;
    return (std::trunc(diameter / step) + 1.0f) * step;
}

TelescopedStringRecord start_string(const StringRecord& line, const TelescopingLinkRow& row,
                                    StringTelescopingState& state, const TelescopingSettings& settings)
{
    state = StringTelescopingState{};
    state.running_target_flow = std::max(row.target_flow_rate, 0.0f);
    state.previous_shape = static_cast<int>(row.recommended_type);
    state.previous_size = row.element_size;
    if (state.running_target_flow > 0.0f && state.previous_size < settings.min_pipe_diameter) {
        state.previous_size = settings.min_pipe_diameter;
    }
    state.carried_flow = std::fabs(row.target_flow_rate);
    state.previous_friction_factor = row.element_friction_factor;
    return first_string_link_record(line, row, state.carried_flow);
}

LinkDecision decide_link_telescoping(TelescopingLinkRow& row, StringTelescopingState& state,
                                     const TelescopingSettings& settings)
{
    const int code = static_cast<int>(std::fabs(row.process_code));
    const bool deficient = row.max_deficiency > 0.0f;

    float link_flow = row.largest_excess_flow;
    int shape = static_cast<int>(std::fabs(row.recommended_type));
    Candidate candidate;
    candidate.size = std::fabs(row.element_size);
    candidate.width = deficient ? row.recommended_base_width : row.element_base_width;
    candidate.side_slope = deficient ? row.recommended_side_slope : row.element_side_slope;
    candidate.friction = deficient ? row.recommended_friction_factor : row.element_friction_factor;
    candidate.freeboard = deficient ? row.recommended_freeboard : row.channel_freeboard;

    LinkDecision decision;
    decision.link_friction_factor = row.element_friction_factor;
    decision.pipe_friction_factor = pipe_friction_factor(row.element_friction_factor, settings);

    // Shape: the recommended one, else by the process code.
    if (state.previous_shape == 0) state.previous_shape = shape;
    if (shape == 0) shape = code == 46 ? BOX : code == 51 ? CHANNEL : PIPE;
    float area = element_area(shape, candidate.size, row);
    if (row.element_type == 0.0f && (code == 52 || code == 53)) shape = CHANNEL;

    bool receives_element = true;
    bool area_raised = false;
    if (state.element_capacity == 0.0f && !deficient) {
        // Nothing upstream asks for an element and the link needs none.
        receives_element = false;
        candidate.size = 0.0f;
    } else if (row.element_type > 1.0f) {
        // An existing box or channel gets the size found so far, or none.
        if (row.max_deficiency == 0.0f) {
            receives_element = false;
            candidate.size = 0.0f;
        }
    } else {
        if (shape == PIPE && link_flow > 0.0f && candidate.size < settings.min_pipe_diameter) {
            candidate.size = settings.min_pipe_diameter;
        }
        if (settings.capacity_telescoping == STRING_BASIS && shape == PIPE && link_flow < state.running_target_flow) {
            link_flow = state.running_target_flow;
            candidate.size = std::max(
                size_circular_pipe(row.sizing_friction_slope, state.running_target_flow, decision.pipe_friction_factor),
                settings.min_pipe_diameter);
            area = pipe_area(candidate.size);
        }
        if (area < state.previous_area) {
            area_raised = true;
            area = state.previous_area;
            if (shape == state.previous_shape) {
                apply_same_shape_rule(shape, candidate, area, state, code, row, settings);
            } else if (settings.element_interfacing == NO_INTERFACE_TELESCOPING) {
                receives_element = deficient;
            } else if (shape == PIPE) {
                candidate.size = next_constructible_pipe_size(std::sqrt(state.previous_area / QUARTER_PI));
            } else {
                apply_same_shape_rule(shape, candidate, area, state, code, row, settings);
            }
        }
    }

    // Existing pipes that are not deficient.
    const int existing_rule = settings.existing_element_telescoping;
    if (row.element_type == 1.0f && existing_rule >= 2 && existing_rule <= 4 && !deficient) {
        receives_element = false;
        if (existing_rule == 2) candidate.size = row.element_height;
        if (existing_rule == 4) candidate.size = std::max(candidate.size, row.element_height);
        if (existing_rule != 3) area = pipe_area(candidate.size);
    } else if (row.element_type == 1.0f && existing_rule == 1 && row.max_deficiency == 0.0f &&
               candidate.size <= row.element_height) {
        receives_element = false;
        candidate.size = row.element_size;
        link_flow = row.largest_peak_flow;
    }

    // The values carried down the string.
    state.running_target_flow = std::max(state.running_target_flow, row.target_flow_rate);
    float carried_flow = std::fabs(row.target_flow_rate);
    if (settings.carried_flow_source == 1) carried_flow = std::max(carried_flow, state.carried_flow);
    state.previous_size = candidate.size;
    state.carried_flow = carried_flow;
    row.largest_excess_flow = link_flow;
    row.element_size = candidate.size;
    row.largest_peak_flow = carried_flow;
    if ((shape == BOX || shape == CHANNEL) && area_raised) {
        row.recommended_base_width = candidate.width;
        row.recommended_side_slope = candidate.side_slope;
        row.recommended_friction_factor = candidate.friction;
        row.recommended_freeboard = candidate.freeboard;
    }
    state.previous_area = area;
    state.previous_shape = shape;

    decision.element_shape = shape;
    decision.chosen_size = candidate.size;
    decision.candidate_width = candidate.width;
    decision.candidate_size = candidate.size;
    decision.candidate_side_slope = candidate.side_slope;
    decision.candidate_friction_factor = candidate.friction;
    decision.candidate_freeboard = candidate.freeboard;
    decision.keep_existing = !receives_element;
    decision.carried_flow = carried_flow;
    return decision;
}

std::vector<TelescopedStringRecord> telescope_string(const std::vector<StringRecord>& lines, TelescopingTables& tables,
                                                     const TelescopingSettings& settings)
{
    std::vector<TelescopedStringRecord> records;
    records.reserve(lines.size());
    // A string whose first line has no link of its own starts from nothing,
    // never from the string before it.
    StringTelescopingState state;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const StringRecord& line = lines[k];
        TelescopingLinkRow* row = tables.links.find(line.upstream_node, line.downstream_node);
        if (row == nullptr) {
            records.push_back(write_unmatched_string_link(line, state));
        } else if (k == 0) {
            records.push_back(start_string(line, *row, state, settings));
        } else {
            const LinkDecision decision = decide_link_telescoping(*row, state, settings);
            records.push_back(complete_string_link(*row, line, decision, state, settings));
        }
    }
    apply_user_elements_to_string(records, tables.user_elements, settings.model_type_code);
    return records;
}

}  // namespace velm
