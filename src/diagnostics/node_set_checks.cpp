// The network node-set checks: the sets of unconnected downstream and
// upstream nodes that the link checks wrote, split into outlets, headwaters
// and seams, and compared with the network of the link-node model files.
#include "diagnostics/node_set_checks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "diagnostics/confluence_table.h"
#include "diagnostics/diagnostics_run.h"
#include "diagnostics/report_lines.h"
#include "platform/files.h"
#include "platform/text_file.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/number_keys.h"
#include "records/study_id.h"
#include "records/study_names.h"

namespace velm {

namespace {

// Window lines.
constexpr std::string_view HEADWATER_CHECK_FORMAT = "('* CHECK HEADWATER NODES *')";
constexpr std::string_view CONFLUENCE_CHECK_FORMAT = "('* CHECK CONFLUENCE NODES *')";
constexpr std::string_view SEAM_CHECK_FORMAT = "('* CHECK SEAM NODES *')";

// Report lines.
constexpr std::string_view HEADWATER_HEADING_FORMAT =
    "(/5X,'Headwater nodes that are not the UPSTREAM NODE'/5X,'of an Initial Subarea are :'/5X,'(EXCEPTIONS "
    "maybe FATAL!)')";
constexpr std::string_view CONFLUENCE_HEADING_FORMAT =
    "(/5X,'Confluence nodes that do not match NETWORK:'/5X,'(EXCEPTIONS maybe FATAL!)')";
constexpr std::string_view SEAM_HEADING_FORMAT =
    "(/5X,'Seam nodes that are not associated with DNA files:'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view EXCEPTION_NODES_FORMAT = "(5(1X,F8.1))";

std::unordered_set<std::uint32_t> node_keys(const std::vector<float>& nodes)
{
    std::unordered_set<std::uint32_t> keys;
    for (const float node : nodes) keys.insert(number_key(node));
    return keys;
}

// A counted node-set file, replaced whole (the run's new version during an
// analysis run).
void write_node_set_file(Session& session, const std::string& name, const std::vector<float>& nodes)
{
    write_text_lines(session.output_file(name), counted_node_set_lines(nodes));
}

void write_exception_block(TextWriter& report, std::string_view heading, const std::vector<float>& nodes)
{
    write_report_lines(report, heading);
    write_report_lines(report, EXCEPTION_NODES_FORMAT, std::vector<FormatValue>(nodes.begin(), nodes.end()));
}

// The nodes of the first set that are not among the second, in order.
std::vector<float> nodes_missing_from(const std::vector<float>& nodes, const std::vector<float>& reference)
{
    const std::unordered_set<std::uint32_t> known = node_keys(reference);
    std::vector<float> missing;
    for (const float node : nodes) {
        if (!known.contains(number_key(node))) missing.push_back(node);
    }
    return missing;
}

// The downstream nodes of the table entries that the network does not
// confirm: no network confluence at that node (the first one counts), or a
// tributary of the entry among none of its five upstream nodes.  An
// upstream node that only the network has is no exception.
std::vector<float> unmatched_confluences(const std::vector<ConfluenceEntry>& table,
                                         const std::vector<std::array<float, 6>>& network)
{
    std::unordered_map<std::uint32_t, std::size_t> first_network_row;
    for (std::size_t row = 0; row < network.size(); ++row)
        first_network_row.try_emplace(number_key(network[row][0]), row);
    std::vector<float> exceptions;
    for (const ConfluenceEntry& entry : table) {
        const auto found = first_network_row.find(number_key(entry[0]));
        bool matches = found != first_network_row.end();
        for (std::size_t slot = 1; matches && slot < entry.size(); ++slot) {
            if (entry[slot] == 0.0f) continue;
            const std::array<float, 6>& row = network[found->second];
            matches = std::find(row.begin() + 1, row.end(), entry[slot]) != row.end();
        }
        if (!matches) exceptions.push_back(entry[0]);
    }
    return exceptions;
}

}  // namespace

std::vector<float> read_node_set_groups(const Session& session, const std::string& name)
{
    return read_node_set_groups(name, session.input_file(name));
}

std::vector<ConfluenceEntry> read_confluence_table(const Session& session, const std::string& name)
{
    return read_confluence_table(name, session.input_file(name));
}

int check_network_node_sets(Session& session, const std::string& study_name, const NetworkNodeSets& node_sets)
{
    const std::string study_id = study_id_of(study_name);
    int node_set_flag = 0;

    // Set E: downstream nodes that lead nowhere; set F: upstream nodes that
    // nothing enters.
    std::vector<float> outlets = read_node_set_groups(session, session.study_file(downstream_node_set_name(study_id)));
    std::vector<float> headwaters = read_node_set_groups(session, std::string(UPSTREAM_NODE_SET_NAME));
    const std::vector<ConfluenceEntry> confluences =
        read_confluence_table(session, session.study_file(confluence_table_name(study_id)));

    // A node in both sets is a seam between maps: it appears once in X for
    // every pair of equal entries.
    std::unordered_map<std::uint32_t, int> headwater_uses;
    for (const float node : headwaters) ++headwater_uses[number_key(node)];
    std::vector<float> seams;
    for (const float node : outlets) {
        const auto found = headwater_uses.find(number_key(node));
        if (found != headwater_uses.end()) seams.insert(seams.end(), static_cast<std::size_t>(found->second), node);
    }
    if (!seams.empty()) {
        // Each seam entry takes away the first remaining equal outlet; a seam
        // node leaves the headwaters altogether.
        std::unordered_map<std::uint32_t, int> to_remove;
        for (const float node : seams) ++to_remove[number_key(node)];
        std::vector<float> kept;
        for (const float node : outlets) {
            const auto found = to_remove.find(number_key(node));
            if (found != to_remove.end() && found->second > 0) {
                --found->second;
                continue;
            }
            kept.push_back(node);
        }
        outlets = std::move(kept);
        const std::unordered_set<std::uint32_t> seam_keys = node_keys(seams);
        std::erase_if(headwaters, [&seam_keys](float node) { return seam_keys.contains(number_key(node)); });
    }

    write_node_set_file(session, std::string(OUTLET_SET_NAME), outlets);
    write_node_set_file(session, session.study_file(study_file_name(HEADWATER_SET_NAME_FORMAT, study_id)), headwaters);
    write_node_set_file(session, session.study_file(study_file_name(SEAM_SET_NAME_FORMAT, study_id)), seams);

    TextWriter report = session.report_appender(study_id);
    // Headwaters of the data bases where the model files start no initial
    // subarea.
    write_at(session.window, 5, 5, format_line(HEADWATER_CHECK_FORMAT, {}));
    const std::vector<float> lost_headwaters = nodes_missing_from(headwaters, node_sets.headwater_nodes);
    if (!lost_headwaters.empty()) {
        write_report_separator(report);
        write_exception_block(report, HEADWATER_HEADING_FORMAT, lost_headwaters);
        node_set_flag = 1;
    }

    write_at(session.window, 5, 6, format_line(CONFLUENCE_CHECK_FORMAT, {}));
    if (!confluences.empty()) {
        const std::vector<float> unmatched = unmatched_confluences(confluences, node_sets.confluence_rows);
        if (!unmatched.empty()) {
            write_exception_block(report, CONFLUENCE_HEADING_FORMAT, unmatched);
            node_set_flag = 1;
        }
    }

    write_at(session.window, 5, 7, format_line(SEAM_CHECK_FORMAT, {}));
    if (!seams.empty()) {
        const std::vector<float> lost_seams = nodes_missing_from(seams, node_sets.seam_nodes);
        if (!lost_seams.empty()) {
            write_exception_block(report, SEAM_HEADING_FORMAT, lost_seams);
            node_set_flag = 1;
        }
    }

    // Without exceptions nothing is appended and the report stays as it is.
    if (node_set_flag == 1) {
        write_report_separator(report);
        report.commit();
    }
    return node_set_flag;
}

}  // namespace velm
