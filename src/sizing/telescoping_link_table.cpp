// The link tables of the telescoping pass, loaded from the link data bases.
#include "sizing/telescoping_link_table.h"

#include <cmath>

#include "records/hydrology_model_type.h"
#include "records/number_keys.h"
#include "records/process_codes.h"

namespace velm {

namespace {

// Process codes whose sizing slope is the friction slope itself: the open
// channels keep their slope, pipes flow at a share of it.
constexpr int FIRST_CHANNEL_CODE = 50;
constexpr int LAST_CHANNEL_CODE = 56;

}  // namespace

TelescopingSettings telescoping_settings(const ControlParameters& controls, int model_type_code)
{
    TelescopingSettings settings;
    settings.capacity_telescoping = option_code(controls.capacity_telescoping);
    settings.pipe_area_telescoping = option_code(controls.pipe_area_telescoping);
    settings.min_pipe_diameter = controls.min_pipe_diameter / INCHES_PER_FOOT;
    settings.pipe_capacity_model = option_code(controls.pipe_capacity_model);
    settings.carried_flow_source = controls.carried_flow_source;
    settings.existing_element_telescoping = option_code(controls.existing_element_telescoping);
    settings.friction_slope_model = option_code(controls.friction_slope_model);
    settings.box_area_telescoping = option_code(controls.box_area_telescoping);
    settings.channel_area_telescoping = option_code(controls.channel_area_telescoping);
    settings.element_interfacing = option_code(controls.element_interfacing);
    settings.friction_slope_proportion = controls.friction_slope_proportion;
    settings.model_type_code = model_type_code;
    return settings;
}

void TelescopingLinkTable::append(const TelescopingLinkRow& row)
{
    first_row_.try_emplace(node_pair_key(row.upstream_node, row.downstream_node), rows_.size());
    rows_.push_back(row);
}

TelescopingLinkRow* TelescopingLinkTable::find(float upstream_node, float downstream_node)
{
    const auto found = first_row_.find(node_pair_key(upstream_node, downstream_node));
    return found == first_row_.end() ? nullptr : &rows_[found->second];
}

const TelescopingLinkRow* TelescopingLinkTable::find(float upstream_node, float downstream_node) const
{
    return const_cast<TelescopingLinkTable*>(this)->find(upstream_node, downstream_node);
}

void UserElementList::append(const UserElementEntry& entry)
{
    first_entry_.try_emplace(node_pair_key(entry.upstream_node, entry.downstream_node), entries_.size());
    entries_.push_back(entry);
}

const UserElementEntry* UserElementList::find(float upstream_node, float downstream_node) const
{
    const auto found = first_entry_.find(node_pair_key(upstream_node, downstream_node));
    return found == first_entry_.end() ? nullptr : &entries_[found->second];
}

float telescoping_pipe_capacity(float diameter, float slope, float manning_n)
{
    // A sizing slope of 0 or below carries nothing.
    if (!(slope > 0.0f)) return 0.0f;
    return 0.463f * std::pow(diameter, 2.667f) * std::pow(slope, 0.5f) / manning_n;
}

TelescopingLinkRow telescoping_link_row(const LinkRecord& record, const TelescopingSettings& settings)
{
    TelescopingLinkRow row;
    row.upstream_node = record.upstream_node();
    row.downstream_node = record.downstream_node();

    // The invert slope from the two inverts; a link without a length keeps
    // the slope it was given.
    row.invert_upstream = record.column(28);
    row.invert_downstream = record.column(29);
    row.invert_slope = record.column(30);
    if (row.invert_upstream > 0.0f && row.invert_downstream > 0.0f && record.link_length() != 0.0f) {
        row.invert_slope = (row.invert_upstream - row.invert_downstream) / record.link_length();
    }

    // Manning n: the recommended element takes the existing element's.  A
    // missing n takes the default, which is never divided for pipes here; a
    // negative one is used as it stands.
    const float existing_n = record.element_friction_factor();
    float full_pipe_n = existing_n;
    if (settings.pipe_capacity_model == option_code(PipeCapacityModel::NormalDepthCapacity) && existing_n > 0.0f) {
        full_pipe_n = existing_n / NORMAL_DEPTH_MANNING_DIVISOR;
    }
    row.element_friction_factor = existing_n;
    if (existing_n == 0.0f) {
        row.element_friction_factor = uses_packed_land_use(settings.model_type_code) ? COUNTY_TELESCOPING_MANNING_N
                                                                                     : DEFAULT_TELESCOPING_MANNING_N;
        full_pipe_n = row.element_friction_factor;
    }
    row.recommended_friction_factor = row.element_friction_factor;

    const float slope =
        record.user_friction_slope() > 0.0f ? record.user_friction_slope() : record.computed_friction_slope();

    row.largest_excess_flow = -9999.0f;
    for (int event = 1; event <= STORM_EVENTS; ++event) {
        const float excess = record.downstream_peak_flow(event) - record.street_capacity(event);
        if (excess > row.largest_excess_flow) row.largest_excess_flow = excess;
    }

    row.full_pipe_capacity = telescoping_pipe_capacity(record.parallel_element_height(), slope, full_pipe_n);
    if (row.full_pipe_capacity > CAPACITY_CAP) row.full_pipe_capacity = CAPACITY_OVERFLOW_MARK;

    row.max_deficiency = record.max_deficiency();
    row.element_size = record.required_element_height();
    if (row.max_deficiency <= 0.0f && record.integer_column(21) == 1) row.element_size = record.element_height();

    const int code = record.process_code();
    row.sizing_friction_slope = slope;
    if (code < FIRST_CHANNEL_CODE || code > LAST_CHANNEL_CODE) {
        row.sizing_friction_slope = slope * settings.friction_slope_proportion;
    }

    row.largest_peak_flow = record.downstream_peak_flow(1);
    row.largest_upstream_peak_flow = record.upstream_peak_flow(1);
    for (int event = 1; event <= STORM_EVENTS; ++event) {
        const std::size_t i = static_cast<std::size_t>(event - 1);
        row.upstream_peak_flows[i] = record.upstream_peak_flow(event);
        row.downstream_peak_flows[i] = record.downstream_peak_flow(event);
        row.street_flow_depths[i] = record.street_flow_depth(event);
        if (row.downstream_peak_flows[i] > row.largest_peak_flow) row.largest_peak_flow = row.downstream_peak_flows[i];
        if (row.upstream_peak_flows[i] > row.largest_upstream_peak_flow) {
            row.largest_upstream_peak_flow = row.upstream_peak_flows[i];
        }
    }

    row.process_code = static_cast<float>(code);
    if (row.max_deficiency > 0.0f && record.cost_opinion_status() <= 0.0f) row.process_code = -row.process_code;
    row.link_slope = record.link_slope();
    row.street = {static_cast<float>(record.integer_column(21)),
                  record.curb_height(),
                  record.street_half_width(),
                  record.gutter_lip(),
                  record.gutter_width(),
                  record.gutter_hike(),
                  record.crown_to_gradebreak_distance(),
                  record.center_lane_crossfall(),
                  record.outside_lane_crossfall(),
                  record.parkway_crossfall(),
                  static_cast<float>(record.street_side_count()),
                  record.street_friction_factor()};
    row.element_type = static_cast<float>(record.element_type());
    row.element_height = record.element_height();
    row.element_base_width = record.element_base_width();
    row.element_side_slope = record.element_side_slope();
    row.channel_freeboard = record.channel_freeboard();
    row.user_element_status = record.user_element_status();
    row.recommended_base_width = record.required_element_base_width();
    row.recommended_side_slope = record.required_element_side_slope();
    row.recommended_freeboard = record.required_element_freeboard();
    row.recommended_type = record.recommended_element_type();
    row.link_upstream_hgl = record.link_upstream_hgl();
    row.link_downstream_hgl = record.link_downstream_hgl();

    row.existing_capacity =
        record.user_capacity() == NO_USER_CAPACITY ? record.computed_capacity() : record.user_capacity();

    // The flow a new element must carry: the largest excess over the street
    // of a deficient link; a link the deficiency pass found sufficient asks
    // for nothing, so its value is negative and never raises the flow that
    // the string carries down.
    if (is_initial_subarea_code(code)) {
        row.target_flow_rate = 0.0f;
    } else if (row.max_deficiency != 0.0f) {
        row.target_flow_rate = row.largest_excess_flow;
    } else {
        row.target_flow_rate = -std::fabs(row.largest_excess_flow);
    }
    return row;
}

std::optional<UserElementEntry> user_element_entry(const LinkRecord& record)
{
    if (record.user_element_type() <= 0 && record.user_element_height() <= 0.0f) return std::nullopt;
    return UserElementEntry{record.upstream_node(),
                            record.downstream_node(),
                            static_cast<float>(record.user_element_type()),
                            record.user_element_height(),
                            record.user_element_base_width(),
                            record.user_element_side_slope(),
                            record.user_element_friction_factor()};
}

void load_telescoping_tables(const std::vector<LinkRecord>& records, const TelescopingSettings& settings,
                             TelescopingTables& tables)
{
    for (const LinkRecord& record : records) {
        tables.links.append(telescoping_link_row(record, settings));
        if (std::optional<UserElementEntry> entry = user_element_entry(record)) tables.user_elements.append(*entry);
    }
}

}  // namespace velm
