#include "sizing/deficiency_pass.h"

#include <cmath>

#include "records/hydrology_model_type.h"
#include "records/number_keys.h"
#include "records/process_codes.h"
#include "sizing/element_hydraulics.h"
#include "sizing/element_sizing.h"

namespace velm {

namespace {

// Process codes the pass treats apart.
// In a curve-number study code 61 (a storage element) has no conveyance,
// and codes 51 and 52 are channels sized with a given flow depth (code 54).
constexpr int CURVE_NUMBER_CHANNEL_A = 51;
constexpr int CURVE_NUMBER_CHANNEL_B = 52;
constexpr int CURVE_NUMBER_CHANNEL = 54;
// The process codes of slopes used unproportioned: 50 to 56.
constexpr int FIRST_UNPROPORTIONED_CODE = 50;
constexpr int LAST_UNPROPORTIONED_CODE = 56;

// A street carries flow at an event only above this flow depth (ft), and
// counts as carrying it above this capacity (cfs).
constexpr float STREET_FLOW_DEPTH = 0.17f;
constexpr float STREET_EVENT_CAPACITY = 0.1f;
constexpr float DEFAULT_STREET_MANNING_N = 0.015f;
// Column 100 while the pass decides the cost-opinion status.
constexpr float COST_OPINION_PENDING = -1.0f;

bool is_one_of(int code, std::initializer_list<int> codes)
{
    for (int c : codes)
        if (code == c) return true;
    return false;
}

}  // namespace

StreetSection street_section_of(const LinkRecord& record, float parkway_n)
{
    StreetSection street;
    street.curb_height = record.curb_height();
    street.half_width = record.street_half_width();
    street.gutter_lip = record.gutter_lip();
    street.gutter_width = record.gutter_width();
    street.gutter_hike = record.gutter_hike();
    street.crown_to_gradebreak_distance = record.crown_to_gradebreak_distance();
    street.center_lane_crossfall = record.center_lane_crossfall();
    street.outside_lane_crossfall = record.outside_lane_crossfall();
    street.parkway_crossfall = record.parkway_crossfall();
    street.side_count = record.street_side_count();
    street.manning_n = record.street_friction_factor();
    street.parkway_manning_n = parkway_n;
    return street;
}

namespace {

// The code-92 section of a link: the street columns describe it.
VeeSection vee_section_of(const LinkRecord& record)
{
    return VeeSection{record.gutter_width(), record.gutter_hike(), record.gutter_lip(), record.center_lane_crossfall(),
                      record.street_friction_factor()};
}

// The columns the pass computes; each is kept within its field.
constexpr std::initializer_list<std::pair<int, int>> COMPUTED_COLUMNS{
    {9, 9}, {20, 20}, {27, 27}, {49, 54}, {56, 56}, {64, 64}, {68, 70}, {73, 75}, {78, 90}, {92, 111}, {141, 146},
};

void keep_within_fields(LinkRecord& record)
{
    for (const auto& [first, last] : COMPUTED_COLUMNS) {
        for (int c = first; c <= last; ++c) {
            if (LinkRecord::kind(c) != ColumnKind::Real) continue;
            float& value = record.column(c);
            value = std::isnan(value) ? 0.0f : clamp_to_field(value, LinkRecord::field(c));
        }
    }
}

// The state of the pass kept from record to record.
struct PassState {
    bool first_record = true;
    int storm_event_count = 0;
    float friction_slope = 0.0f;  // Sf, the previous record's until this record sets it
};

// The capacity of the as-built element into columns 73 and 74 (step 11),
// with the friction slope repaired when it carries nothing.
void compute_element_capacity(LinkRecord& record, int process_code, float& friction_slope,
                              const DeficiencySettings& settings)
{
    if (process_code == STANDARD_CONDUIT_CODE) return;
    if (process_code == STANDARD_CONDUIT_KEPT_COUNT_CODE) {
        // A conduit outside the tables keeps the capacities it had.
        if (const std::optional<float> capacity =
                lookup_table_capacity(record.element_height(), record.element_base_width(),
                                      record.element_friction_factor(), record.element_type())) {
            record.existing_element_capacity() = *capacity;
            record.computed_capacity() = *capacity;
        }
        return;
    }
    const int type = record.element_type();
    if (type < static_cast<int>(ElementType::Pipe) || type > static_cast<int>(ElementType::Channel)) return;

    if (friction_slope <= 0.0f && settings.friction_slope_model == FrictionSlopeModel::BalancedHglSlope)
        friction_slope = record.balanced_hgl_friction_slope();
    if (friction_slope <= 0.0f) friction_slope = settings.default_min_friction_slope;

    float capacity = 0.0f;
    if (type == static_cast<int>(ElementType::Pipe)) {
        capacity = compute_pipe_element_capacity(
            CircularPipe{record.element_height(), record.element_friction_factor()}, record.element_base_width(),
            settings.pipe_capacity_model == PipeCapacityModel::NormalDepthCapacity, friction_slope);
    } else if (type == static_cast<int>(ElementType::Box)) {
        capacity = compute_box_capacity(
            RectangularBox{record.element_base_width(), record.element_height(), record.element_friction_factor()},
            friction_slope);
    } else {
        capacity =
            compute_trapezoid_capacity(TrapezoidalChannel{record.element_base_width(), record.element_side_slope(),
                                                          record.element_friction_factor()},
                                       friction_slope, record.element_height());
    }
    record.existing_element_capacity() = capacity;
    record.computed_capacity() = capacity;
}

void analyze_link_record(LinkRecord& record, PassState& state, const DeficiencySettings& settings,
                         const DownstreamHglIndex& hgl_index)
{
    const float min_slope = settings.default_min_friction_slope;
    const FrictionSlopeModel model = settings.friction_slope_model;

    // 1, 2. Clear the columns this pass and the telescoping pass fill.
    if (record.designated_element_type() > 3.0f)
        for (int c = 141; c <= 146; ++c) record.column(c) = 0.0f;
    for (int c = 153; c <= 188; ++c) record.column(c) = 0.0f;
    record.max_deficiency_event() = 0;
    for (int c = 92; c <= 98; ++c) record.column(c) = 0.0f;
    record.parallel_element_friction_factor() = settings.envelope_manning_n;
    for (int c = 101; c <= 108; ++c) record.column(c) = 0.0f;
    record.column(109) = settings.envelope_manning_n;
    record.column(110) = 0.0f;
    record.column(111) = 0.0f;
    float parkway_n = record.link_travel_time(4) / 100.0f;  // column 150: the parkway n x 100

    // 3. The previous run's deficiency, until its cost-opinion status is set.
    if (record.cost_opinion_status() <= 0.0f && record.max_deficiency() > 0.0f)
        record.cost_opinion_status() = COST_OPINION_PENDING;

    // 4. The storm events of the file: the positive downstream peak flows of
    // its first record.
    if (state.first_record) {
        state.first_record = false;
        for (int i = 1; i <= STORM_EVENTS; ++i) record.event_deficiency(i) = 0.0f;
        state.storm_event_count = record.storm_event_count();
    }
    const int events = state.storm_event_count;

    LinkWorkingValues working;
    working.process_code = record.process_code();
    working.side_slope = record.element_side_slope();
    working.storm_event_count = events;

    const auto close_record = [&] {
        // 14.
        const bool cost_opinion_by_code = is_one_of(working.process_code, {41, 43, 46, 48, 51, 54});
        if (!cost_opinion_by_code) {
            if (record.cost_opinion_status() == COST_OPINION_PENDING) record.cost_opinion_status() = 0.0f;
            if (record.max_deficiency() > 0.0f) record.deficiency_flag() = 1.0f;
        } else {
            if (record.max_deficiency() > 0.0f && record.cost_opinion_status() != COST_OPINION_PENDING)
                record.cost_opinion_status() = 1.0f;
            if (record.cost_opinion_status() == COST_OPINION_PENDING) record.cost_opinion_status() = 0.0f;
        }
        if (record.existing_element_capacity() > CAPACITY_CAP) record.existing_element_capacity() = CAPACITY_CAP;
        if (record.computed_capacity() > CAPACITY_CAP) record.computed_capacity() = CAPACITY_CAP;
        for (int i = 1; i <= STORM_EVENTS; ++i)
            if (record.total_capacity(i) > CAPACITY_CAP) record.total_capacity(i) = CAPACITY_CAP;
        keep_within_fields(record);
    };

    // 5. Initial subareas: no conveyance to analyse.
    if (is_initial_subarea_code(working.process_code)) {
        record.max_deficiency() = 0.0f;
        close_record();
        return;
    }

    // 6. The link slope; a link without a length keeps the slope it had.
    const bool has_length = record.link_length() > 0.0f;
    if (has_length)
        record.link_slope() = (record.upstream_elevation() - record.downstream_elevation()) / record.link_length();

    // 7.
    if (is_curve_number_model(settings.model_type_code)) {
        if (is_storage_element_code(working.process_code)) {
            record.max_deficiency() = 0.0f;
            close_record();
            return;
        }
        if (working.process_code == CURVE_NUMBER_CHANNEL_A || working.process_code == CURVE_NUMBER_CHANNEL_B) {
            working.process_code = CURVE_NUMBER_CHANNEL;
            record.element_type() = static_cast<int>(ElementType::Channel);
            record.user_capacity() = NO_USER_CAPACITY;
        }
    }

    // 8. The street capacity at each event's flow depth.  A code-92 section
    // has no element capacity of its own; its section capacity at every
    // event is computed below, with this record's friction slope.
    const bool vee_section = working.process_code == VEE_SECTION_CODE;
    for (int i = 1; i <= events; ++i) {
        if (vee_section) {
            record.existing_element_capacity() = 0.0f;
            record.computed_capacity() = 0.0f;
            continue;
        }
        if (!(record.street_flow_depth(i) > STREET_FLOW_DEPTH)) continue;
        if (record.street_friction_factor() <= 0.0f) record.street_friction_factor() = DEFAULT_STREET_MANNING_N;
        float& slope = record.link_slope();
        if (uses_topographic_slope(model) && slope > 0.0f && slope < min_slope) slope = min_slope;
        if (settings.low_slope_flag_mode == 1 && std::fabs(slope) < min_slope) slope = min_slope;
        float capacity = 0.0f;
        if (slope > 0.0f && record.curb_height() > 0.0f) {
            StreetSection street = street_section_of(record, parkway_n);
            capacity = compute_street_capacity(street, slope, record.street_flow_depth(i));
            parkway_n = street.parkway_manning_n;
        }
        record.street_capacity(i) = capacity;
    }

    // 9. The gradient of the balanced HGL above the element.
    if (record.balanced_hgl_friction_slope() > 0.0f && has_length &&
        (record.element_type() == static_cast<int>(ElementType::Pipe) ||
         record.element_type() == static_cast<int>(ElementType::Box))) {
        if (const std::optional<float> hgl = hgl_index.downstream_hgl(record.upstream_node(), record.downstream_node()))
            record.hgl_excess_gradient() = (*hgl - record.column(125) - record.element_height()) / record.link_length();
    }

    // 10. The friction slope.
    float& sf = state.friction_slope;
    if (uses_topographic_slope(model)) {
        sf = record.link_slope();
        if (sf < min_slope) sf = min_slope;
        if (model == FrictionSlopeModel::TopographicWithUserSlopes && record.specified_friction_slope() > 0.0f)
            sf = record.specified_friction_slope();
        record.computed_friction_slope() = sf;
    } else if (uses_balanced_hgl(model)) {
        sf = record.balanced_hgl_friction_slope();
        if (model == FrictionSlopeModel::BalancedHglWithUserSlopes && record.specified_friction_slope() > 0.0f)
            sf = record.specified_friction_slope();
        record.computed_friction_slope() = sf;
    }
    if (working.process_code < FIRST_UNPROPORTIONED_CODE || working.process_code > LAST_UNPROPORTIONED_CODE)
        sf = sf * settings.friction_slope_proportion;
    record.column(68) = sf;
    record.column(69) = sf;
    record.column(70) = record.user_friction_slope();
    if (record.user_friction_slope() > 0.0f) sf = record.user_friction_slope();

    // 11. The capacity of the as-built element, and the capacity used.
    float used_capacity = 0.0f;
    if (record.existing_element_capacity() > CAPACITY_CAP) record.existing_element_capacity() = CAPACITY_CAP;
    if (record.element_type() == static_cast<int>(ElementType::NoElement)) {
        if (record.existing_element_capacity() > 0.0f) used_capacity = record.existing_element_capacity();
    } else {
        compute_element_capacity(record, working.process_code, sf, settings);
        used_capacity = record.user_capacity();
        if (record.user_capacity() == NO_USER_CAPACITY && record.existing_element_capacity() > 0.0f)
            used_capacity = record.computed_capacity();
        if (used_capacity < 0.0f) used_capacity = 0.0f;
    }

    // The code-92 section at every event's depth, with this record's
    // friction slope; its n, repaired when unset, is written back.
    if (vee_section) {
        for (int i = 1; i <= events; ++i) {
            VeeSection section = vee_section_of(record);
            float slope = sf;
            record.street_capacity(i) = compute_vee_section_capacity(section, slope, record.street_flow_depth(i));
            record.street_friction_factor() = section.manning_n;
        }
    }

    // 12. The total capacity of each event.
    working.street_event_count = 0;
    for (int i = 1; i <= events; ++i) {
        record.total_capacity(i) = used_capacity + record.street_capacity(i);
        if (record.street_capacity(i) > STREET_EVENT_CAPACITY) ++working.street_event_count;
    }

    // 13.
    working.friction_slope = sf;
    size_link_deficiency(record, working, settings);
    sf = working.friction_slope;

    close_record();
}

}  // namespace

DownstreamHglIndex::DownstreamHglIndex(const BalancedHglResultTable& table)
{
    for (const BalancedHglResult& result : table.results)
        hgl_by_pair_[node_pair_key(result.upstream_node, result.downstream_node)] = result.downstream_hgl;
}

std::optional<float> DownstreamHglIndex::downstream_hgl(float upstream_node, float downstream_node) const
{
    const auto found = hgl_by_pair_.find(node_pair_key(upstream_node, downstream_node));
    if (found == hgl_by_pair_.end()) return std::nullopt;
    return found->second;
}

DeficiencySettings deficiency_settings(const ControlParameters& controls, const RunSettings& settings)
{
    DeficiencySettings pass;
    pass.friction_slope_model = controls.friction_slope_model;
    pass.default_min_friction_slope = controls.default_min_friction_slope;
    pass.pipe_capacity_model = controls.pipe_capacity_model;
    pass.friction_slope_proportion = controls.friction_slope_proportion;
    pass.box_channel_flow_rate = controls.box_channel_flow_rate;
    pass.sizing_increment = controls.sizing_increment;
    pass.pipe_flow_rate = controls.pipe_flow_rate;
    pass.model_type_code = settings.model_type_code;
    pass.envelope_manning_n = controls.envelope_manning_n;
    pass.low_slope_flag_mode = controls.low_slope_flag_mode;
    return pass;
}

void analyze_link_records(std::vector<LinkRecord>& records, const DeficiencySettings& settings,
                          const DownstreamHglIndex& hgl_index)
{
    PassState state;
    for (LinkRecord& record : records) analyze_link_record(record, state, settings, hgl_index);
}

void analyze_link_file_deficiencies(RunContext& run, const std::string& link_data_base,
                                    const DownstreamHglIndex& hgl_index)
{
    // The run's latest version of the file (the friction-slope update may
    // have rewritten it), and the new version replaced with the run's other
    // outputs at its end.
    LinkTable::File& file = run.links.file(link_data_base, FilePresence::MustExist);
    analyze_link_records(file.records, deficiency_settings(run.controls, run.settings), hgl_index);
    run.links.store(file, run.outputs.new_file(link_data_base));
}

}  // namespace velm
