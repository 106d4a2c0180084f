#include "diagnostics/node_checks.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "diagnostics/report_lines.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

// Node numbers and elevations the system accepts (single-precision limits;
// 999999.94 is the float 999999.9375, so 999999.9 passes).
constexpr float LOWEST_NODE_NUMBER = 10000.0f;
constexpr float HIGHEST_NODE_NUMBER = 999999.94f;
constexpr float LOWEST_NODE_ELEVATION = -2000.0f;   // ft
constexpr float HIGHEST_NODE_ELEVATION = 25000.0f;  // ft

// Section II.B.  Each caption is two lines, so that the report comparison
// finds the numbers of an item after exactly two lines.
constexpr std::string_view NODE_CHECKS_HEADING = "(//4X,'II.B. POSTPROCESSOR VALIDITY CHECKS: NODES')";
constexpr std::string_view NODE_ITEM_A_CAPTION =
    "(2X,'A. Number of Nodes that are NOT unique in the',' Node Database = ',I3,':'/"
    "5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view NODE_ITEM_B_CAPTION =
    "(2X,'B. Number of Nodal Elevations that are less than'/"
    "5X,'[-2000.] or greater than [25000.] = ',I3,':')";
constexpr std::string_view NODE_ITEM_C_CAPTION =
    "(2X,'C. Number of Nodal Point NUMBERS out of range = ',I3,':'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view NODE_ITEM_D_CAPTION =
    "(2X,'D. Number of Nodes that are NOT used in the',' Link Database = ',I3,':'/"
    "5X,'(EXCEPTIONS are FATAL!)')";

constexpr std::string_view NODE_CHECKS_WINDOW_HEADING = "(/5X,'**** NODE VALIDITY CHECKS ***')";

// One reported item: its caption with the count, the numbers, and a rule.
void write_node_item(TextWriter& report, std::string_view caption, const std::vector<float>& numbers)
{
    write_counted_node_list(report, caption, numbers);
    write_report_separator(report);
}

}  // namespace

int NodeCheckExceptions::map_result() const
{
    return not_unique.empty() && number_out_of_range.empty() && not_used_by_links.empty() ? 0 : 1;
}

void NodeCheckExceptions::append(const NodeCheckExceptions& more)
{
    not_unique.insert(not_unique.end(), more.not_unique.begin(), more.not_unique.end());
    elevation_out_of_range.insert(elevation_out_of_range.end(), more.elevation_out_of_range.begin(),
                                  more.elevation_out_of_range.end());
    number_out_of_range.insert(number_out_of_range.end(), more.number_out_of_range.begin(),
                               more.number_out_of_range.end());
    not_used_by_links.insert(not_used_by_links.end(), more.not_used_by_links.begin(), more.not_used_by_links.end());
}

NodeCheckExceptions find_node_exceptions(const std::vector<GisNodeRecord>& nodes,
                                         const std::vector<GisLinkRecord>* links)
{
    NodeCheckExceptions found;
    const std::size_t count = nodes.size();

    // Item A lists record i once for every later record j with the same
    // number.  The later repeats of each record are counted in one pass from
    // the end of the file, so large maps need no comparison of all pairs.
    // Numbers match by float equality: 0.0 and -0.0 are one number, and a
    // NaN matches nothing.
    std::vector<int> later_repeats(count, 0);
    std::unordered_map<float, int> seen_after;
    for (std::size_t i = count; i-- > 0;) {
        const float number = nodes[i].node_number();
        if (number != number) continue;
        int& seen = seen_after[number];
        later_repeats[i] = seen;
        ++seen;
    }
    for (std::size_t i = 0; i < count; ++i)
        found.not_unique.insert(found.not_unique.end(), static_cast<std::size_t>(later_repeats[i]),
                                nodes[i].node_number());

    for (const GisNodeRecord& node : nodes) {
        const float elevation = node.node_elevation();
        if (elevation < LOWEST_NODE_ELEVATION || elevation > HIGHEST_NODE_ELEVATION)
            found.elevation_out_of_range.push_back(node.node_number());
    }

    for (const GisNodeRecord& node : nodes) {
        const float number = node.node_number();
        if (number > HIGHEST_NODE_NUMBER || number < LOWEST_NODE_NUMBER) found.number_out_of_range.push_back(number);
    }

    if (links != nullptr) {
        std::unordered_set<float> linked;
        for (const GisLinkRecord& link : *links) {
            linked.insert(link.upstream_node());
            linked.insert(link.downstream_node());
        }
        for (const GisNodeRecord& node : nodes)
            if (!linked.contains(node.node_number())) found.not_used_by_links.push_back(node.node_number());
    }
    return found;
}

