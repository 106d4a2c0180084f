// The statistics extraction of one map: links, subareas, model results and
// nodes into the working tables of sections II.D and II.E.
#include "diagnostics/statistics_extraction.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <unordered_set>

#include "platform/files.h"
#include "platform/record_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/hydrology_model_type.h"
#include "records/link_table.h"
#include "records/model_file.h"
#include "records/model_results_file.h"
#include "records/node_data_base.h"
#include "records/number_keys.h"
#include "records/process_codes.h"
#include "records/subarea_data_base.h"

namespace velm {
namespace {

// Decimals of the working-file fields.
constexpr int NODE_DECIMALS = 1;
constexpr int LENGTH_DECIMALS = 0;
constexpr int TIME_DECIMALS = 2;
constexpr int FLOW_DECIMALS = 2;
constexpr int AREA_DECIMALS = 2;
constexpr int RESULT_DECIMALS = 2;
constexpr int RATIO_DECIMALS = 3;

// Wide enough for every finite float with up to three decimals.
constexpr int UNBOUNDED_FIELD_WIDTH = 64;

// Header values of a model file that the statistics read.
constexpr int HEADER_VALUES_READ = 12;
constexpr int SUBAREA_RULE_POSITION = 4;
constexpr int RETURN_FREQUENCY_POSITION = 12;

constexpr int MODEL_FILE_NAME_PREFIX = 11;  // entry characters before the storm event digit

}  // namespace

float rounded_to_decimals(float value, int decimals)
{
    if (std::isnan(value)) return 0.0f;
    if (std::isinf(value)) return value < 0.0f ? -std::numeric_limits<float>::max() : std::numeric_limits<float>::max();
    // The field's digits read back as strtof reads its text, without the
    // text: every statistic of a large study passes here.
    if (const std::optional<std::uint64_t> units = fixed_field_units(value, decimals)) {
        if (const std::optional<float> read = fixed_decimal_value(*units, decimals, std::signbit(value))) return *read;
    }
    const std::string field = format_fixed(value, UNBOUNDED_FIELD_WIDTH, decimals);
    return std::strtof(field.c_str(), nullptr);
}

int subarea_node_rule_of(float header_value_4)
{
    const float fraction = header_value_4 - std::trunc(header_value_4);
    const float tenths = fraction * 10.0f;
    if (!std::isfinite(tenths)) return 0;
    const int rule = static_cast<int>(std::trunc(tenths));
    return rule == 0 ? 1 : rule;
}

StormEventSettings read_storm_event_settings(Session& session, const ModelListEntry& entry,
                                             const DiagnosticsInputs* inputs)
{
    static_assert(HEADER_VALUES_READ <= MODEL_HEADER_VALUES_KEPT);
    StormEventSettings settings;
    const std::string prefix = entry.text.substr(0, MODEL_FILE_NAME_PREFIX);
    for (int event = 1; event <= STORM_EVENTS; ++event) {
        const std::string name = session.study_file(prefix + static_cast<char>('0' + event));
        std::array<float, HEADER_VALUES_READ> header{};
        const std::vector<float>* kept = inputs != nullptr ? inputs->model_header(name) : nullptr;
        if (kept != nullptr && kept->size() >= HEADER_VALUES_READ) {
            std::copy_n(kept->begin(), HEADER_VALUES_READ, header.begin());
        } else {
            if (!file_exists(name)) continue;
            RecordFile file(name, RecordFile::Open::MustExist);
            for (int position = 1; position <= HEADER_VALUES_READ; ++position) {
                const std::optional<float> value = file.read_value();
                if (!value)
                    throw FileError("File '" + name + "': the model file ends before header value " +
                                    std::to_string(position));
                header[static_cast<std::size_t>(position - 1)] =
                    finite_model_value(*value, name, static_cast<std::size_t>(position));
            }
            file.close_keep();
        }
        settings.return_frequencies[static_cast<std::size_t>(event - 1)] =
            std::fabs(header[RETURN_FREQUENCY_POSITION - 1]);
        settings.subarea_node_rule = subarea_node_rule_of(header[SUBAREA_RULE_POSITION - 1]);
    }
    return settings;
}

void extract_link_statistics(Session& session, std::string_view data_file_stem, int model_type_code,
                             InitialLinkTable& initial_links, std::vector<LinkStatisticsRecord>& table)
{
    initial_links.clear();
    const std::string name = session.study_file(link_data_base_name(data_file_stem));
    std::vector<LinkRecord> read;
    for (const LinkRecord& link : link_data_base_records(session.link_table, name, FilePresence::MustExist, read)) {
        LinkStatisticsRecord record;
        record.upstream_node = rounded_to_decimals(link.upstream_node(), NODE_DECIMALS);
        record.downstream_node = rounded_to_decimals(link.downstream_node(), NODE_DECIMALS);
        record.process_code = link.process_code();
        record.length = rounded_to_decimals(link.link_length(), LENGTH_DECIMALS);
        // A Los Angeles County study's link travel times are not its own:
        // every link there is taken as an initial subarea link.
        if (uses_packed_land_use(model_type_code) || is_initial_subarea_code(link.process_code())) {
            initial_links.push_back({link.downstream_node(), link.upstream_node()});
        } else {
            for (int event = 1; event <= STORM_EVENTS; ++event) {
                const float time = link.link_travel_time(event);
                record.travel_time[static_cast<std::size_t>(event - 1)] =
                    time > 0.0f ? rounded_to_decimals(time, TIME_DECIMALS) : 0.0f;
            }
        }
        for (int event = 1; event <= STORM_EVENTS; ++event)
            record.peak_flow[static_cast<std::size_t>(event - 1)] =
                rounded_to_decimals(link.column(30 + event), FLOW_DECIMALS);
        table.push_back(record);
    }
}

void extract_subarea_statistics(Session& session, std::string_view data_file_stem, int subarea_node_rule,
                                const InitialLinkTable& initial_links, std::vector<SubareaStatisticsRecord>& table,
                                const DiagnosticsInputs* inputs)
{
    const std::string name = session.study_file(subarea_data_base_name(data_file_stem));
    const std::vector<SubareaSummary>* subareas = inputs != nullptr ? inputs->subareas(name) : nullptr;
    std::vector<SubareaSummary> read;
    if (subareas == nullptr) {
        read = summarize_subareas(read_subarea_data_base(name, FilePresence::MustExist));
        subareas = &read;
    }
    // A subarea is an initial subarea when some initial subarea link ends
    // (rule 1) or starts (rule 2) at its number; any other rule names none.
    std::unordered_set<std::uint32_t> initial_nodes;
    if (subarea_node_rule == 1 || subarea_node_rule == 2) {
        for (const InitialLinkRow& row : initial_links) {
            const float node = subarea_node_rule == 1 ? row.downstream_node : row.upstream_node;
            if (node == node) initial_nodes.insert(number_key(node));  // a NaN matches no subarea
        }
    }
    for (const SubareaSummary& subarea : *subareas) {
        SubareaStatisticsRecord record;
        record.subarea_number = rounded_to_decimals(subarea.subarea_number, NODE_DECIMALS);
        record.area = rounded_to_decimals(subarea.area, AREA_DECIMALS);
        const float number = subarea.subarea_number;
        if (number == number && initial_nodes.contains(number_key(number))) {
            for (int event = 1; event <= STORM_EVENTS; ++event)
                record.time_of_concentration[static_cast<std::size_t>(event - 1)] = rounded_to_decimals(
                    subarea.time_of_concentration[static_cast<std::size_t>(event - 1)], TIME_DECIMALS);
        }
        table.push_back(record);
    }
}

void extract_result_statistics(Session& session, std::string_view data_file_stem,
                               std::vector<ResultStatisticsRecord>& table)
{
    const std::string name = session.study_file(model_results_file_name(data_file_stem));
    for (const ModelResultsGroup& group : read_model_results_file(name)) {
        // Subareas, confluences, storage and seam groups carry no conveyance.
        const int code = group.process_code;
        if (code < 31 || code == 71 || code == 72 || is_seam_code(code)) continue;
        ResultStatisticsRecord record;
        record.upstream_node = rounded_to_decimals(group.upstream_node, NODE_DECIMALS);
        record.downstream_node = rounded_to_decimals(group.downstream_node, NODE_DECIMALS);
        record.process_code = rounded_to_decimals(static_cast<float>(code), NODE_DECIMALS);
        record.subarea_area = rounded_to_decimals(group.subarea_added_area, RESULT_DECIMALS);
        record.total_area = rounded_to_decimals(group.total_tributary_area, RESULT_DECIMALS);
        record.downstream_tc = rounded_to_decimals(group.downstream_time_of_concentration, RESULT_DECIMALS);
        record.travel_time = rounded_to_decimals(group.travel_time, RESULT_DECIMALS);
        table.push_back(record);
    }
}

void extract_node_statistics(Session& session, std::string_view data_file_stem,
                             std::vector<NodeStatisticsRecord>& table)
{
    const std::string name = session.study_file(node_data_base_name(data_file_stem));
    // Of a node line's 655 values only the node number, the tributary area
    // and the peak flows are converted; the rest are counted.
    static const std::vector<int> columns = [] {
        std::vector<int> taken{1, NodeRecord::TOTAL_TRIBUTARY_AREA_COLUMN};
        for (int event = 1; event <= STORM_EVENTS; ++event)
            taken.push_back(NodeRecord::FIRST_PEAK_FLOW_COLUMN + event - 1);
        return taken;
    }();
    // A node line is long and each node is needed once: the nodes are taken
    // as they are read, not held.
    for_each_record_columns<NodeRecord>(name, FilePresence::MustExist, columns, [&](const NodeRecord& node) {
        const float area = node.total_tributary_area();
        if (!(node.peak_flow_rate(1) > 0.0f && area > 0.0f)) return;
        NodeStatisticsRecord record;
        record.node_number = rounded_to_decimals(node.node_number(), NODE_DECIMALS);
        for (int event = 1; event <= STORM_EVENTS; ++event)
            record.flow_area_ratio[static_cast<std::size_t>(event - 1)] =
                rounded_to_decimals(node.peak_flow_rate(event) / area, RATIO_DECIMALS);
        table.push_back(record);
    });
}

}  // namespace velm
