// Completion of the lines of a string into their long records.
#include "sizing/string_completion.h"

#include <array>
#include <cmath>
#include <utility>

#include "records/hydrology_model_type.h"
#include "records/process_codes.h"
#include "records/record_columns.h"

namespace velm {

namespace {

// A code stored as a real, its sign a mark: the headwater links.
bool is_headwater_code(float code)
{
    return is_initial_subarea_code(static_cast<int>(std::fabs(code)));
}

}  // namespace

std::optional<float> compute_element_capacity(const LinkDecision& decision, float sizing_slope)
{
    // A sizing slope of 0 or below carries nothing: the element's capacity is 0.
    const float root_slope = sizing_slope > 0.0f ? std::pow(sizing_slope, 0.5f) : 0.0f;
    std::optional<float> capacity;
    switch (decision.element_shape) {
        case 1:
            capacity = telescoping_pipe_capacity(decision.chosen_size, sizing_slope, decision.pipe_friction_factor);
            break;
        case 2: {
            const float b = decision.candidate_width;
            const float h = decision.candidate_size;
            if (b + h > 0.0f) {
                capacity = 1.486f * b * h * std::pow(0.5f * b * h / (b + h), 0.667f) * root_slope /
                           decision.link_friction_factor;
            }
            break;
        }
        case 3: {
            const float b = decision.candidate_width;
            const float y = decision.candidate_size;
            const float z = decision.candidate_side_slope;
            if (b + y > 0.0f) {
                const float area = (z * y + b) * y;
                const float perimeter = b + 2.0f * y * std::pow(z * z + 1.0f, 0.5f);
                capacity =
                    1.486f * area * std::pow(area / perimeter, 0.667f) * root_slope / decision.link_friction_factor;
            }
            break;
        }
        default:
            break;
    }
    if (capacity && !std::isfinite(*capacity)) return std::nullopt;
    return capacity;
}

TelescopedStringRecord long_string_record(const StringRecord& line, const TelescopingLinkRow& row)
{
    TelescopedStringRecord record;
    record.upstream_node = line.upstream_node;
    record.downstream_node = line.downstream_node;
    record.upstream_elevation = line.upstream_elevation;
    record.downstream_elevation = line.downstream_elevation;
    record.process_code = std::fabs(row.process_code);
    record.link_length = line.link_length;
    record.link_slope = row.link_slope;
    record.element_type = row.element_type;
    record.element_height = row.element_height;
    record.element_base_width = row.element_base_width;
    record.element_side_slope = row.element_side_slope;
    record.channel_freeboard = row.channel_freeboard;
    record.element_friction_factor = row.element_friction_factor;
    record.element_invert_upstream = row.invert_upstream;
    record.element_invert_downstream = row.invert_downstream;
    record.element_invert_slope = row.invert_slope;
    record.street_column_21 = row.street[0];
    record.curb_height = row.street[1];
    record.street_half_width = row.street[2];
    record.gutter_lip = row.street[3];
    record.gutter_width = row.street[4];
    record.gutter_hike = row.street[5];
    record.crown_to_gradebreak_distance = row.street[6];
    record.center_lane_crossfall = row.street[7];
    record.outside_lane_crossfall = row.street[8];
    record.parkway_crossfall = row.street[9];
    record.street_column_19 = row.street[10];
    record.street_friction_factor = row.street[11];
    record.link_upstream_hgl = row.link_upstream_hgl;
    record.link_downstream_hgl = row.link_downstream_hgl;
    record.sizing_slope = row.sizing_friction_slope;
    record.link_capacity = row.existing_capacity;
    for (std::size_t i = 0; i < STORM_EVENTS; ++i) {
        record.link_columns_31_42[i] = row.upstream_peak_flows[i];
        record.link_columns_31_42[i + STORM_EVENTS] = row.downstream_peak_flows[i];
        record.link_columns_43_48[i] = row.street_flow_depths[i];
    }
    return record;
}

TelescopedStringRecord first_string_link_record(const StringRecord& line, const TelescopingLinkRow& row,
                                                float carried_flow)
{
    TelescopedStringRecord record = long_string_record(line, row);
    record.carried_flow = carried_flow;
    return record;
}

TelescopedStringRecord complete_string_link(TelescopingLinkRow& row, const StringRecord& line,
                                            const LinkDecision& decision, StringTelescopingState& state,
                                            const TelescopingSettings& settings)
{
    if (const std::optional<float> capacity = compute_element_capacity(decision, row.sizing_friction_slope)) {
        state.element_capacity = *capacity;
    }
    if (state.element_capacity > CAPACITY_CAP) state.element_capacity = CAPACITY_OVERFLOW_MARK;

    const int code = static_cast<int>(std::fabs(row.process_code));
    const bool keep_existing = decision.keep_existing ||
                               (decision.element_shape == 1 && decision.chosen_size < settings.min_pipe_diameter) ||
                               (row.element_type == 0.0f && (code == 52 || code == 53));

    TelescopedStringRecord record = long_string_record(line, row);
    record.carried_flow = decision.carried_flow;
    if (keep_existing) {
        // Below 1.0: the link data base update writes no element for it.
        row.recommended_type = -0.1f * row.recommended_type;
        state.previous_friction_factor = decision.link_friction_factor;
        return record;
    }

    float mark = static_cast<float>(decision.element_shape);
    if (row.process_code < 0.0f) mark = -mark;

    float size = decision.candidate_size;
    float side_slope = decision.candidate_side_slope;
    float freeboard = decision.candidate_freeboard;
    float friction_factor = decision.candidate_friction_factor;
    if (decision.element_shape == 1) {
        size = decision.chosen_size;
        side_slope = 0.0f;
        freeboard = 0.0f;
        friction_factor = decision.link_friction_factor;
    }

    if (row.recommended_type <= 0.0f) {
        row.recommended_type = 1.0f;
        row.recommended_base_width = decision.candidate_width;
        row.recommended_side_slope = decision.candidate_side_slope;
        row.recommended_friction_factor = decision.candidate_friction_factor;
        row.recommended_freeboard = decision.candidate_freeboard;
    }

    // The parallel element stands on this line only.
    if (row.user_element_status == 2.0f) {
        record.parallel_shape = std::fabs(mark);
        record.parallel_size = size;
        record.parallel_width = decision.candidate_width;
        record.parallel_side_slope = side_slope;
        record.parallel_friction_factor = friction_factor;
    }
    if (is_headwater_code(row.process_code) && mark > 0.0f) mark = -mark;

    record.telescoped_shape = mark;
    record.telescoped_size = size;
    record.telescoped_width = decision.candidate_width;
    record.telescoped_side_slope = side_slope;
    record.telescoped_freeboard = freeboard;
    record.telescoped_friction_factor = friction_factor;
    record.telescoped_capacity = state.element_capacity;

    if (row.recommended_type == 1.0f && row.recommended_friction_factor == 0.0f) {
        row.recommended_friction_factor = friction_factor;
    }
    state.previous_friction_factor = friction_factor;
    return record;
}

TelescopedStringRecord write_unmatched_string_link(const StringRecord& line, StringTelescopingState& state)
{
    TelescopedStringRecord record;
    record.upstream_node = line.upstream_node;
    record.downstream_node = line.downstream_node;
    record.upstream_elevation = line.upstream_elevation;
    record.downstream_elevation = line.downstream_elevation;
    record.link_length = line.link_length;
    record.telescoped_friction_factor = state.previous_friction_factor;
    state.element_capacity = 0.0f;
    return record;
}

void apply_user_elements_to_string(std::vector<TelescopedStringRecord>& records, const UserElementList& user_elements,
                                   int model_type_code)
{
    for (TelescopedStringRecord& record : records) {
        if (const UserElementEntry* user = user_elements.find(record.upstream_node, record.downstream_node)) {
            record.telescoped_shape = user->user_element_type;
            record.telescoped_size = user->user_element_height;
            record.telescoped_width = user->user_element_base_width;
            record.telescoped_side_slope = user->user_element_side_slope;
            record.telescoped_freeboard = 0.0f;
            record.telescoped_friction_factor = user->user_element_friction_factor;
        }
        if (is_curve_number_model(model_type_code) && record.process_code == static_cast<float>(STORAGE_ELEMENT_CODE)) {
            record.telescoped_shape = 0.0f;
            record.telescoped_size = 0.0f;
            record.telescoped_width = 0.0f;
            record.telescoped_side_slope = 0.0f;
            record.telescoped_freeboard = 0.0f;
            record.telescoped_friction_factor = 0.0f;
        }
        record.carried_flow = 0.0f;
    }
}

}  // namespace velm

namespace velm {

std::vector<TelescopedStringRecord> fit_long_records(std::vector<TelescopedStringRecord> records)
{
    static const RecordLayout layout(TELESCOPED_STRING_RECORD_FORMAT,
                                     std::vector<ColumnKind>(TELESCOPED_STRING_VALUES, ColumnKind::Real));
    // The fields' widths and decimals, looked up once.
    static const std::array<std::pair<int, int>, TELESCOPED_STRING_VALUES> fields = [] {
        std::array<std::pair<int, int>, TELESCOPED_STRING_VALUES> all{};
        for (int k = 0; k < TELESCOPED_STRING_VALUES; ++k) {
            const FieldSpec& field = layout.field(k + 1);
            all[static_cast<std::size_t>(k)] = {field.width, field.decimals};
        }
        return all;
    }();
    for (TelescopedStringRecord& record : records) {
        std::array<float, TELESCOPED_STRING_VALUES> values = record.values();
        for (std::size_t k = 0; k < values.size(); ++k) {
            values[k] = clamp_to_field(values[k], fields[k].first, fields[k].second);
        }
        record = TelescopedStringRecord::from_values(values);
    }
    return records;
}

}  // namespace velm