NodeCheckExceptions check_node_data_base(Session& session, int link_file_switch, std::string_view map_name,
                                         int model_type_code, const DiagnosticsInputs* inputs)
{
    const std::string node_file = gis_file_name_from_stem(map_name, model_type_code, GisFileKind::Node);
    write_processing_file(session.window, node_file);
    const std::string node_path = session.study_file(node_file);
    const std::vector<GisNodeRecord>* kept = inputs != nullptr ? inputs->gis_nodes(node_path) : nullptr;
    std::vector<GisNodeRecord> read;
    if (kept == nullptr) read = read_gis_node_file(node_path, FilePresence::Optional);
    const std::vector<GisNodeRecord>& nodes = kept != nullptr ? *kept : read;
    if (link_file_switch == 0) return find_node_exceptions(nodes, nullptr);

    const std::string link_file = gis_file_name_from_stem(map_name, model_type_code, GisFileKind::Link);
    const std::vector<GisLinkRecord> links = read_gis_link_file(session.study_file(link_file), FilePresence::Optional);
    return find_node_exceptions(nodes, &links);
}

void write_node_check_items(TextWriter& report, const NodeCheckExceptions& exceptions, bool with_item_d)
{
    write_node_item(report, NODE_ITEM_A_CAPTION, exceptions.not_unique);
    write_node_item(report, NODE_ITEM_B_CAPTION, exceptions.elevation_out_of_range);
    write_node_item(report, NODE_ITEM_C_CAPTION, exceptions.number_out_of_range);
    if (with_item_d) write_node_item(report, NODE_ITEM_D_CAPTION, exceptions.not_used_by_links);
}

void report_node_checks(TextWriter& report, const NodeCheckExceptions& exceptions)
{
    write_report_lines(report, NODE_CHECKS_HEADING);
    write_report_separator(report);
    write_node_check_items(report, exceptions, true);
}

int run_node_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code)
{
    return run_node_checks(session, report, data_files, model_type_code, DiagnosticsInputs{});
}

int run_node_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code,
                    const DiagnosticsInputs& inputs)
{
    constexpr int link_file_switch = 1;

    report.write_page_break();
    write_screen_records(session.window, NODE_CHECKS_WINDOW_HEADING);
    int node_fatal_total = 0;
    NodeCheckExceptions all_maps;
    // In model type 6 every map of a region examines the region's files,
    // with the same findings each time: each file is read once per run.
    std::unordered_map<std::string, NodeCheckExceptions> examined;
    for (const std::string& map_name : data_files.data_file_names) {
        const std::string node_file = gis_file_name_from_stem(map_name, model_type_code, GisFileKind::Node);
        auto found = examined.find(node_file);
        if (found == examined.end()) {
            found = examined
                        .emplace(node_file,
                                 check_node_data_base(session, link_file_switch, map_name, model_type_code, &inputs))
                        .first;
        } else {
            write_processing_file(session.window, node_file);
        }
        node_fatal_total += found->second.map_result();
        all_maps.append(found->second);
    }
    write_check_verdict(session.window, node_fatal_total);
    report_node_checks(report, all_maps);
    return node_fatal_total;
}

}  // namespace velm
