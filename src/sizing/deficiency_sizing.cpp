#include "sizing/deficiency_sizing.h"

#include <algorithm>
#include <cmath>

#include "records/hydrology_model_type.h"
#include "sizing/element_sizing.h"

namespace velm {

namespace {

// Working process codes of the sizing.
constexpr int DESIGNATED_PIPE = 31;
constexpr int BOX_WIDTH_GIVEN = 36;
constexpr int BOX_HEIGHT_GIVEN = 46;
constexpr int CHANNEL = 48;
constexpr int CHANNEL_DEPTH_GIVEN = 51;
constexpr int CHANNEL_TYPE10 = 54;
constexpr int CHANNEL_BASE_WIDTH_GIVEN = 56;

// Starting value of the searches for the largest flow less street capacity.
constexpr float NO_FLOW_YET = -9999.0f;
// Manning n of new pipes when the envelope n is unset, and in a county study.
constexpr float DEFAULT_PIPE_MANNING_N = 0.013f;
constexpr float COUNTY_PIPE_MANNING_N = 0.014f;

bool is_box_or_channel_code(int code)
{
    return code == BOX_WIDTH_GIVEN || code == BOX_HEIGHT_GIVEN || code == CHANNEL || code == CHANNEL_DEPTH_GIVEN ||
           code == CHANNEL_TYPE10 || code == CHANNEL_BASE_WIDTH_GIVEN;
}
bool is_standard_conduit_code(int code)
{
    return code == STANDARD_CONDUIT_CODE || code == STANDARD_CONDUIT_KEPT_COUNT_CODE;
}
bool is_box_code(int code)
{
    return code == BOX_WIDTH_GIVEN || code == BOX_HEIGHT_GIVEN;
}
bool keeps_box_code(int code)
{
    return is_standard_conduit_code(code) || code == BOX_HEIGHT_GIVEN;
}

// The working values that rule D sets beside the process code.
struct Designation {
    int mode = 0;            // box or channel sizing mode
    float given = 0.0f;      // the given dimension or ratio
    float manning_n = 0.0f;  // of the new box or channel; 0 or below: column 26
};

// Rule D: the user's designation of the mitigation element (columns 141 to
// 146) applied to the working values.
void apply_designation(LinkRecord& record, LinkWorkingValues& working, Designation& designation)
{
    const float designated = record.designated_element_type();
    if (designated > 0.0f) {
        const float dimension = record.designated_sizing_dimension();
        if (designated == 1.0f) working.process_code = DESIGNATED_PIPE;
        designation.manning_n = record.designated_friction_hundredths() / 100.0f;
        if (designated == 2.0f || designated == 3.0f) {
            const bool box = designated == 2.0f;
            designation.mode = 1;
            working.process_code = box ? BOX_WIDTH_GIVEN : CHANNEL_BASE_WIDTH_GIVEN;
            if (dimension == 3.0f) designation.mode = 2;
            if (dimension == 2.0f) working.process_code = box ? BOX_HEIGHT_GIVEN : CHANNEL_DEPTH_GIVEN;
            designation.given = record.designated_dimension_value();
            // The ratio is given as width / height; the solvers take its
            // reciprocal.
            if (dimension == 3.0f) designation.given = 1.0f / record.designated_dimension_value();
            if (!box) {
                working.side_slope = record.designated_side_slope();
                record.channel_freeboard() = record.designated_freeboard();
            }
        }
        return;
    }
    if (record.element_type() == static_cast<int>(ElementType::Box) && !keeps_box_code(working.process_code))
        working.process_code = BOX_HEIGHT_GIVEN;
    designation.manning_n = record.element_friction_factor();
}

SizingFlowRate group_flow_rate(int process_code, const DeficiencySettings& settings)
{
    return is_box_or_channel_code(process_code) ? settings.box_channel_flow_rate : settings.pipe_flow_rate;
}

}  // namespace

float sizing_flow(SizingFlowRate option, float upstream, float downstream)
{
    switch (option) {
        case SizingFlowRate::UpstreamNodePeak:
            return upstream;
        case SizingFlowRate::AveragePeak:
            return (upstream + downstream) * 0.5f;
        case SizingFlowRate::MaximumPeak:
            return std::max(upstream, downstream);
        case SizingFlowRate::DownstreamNodePeak:
        default:
            return downstream;
    }
}

void size_link_deficiency(LinkRecord& record, LinkWorkingValues& working, const DeficiencySettings& settings)
{
    const int events = working.storm_event_count;
    const bool by_downstream_flow =
        working.street_event_count > 0 || (settings.box_channel_flow_rate == SizingFlowRate::DownstreamNodePeak &&
                                           settings.pipe_flow_rate == SizingFlowRate::DownstreamNodePeak);
    Designation designation;

    // 1. The deficiency of each event: a link that carries street flow is
    // judged by its downstream peak flows.
    for (int i = 1; i <= events; ++i) {
        float deficiency = 0.0f;
        if (by_downstream_flow) {
            deficiency = record.downstream_peak_flow(i) - record.total_capacity(i);
        } else {
            apply_designation(record, working, designation);
            deficiency = sizing_flow(group_flow_rate(working.process_code, settings), record.upstream_peak_flow(i),
                                     record.downstream_peak_flow(i)) -
                         record.total_capacity(i);
        }
        record.event_deficiency(i) = deficiency < 0.0f ? 0.0f : deficiency;
    }

    // 2. The largest; the first event wins a tie.
    record.max_deficiency() = 0.0f;
    record.max_deficiency_event() = 0;
    for (int i = 1; i <= events; ++i) {
        if (record.event_deficiency(i) > record.max_deficiency()) {
            record.max_deficiency() = record.event_deficiency(i);
            record.max_deficiency_event() = i;
        }
    }
    record.required_element_flow() = 0.0f;

    // 3. Only a deficient link is sized, and only under pipe models 1 and 2.
    const bool normal_depth = settings.pipe_capacity_model == PipeCapacityModel::NormalDepthCapacity;
    if (record.max_deficiency() <= 0.0f ||
        (settings.pipe_capacity_model != PipeCapacityModel::FullFlowCapacity && !normal_depth))
        return;

    // 4. Manning n of new pipes.
    float pipe_n = settings.envelope_manning_n;
    if (pipe_n <= 0.0f)
        pipe_n = uses_packed_land_use(settings.model_type_code) ? COUNTY_PIPE_MANNING_N : DEFAULT_PIPE_MANNING_N;

    // 5. The parallel pipe carries the largest deficiency.
    float parallel_flow = record.max_deficiency();
    if (normal_depth) parallel_flow = parallel_flow / NORMAL_DEPTH_PIPE_FACTOR;
    if (is_standard_conduit_code(working.process_code)) {
        record.parallel_element_height() = select_standard_pipe(parallel_flow).diameter;
        record.parallel_element_friction_factor() = STANDARD_PIPE_N_CONCRETE;
    } else {
        record.parallel_element_height() = size_circular_pipe(working.friction_slope, parallel_flow, pipe_n);
        record.parallel_element_friction_factor() = pipe_n;
    }

    // 6.
    record.deficiency_flag() = 1.0f;
    if (working.process_code == VEE_SECTION_CODE) working.process_code = DESIGNATED_PIPE;

    // 7. The largest downstream peak flow less the street capacity.
    float downstream_less_street = NO_FLOW_YET;
    for (int i = 1; i <= events; ++i)
        downstream_less_street =
            std::max(downstream_less_street, record.downstream_peak_flow(i) - record.street_capacity(i));

    // 8. The shape of the recommended element.
    apply_designation(record, working, designation);
    if (record.element_type() == static_cast<int>(ElementType::Box) && !keeps_box_code(working.process_code))
        working.process_code = BOX_HEIGHT_GIVEN;
    const float element_n = designation.manning_n > 0.0f ? designation.manning_n : record.element_friction_factor();
    const int code = working.process_code;

    // 9. A recommended pipe.
    if (!is_box_or_channel_code(code) && !is_standard_conduit_code(code)) {
        float flow = downstream_less_street;
        if (!(settings.pipe_flow_rate == SizingFlowRate::DownstreamNodePeak || working.street_event_count > 0)) {
            float upstream = NO_FLOW_YET;
            float downstream = NO_FLOW_YET;
            for (int k = 1; k <= STORM_EVENTS; ++k) {
                upstream = std::max(upstream, record.upstream_peak_flow(k) - record.street_capacity(k));
                downstream = std::max(downstream, record.downstream_peak_flow(k) - record.street_capacity(k));
            }
            flow = sizing_flow(settings.pipe_flow_rate, upstream, downstream);
        }
        const float pipe_flow = normal_depth ? flow / NORMAL_DEPTH_PIPE_FACTOR : flow;
        record.required_element_height() = size_circular_pipe(working.friction_slope, pipe_flow, pipe_n);
        record.required_element_friction_factor() = pipe_n;
        record.required_element_base_width() = 0.0f;
        record.required_element_side_slope() = 0.0f;
        record.required_element_freeboard() = 0.0f;
        record.required_element_flow() = flow;
        record.recommended_element_type() = static_cast<float>(ElementType::Pipe);
        return;
    }

    // 10. A recommended box, standard conduit or channel.  Without a box or
    // channel designation the as-built element gives the mode and the
    // given value.
    if (record.designated_element_type() <= 1.0f) {
        if (code == BOX_HEIGHT_GIVEN || code == CHANNEL || code == CHANNEL_DEPTH_GIVEN || code == CHANNEL_TYPE10) {
            designation.mode = 1;
            designation.given = record.element_height();
        } else {
            designation.mode = static_cast<int>(record.element_height());
            designation.given = record.element_base_width();
        }
    }
    float upstream = record.upstream_peak_flow(1);
    float downstream = record.downstream_peak_flow(1);
    for (int k = 2; k <= STORM_EVENTS; ++k) {
        upstream = std::max(upstream, record.upstream_peak_flow(k));
        downstream = std::max(downstream, record.downstream_peak_flow(k));
    }
    const float flow = sizing_flow(settings.box_channel_flow_rate, upstream, downstream);

    if (is_box_code(code)) {
        const BoxSize box = size_box(flow, working.friction_slope, designation.given, element_n, designation.mode,
                                     settings.sizing_increment);
        const bool width_given = code == BOX_WIDTH_GIVEN;
        record.required_element_height() = width_given ? box.second : box.first;
        record.required_element_base_width() = width_given ? box.first : box.second;
        record.required_element_side_slope() = 0.0f;
        record.required_element_freeboard() = 0.0f;
        record.required_element_friction_factor() = element_n;
        record.recommended_element_type() = static_cast<float>(ElementType::Box);
    } else if (is_standard_conduit_code(code)) {
        const StandardSize size =
            select_standard_size(flow, record.element_height(), record.element_base_width(), settings.sizing_increment,
                                 code, record.element_type(), record.required_element_base_width());
        record.required_element_height() = size.height;
        record.required_element_base_width() = size.width;
        record.recommended_element_type() = static_cast<float>(record.element_type());
    } else {
        const int mode = (code == CHANNEL_DEPTH_GIVEN || code == CHANNEL_TYPE10) ? 0 : designation.mode;
        const TrapezoidSize channel =
            size_trapezoid(working.friction_slope, flow, working.side_slope, record.channel_freeboard(), element_n,
                           mode, designation.given, settings.sizing_increment);
        const bool width_given = code == CHANNEL_BASE_WIDTH_GIVEN;
        record.required_element_height() = width_given ? channel.depth_result : channel.width_argument;
        record.required_element_base_width() = width_given ? channel.width_argument : channel.depth_result;
        record.required_element_side_slope() = working.side_slope;
        record.required_element_friction_factor() = element_n;
        record.required_element_freeboard() = record.channel_freeboard();
        record.recommended_element_type() = static_cast<float>(ElementType::Channel);
    }
    record.required_element_flow() = flow;
}

}  // namespace velm
