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
#include "records/study_id.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/number_keys.h"
#include "records/study_names.h"

namespace velm {

namespace {

// File names of the sets written here, from the study identifier (the sets
// and table read here are named with the link checks' writers).
constexpr std::string_view OUTLET_SET_NAME = "SETG.ZZZ";  // working directory
constexpr std::string_view SEAM_SET_NAME_FORMAT = "(A2,'SETXZZ.ZZZ')";

// The node numbers of a node-set file, ten to a line after the count.
constexpr std::string_view NODE_SET_LINE_FORMAT = "(10(1X,F8.1))";
constexpr int CONFLUENCE_HEADING_LINES = 3;
constexpr int CONFLUENCE_ENTRY_VALUES = 6;  // downstream node, five upstream nodes

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


std::unordered_set<std::uint32_t> node_keys(const std::vector<float>& nodes) {
    std::unordered_set<std::uint32_t> keys;
    for (const float node : nodes) keys.insert(number_key(node));
    return keys;
}

// A node-set file: the count free-form, then the nodes ten to a line (an
// empty line when there are none); the file is replaced whole.
void write_node_set_file(Session& session, const std::string& name, const std::vector<float>& nodes) {
    static const Format node_lines(NODE_SET_LINE_FORMAT);
    std::vector<std::string> lines{free_form_line({static_cast<int>(nodes.size())})};
    const std::vector<std::string> numbers = node_lines.write(std::vector<FormatValue>(nodes.begin(), nodes.end()));
    lines.insert(lines.end(), numbers.begin(), numbers.end());
    write_text_lines(session.output_file(name), lines);
}

void write_exception_block(TextWriter& report, std::string_view heading, const std::vector<float>& nodes) {
    write_records(report, heading);
    write_records(report, EXCEPTION_NODES_FORMAT, std::vector<FormatValue>(nodes.begin(), nodes.end()));
}

// The nodes of the first set that are not among the second, in order.
std::vector<float> nodes_missing_from(const std::vector<float>& nodes, const std::vector<float>& reference) {
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
                                         const std::vector<std::array<float, 6>>& network) {
    std::unordered_map<std::uint32_t, std::size_t> first_network_row;
    for (std::size_t row = 0; row < network.size(); ++row) first_network_row.try_emplace(number_key(network[row][0]), row);
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

// The first line of the fatal block that may close the confluence table: a
// rule of hyphens, which no entry of numbers begins with.
bool opens_confluence_fatal_block(const std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    return first != std::string::npos && line.compare(first, 2, "--") == 0;
}

}  // namespace

// A node-set file of the link checks: group after group, a count and then
// that many node numbers, to the end of the file.  A missing file is an
// empty set.
std::vector<float> read_node_set_groups(const Session& session, const std::string& name) {
    const std::string source = session.input_file(name);
    std::vector<std::string> text = file_exists(source) ? read_text_lines(source) : std::vector<std::string>{};
    // Every number takes at least one character and a separator, so no
    // group of the file can hold more numbers than the file has characters.
    std::size_t characters = 0;
    for (const std::string& line : text) characters += line.size() + 1;
    TextReader lines(name, std::move(text));
    FreeFormReader reader(lines);
    std::vector<float> nodes;
    for (;;) {
        int count = 0;
        FreeFormResult result = reader.read({&count});
        if (result.status == FreeFormStatus::EndOfFile) break;
        if (!result.ok()) throw FileError(result.message);
        if (count > 0 && static_cast<std::size_t>(count) > characters) {
            throw FileError("Node-set file '" + name + "', line " + std::to_string(lines.line_number()) +
                            ": a group of " + std::to_string(count) + " node numbers is longer than the file");
        }
        std::vector<float> group;
        result = reader.read_floats(group, count);
        if (result.status == FreeFormStatus::EndOfFile) {
            throw FileError("Node-set file '" + name + "' ends before the " + std::to_string(count) +
                            " node numbers of its last group");
        }
        if (!result.ok()) throw FileError(result.message);
        nodes.insert(nodes.end(), group.begin(), group.end());
    }
    return nodes;
}

// The entries of the confluence table: after its three heading lines, six
// numbers each, up to the end of the file or the fatal block; an entry whose
// downstream node is 0.0 holds nothing.
std::vector<ConfluenceEntry> read_confluence_table(const Session& session, const std::string& name) {
    const std::string source = session.input_file(name);
    if (!file_exists(source)) {
        throw FileError("The confluence table '" + name + "' that the link checks write does not exist");
    }
    std::vector<std::string> lines = read_text_lines(source);
    if (lines.size() < static_cast<std::size_t>(CONFLUENCE_HEADING_LINES)) {
        throw FileError("The confluence table '" + name + "' ends within its three heading lines");
    }
    for (std::size_t k = CONFLUENCE_HEADING_LINES; k < lines.size(); ++k) {
        if (opens_confluence_fatal_block(lines[k])) {
            lines.resize(k);
            break;
        }
    }
    TextReader table(name, std::move(lines));
    std::string heading;
    for (int k = 0; k < CONFLUENCE_HEADING_LINES; ++k) table.next_line(heading);

    FreeFormReader reader(table);
    std::vector<ConfluenceEntry> entries;
    for (;;) {
        std::vector<float> values;
        const FreeFormResult result = reader.read_floats(values, CONFLUENCE_ENTRY_VALUES);
        if (result.status == FreeFormStatus::EndOfFile) break;
        if (!result.ok()) throw FileError(result.message);
        if (values[0] == 0.0f) continue;
        ConfluenceEntry entry{};
        std::copy(values.begin(), values.end(), entry.begin());
        entries.push_back(entry);
    }
    return entries;
}

int check_network_node_sets(Session& session, const std::string& study_name, const NetworkNodeSets& node_sets) {
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

    TextWriter report =
        TextWriter::for_append(session.appended_output_file(session.study_file(diagnostics_report_file_name(study_id))));
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
