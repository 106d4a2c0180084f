// The cross-check of every map's subarea and link data bases against its
// link-node model file, the seven cross-check items of the diagnostics
// report, and the network node sets of the model files.
#include "diagnostics/model_cross_check.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "diagnostics/report_lines.h"
#include "platform/files.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"
#include "records/link_table.h"
#include "records/model_file.h"
#include "records/number_keys.h"
#include "records/process_codes.h"
#include "records/subarea_data_base.h"

namespace velm {

namespace {

// Window lines.
constexpr std::string_view CROSS_CHECK_HEADING_FORMAT = "('* CHECK DATA BASE VS. LINK-NODE MODEL NETWORK *')";

// Report lines.  The headings are written free-form, so each stands in the
// report behind one blank; their first six characters "     *" are how a
// later comparison of two reports finds the cross-check items.
constexpr std::string_view SUBAREA_CHECK_HEADING = "    * Check Subarea Data Base (FATAL ERRORs!) *";
constexpr std::string_view SUBAREA_REPEATED_HEADING = "    * Subarea Used More Than ONCE in Link-Node Model";
constexpr std::string_view SUBAREA_UNUSED_HEADING = "    * Subarea NOT Used in Link-Node Model";
constexpr std::string_view SUBAREA_MISSING_HEADING = "    * Subarea does NOT EXIST in Data Base";
constexpr std::string_view FATAL_NOTE = "      (EXCEPTIONS are FATAL!)";
constexpr std::string_view SUBAREA_NONE = "      None";
constexpr std::string_view SUBAREA_LIST_FORMAT = "(8(1X,F8.1))";
constexpr std::string_view CAUTION_HEADING_FORMAT =
    "('     * CAUTION: Subareas that are NOT added',' to respective node number'/'       (EXCEPTIONS may be "
    "FATAL!)'/7X,'Subarea Number    Node Number')";
constexpr std::string_view CAUTION_ROW_FORMAT = "(8X,F8.1,9X,F8.1)";
constexpr std::string_view PAGE_BREAK_FORMAT = "(A)";
constexpr std::string_view LINK_CHECK_HEADING = "    * Check Link Data Base *";
constexpr std::string_view LINK_REPEATED_HEADING = "    * Link Used More Than ONCE in Link-Node Model";
constexpr std::string_view LINK_UNUSED_HEADING = "    * Link NOT Used in Link-Node Model";
constexpr std::string_view LINK_MISSING_HEADING = "    * Link does NOT EXIST in Data Base";
constexpr std::string_view LINK_ID_CAPTION = "            LINK  ID";
constexpr std::string_view LINK_NODES_CAPTION = "        U/S NODE  D/S NODE";
constexpr std::string_view LINK_REPEATED_NONE = "             None";
constexpr std::string_view LINK_UNUSED_NONE = "              None";
constexpr std::string_view LINK_MISSING_NONE = "               None";
constexpr std::string_view LINK_ROW_FORMAT = "(8X,F8.1,2X,F8.1)";

// Subarea numbers below this are no subarea: the packed fraction of a group
// without one holds only a few digits.
constexpr float MIN_SUBAREA_NUMBER = 10000.0f;

// The node pair of a link or group.
struct LinkNodes {
    float upstream = 0.0f;    // node number
    float downstream = 0.0f;  // node number
};

// A subarea that the model adds away from its own node.
struct SubareaAtNode {
    float subarea_number = 0.0f;
    float node = 0.0f;  // downstream node of the group (or link) that adds it
};

std::uint64_t pair_key(const LinkNodes& pair)
{
    return node_pair_key(pair.upstream, pair.downstream);
}

// A subarea as the model file enters it: at the node pair of its group, or
// for a subarea addition (codes 81, 82) at the last link entered before it.
struct ModelSubarea {
    float number = 0.0f;           // subarea number, a whole number
    float downstream_node = 0.0f;  // node number
    float upstream_node = 0.0f;    // node number
};

// What one map's model file holds for the comparison.
struct MapModel {
    std::vector<ModelSubarea> subareas;
    std::vector<LinkNodes> links;
    std::vector<LinkNodes> confluence_pairs;  // the reach entering each confluence
};

// Scan state that runs on from one map's model file into the next.
struct ScanState {
    int previous_code = 0;
    LinkNodes last_reach;  // the last group whose two nodes differ
    LinkNodes last_link;   // the last group entered as a link
};

// The findings of all maps, in the order they were found.
struct CrossCheckFindings {
    std::vector<float> repeated_subareas;                // used more than once in the model
    std::vector<float> unused_subareas;                  // in the data base, not in the model
    std::vector<float> missing_subareas;                 // in the model, not in the data base
    std::vector<SubareaAtNode> subareas_off_their_node;  // caution: added away from their node
    std::vector<LinkNodes> repeated_links;               // used more than once in the model
    std::vector<LinkNodes> unused_links;                 // in the data base, not in the model
    std::vector<LinkNodes> missing_links;                // in the model, not in the data base
};

// The subarea number that a packed_subarea value carries: none (0.0) when
// its integer part is 0 or the number is below MIN_SUBAREA_NUMBER.
float carried_subarea_number(float packed)
{
    if (packed_subarea_code(packed) == 0) return 0.0f;
    const float number = packed_subarea_number(packed);
    return number < MIN_SUBAREA_NUMBER ? 0.0f : number;
}

// The subarea number at a group's data value `position` (1-based).
float subarea_number_at(const ModelGroup& group, int position)
{
    if (position < 1 || static_cast<std::size_t>(position) > group.values.size()) return 0.0f;
    return carried_subarea_number(group.values[static_cast<std::size_t>(position - 1)]);
}

// Where the packed_subarea value stands among the data values of a group
// that carries one, by the group readers of the cross-check: initial
// subareas after their 3 values, subarea additions first, conduits 32 after
// 9 element and street values, 33, 34 and 43 after 11, open channels 51
// (and 57, an open channel read as 51) after 7, storage elements and code 9
// after 3.  0 for the codes whose reader takes no subarea.
int packed_subarea_position(int code)
{
    switch (code) {
        case 21:
        case 22:
            return 4;
        case 81:
        case 82:
            return 1;
        case 32:
            return 10;
        case 33:
        case 34:
        case 43:
            return 12;
        case 51:
        case 57:
            return 8;
        case 61:
        case 62:
        case 63:
            return 4;
        case 9:
        case 91:
        case 92:
            return 4;
        default:
            return 0;
    }
}

// How a group enters the model lists.
enum class GroupEntry {
    Nothing,         // no subarea, no link
    SubareaAndLink,  // its subarea, when it carries one, and its node pair as a link
    LinkOnly,        // its node pair as a link, no subarea
};

GroupEntry group_entry(int code, int model_type)
{
    if (code == 0 || code == 1 || code == 7 || code == 71 || code == 72 || (code >= 10 && code <= 16)) {
        return GroupEntry::Nothing;
    }
    if (is_seam_code(code)) return GroupEntry::Nothing;
    if (code >= 52 && code <= 56) return GroupEntry::LinkOnly;
    // Storage elements of model types 6 and 9 carry no subarea the data base
    // knows.
    if (code >= 61 && code <= 63 &&
        (is_model_type(model_type, HydrologyModelType::LosAngelesCounty) || uses_region_files(model_type)))
        return GroupEntry::LinkOnly;
    return GroupEntry::SubareaAndLink;
}

// The subarea number a group carries for the cross-check, 0.0 for none.
float group_subarea_number(const ModelGroup& group, int model_type)
{
    const int code = group.process_code();
    // Model type 6 keeps no subarea in its code-9 groups.
    if (is_code9_family_code(code) && is_model_type(model_type, HydrologyModelType::LosAngelesCounty)) return 0.0f;
    return subarea_number_at(group, packed_subarea_position(code));
}

// Walks one map's model file: the network node sets, and the subareas,
// links and confluence pairs of the map.
MapModel scan_model_file(const ModelFile& file, ScanState& state, NetworkNodeSets& node_sets)
{
    MapModel model;
    const int model_type = file.model_type();
    for (const ModelGroup& group : file.groups) {
        const int code = group.process_code();
        const LinkNodes nodes{group.upstream_node, group.downstream_node};

        if (is_initial_subarea_code(code)) node_sets.headwater_nodes.push_back(nodes.upstream);
        if (is_seam_code(code)) node_sets.seam_nodes.push_back(nodes.upstream);
        // A confluence group follows the reach that enters it; a run of
        // confluence groups adds that reach once.
        if (is_confluence_code(code) && state.previous_code != CONFLUENCE_CODE) {
            model.confluence_pairs.push_back(state.last_reach);
        }
        if (nodes.upstream != nodes.downstream) state.last_reach = nodes;
        state.previous_code = code;

        const GroupEntry entry = group_entry(code, model_type);
        if (entry == GroupEntry::Nothing) continue;
        const bool addition = is_subarea_addition_code(code);
        if (entry == GroupEntry::SubareaAndLink) {
            const float number = group_subarea_number(group, model_type);
            if (number != 0.0f) {
                // A subarea addition joins the flow of the link before it.
                const LinkNodes at = addition ? state.last_link : nodes;
                model.subareas.push_back({number, at.downstream, at.upstream});
            }
        }
        if (addition) continue;
        model.links.push_back(nodes);
        state.last_link = nodes;
    }
    return model;
}

// One confluence row per downstream node of the map's confluence pairs, in
// the order of its first pair: the downstream node, then the upstream nodes
// of its pairs in list order (a node equal to the one just before it left
// out) in up to five slots, the others 0.0.
void add_confluence_rows(const std::vector<LinkNodes>& pairs, NetworkNodeSets& node_sets)
{
    std::vector<std::uint32_t> order;
    std::unordered_map<std::uint32_t, std::vector<float>> upstream_by_node;
    std::unordered_map<std::uint32_t, float> node_of_key;
    for (const LinkNodes& pair : pairs) {
        const std::uint32_t key = number_key(pair.downstream);
        auto [it, inserted] = upstream_by_node.try_emplace(key);
        if (inserted) {
            order.push_back(key);
            node_of_key[key] = pair.downstream;
        }
        it->second.push_back(pair.upstream);
    }
    for (const std::uint32_t key : order) {
        std::array<float, 6> row{};
        row[0] = node_of_key[key];
        std::size_t filled = 1;
        for (const float upstream : upstream_by_node[key]) {
            if (upstream == row[filled - 1]) continue;
            // A confluence of more than five tributaries is a fatal finding of
            // the link checks; the row keeps the first five.
            if (filled == row.size()) break;
            row[filled++] = upstream;
        }
        node_sets.confluence_rows.push_back(row);
    }
}

// Adds the findings of one map to the lists.  Returns the number of subarea
// lists and of link lists that received an entry of this map.
std::pair<int, int> compare_map(const MapModel& model, const std::vector<float>& data_base_subareas,
                                const std::vector<LinkNodes>& data_base_links, CrossCheckFindings& findings)
{
    std::unordered_map<std::uint32_t, int> model_subarea_uses;
    for (const ModelSubarea& subarea : model.subareas) ++model_subarea_uses[number_key(subarea.number)];
    std::unordered_set<std::uint32_t> data_base_subarea_keys;
    for (const float number : data_base_subareas) data_base_subarea_keys.insert(number_key(number));
    std::unordered_map<std::uint64_t, int> model_link_uses;
    for (const LinkNodes& link : model.links) ++model_link_uses[pair_key(link)];
    std::unordered_set<std::uint64_t> data_base_link_keys;
    for (const LinkNodes& link : data_base_links) data_base_link_keys.insert(pair_key(link));

    // Every other entry of the same number is one record: a subarea used
    // twice is written twice.
    const std::size_t repeated_subareas = findings.repeated_subareas.size();
    for (const ModelSubarea& subarea : model.subareas) {
        const int uses = model_subarea_uses[number_key(subarea.number)];
        findings.repeated_subareas.insert(findings.repeated_subareas.end(), static_cast<std::size_t>(uses - 1),
                                          subarea.number);
    }
    const std::size_t unused_subareas = findings.unused_subareas.size();
    for (const float number : data_base_subareas) {
        if (!model_subarea_uses.contains(number_key(number))) findings.unused_subareas.push_back(number);
    }
    const std::size_t missing_subareas = findings.missing_subareas.size();
    for (const ModelSubarea& subarea : model.subareas) {
        if (!data_base_subarea_keys.contains(number_key(subarea.number))) {
            findings.missing_subareas.push_back(subarea.number);
        }
    }
    // A subarea's number is the number of the node it drains to.
    for (const ModelSubarea& subarea : model.subareas) {
        if (subarea.number != subarea.downstream_node && subarea.number != subarea.upstream_node) {
            findings.subareas_off_their_node.push_back({subarea.number, subarea.downstream_node});
        }
    }

    const std::size_t repeated_links = findings.repeated_links.size();
    for (const LinkNodes& link : model.links) {
        const int uses = model_link_uses[pair_key(link)];
        findings.repeated_links.insert(findings.repeated_links.end(), static_cast<std::size_t>(uses - 1), link);
    }
    const std::size_t unused_links = findings.unused_links.size();
    for (const LinkNodes& link : data_base_links) {
        if (!model_link_uses.contains(pair_key(link))) findings.unused_links.push_back(link);
    }
    const std::size_t missing_links = findings.missing_links.size();
    for (const LinkNodes& link : model.links) {
        if (link.upstream != link.downstream && !data_base_link_keys.contains(pair_key(link))) {
            findings.missing_links.push_back(link);
        }
    }

    auto grew = [](std::size_t before, std::size_t after) { return after > before ? 1 : 0; };
    const int subarea_flags = grew(repeated_subareas, findings.repeated_subareas.size()) +
                              grew(unused_subareas, findings.unused_subareas.size()) +
                              grew(missing_subareas, findings.missing_subareas.size());
    const int link_flags = grew(repeated_links, findings.repeated_links.size()) +
                           grew(unused_links, findings.unused_links.size()) +
                           grew(missing_links, findings.missing_links.size());
    return {subarea_flags, link_flags};
}

// The cross-check of one map (`map_name` the 8-character data file stem).
void cross_check_data_base_with_model(Session& session, const std::string& map_name,
                                      const std::string& model_file_extension, DiagnosticsInputs& inputs,
                                      ScanState& state, NetworkNodeSets& node_sets, CrossCheckFindings& findings,
                                      int& subarea_fatal_total, int& link_fatal_total)
{
    const std::string model_name = model_file_name(map_name, model_file_extension);
    write_processing_file(session.window, model_name);

    const std::string model_path = session.study_file(model_name);
    if (!file_exists(model_path)) {
        throw FileError("The link-node model file '" + model_path + "' of map " + map_name + " does not exist");
    }
    const ModelFile model_file = read_model_file(model_path);
    inputs.keep_model_header(model_path, model_file.header.values);
    const MapModel model = scan_model_file(model_file, state, node_sets);

    // A missing data base holds nothing: every subarea or link of the model
    // is then reported as not in the data base.
    std::vector<float> data_base_subareas;
    const std::string subarea_path = session.study_file(subarea_data_base_name(map_name));
    if (const std::vector<SubareaSummary>* subareas = inputs.subareas(subarea_path)) {
        for (const SubareaSummary& subarea : *subareas) data_base_subareas.push_back(subarea.subarea_number);
    } else {
        for (const SubareaRecord& record : read_subarea_data_base(subarea_path, FilePresence::Optional))
            data_base_subareas.push_back(record.subarea_number());
    }
    std::vector<LinkNodes> data_base_links;
    std::vector<LinkRecord> read;
    for (const LinkRecord& record : link_data_base_records(
             session.link_table, session.study_file(link_data_base_name(map_name)), FilePresence::Optional, read)) {
        data_base_links.push_back({record.upstream_node(), record.downstream_node()});
    }

    const auto [subarea_flags, link_flags] = compare_map(model, data_base_subareas, data_base_links, findings);
    subarea_fatal_total += subarea_flags;
    link_fatal_total += link_flags;
    add_confluence_rows(model.confluence_pairs, node_sets);
}

// A heading line as the report holds it: written free-form, behind one blank.
void write_heading(TextWriter& report, std::string_view heading)
{
    report.write_line(free_form_line({std::string(heading)}));
}

void write_subarea_item(TextWriter& report, std::string_view heading, const std::vector<float>& numbers)
{
    write_heading(report, heading);
    write_heading(report, FATAL_NOTE);
    if (numbers.empty()) {
        write_heading(report, SUBAREA_NONE);
        return;
    }
    write_report_lines(report, SUBAREA_LIST_FORMAT, std::vector<FormatValue>(numbers.begin(), numbers.end()));
}

void write_link_item(TextWriter& report, std::string_view heading, std::string_view none,
                     const std::vector<LinkNodes>& links)
{
    static const Format row(LINK_ROW_FORMAT);
    write_heading(report, heading);
    write_heading(report, FATAL_NOTE);
    write_heading(report, LINK_ID_CAPTION);
    write_heading(report, LINK_NODES_CAPTION);
    if (links.empty()) write_heading(report, none);
    for (const LinkNodes& link : links) report.write_line(row.line({link.upstream, link.downstream}));
}

// The seven cross-check items, written to the report.
void report_model_cross_check(TextWriter& report, const CrossCheckFindings& findings)
{
    static const Format caution_row(CAUTION_ROW_FORMAT);
    static const Format page_break(PAGE_BREAK_FORMAT);

    write_heading(report, SUBAREA_CHECK_HEADING);
    write_subarea_item(report, SUBAREA_REPEATED_HEADING, findings.repeated_subareas);
    write_subarea_item(report, SUBAREA_UNUSED_HEADING, findings.unused_subareas);
    write_subarea_item(report, SUBAREA_MISSING_HEADING, findings.missing_subareas);

    write_report_lines(report, CAUTION_HEADING_FORMAT);
    if (findings.subareas_off_their_node.empty()) write_heading(report, SUBAREA_NONE);
    for (const SubareaAtNode& entry : findings.subareas_off_their_node) {
        report.write_line(caution_row.line({entry.subarea_number, entry.node}));
    }

    report.write_line(page_break.line({std::string(PAGE_BREAK)}));
    write_heading(report, LINK_CHECK_HEADING);
    write_link_item(report, LINK_REPEATED_HEADING, LINK_REPEATED_NONE, findings.repeated_links);
    write_link_item(report, LINK_UNUSED_HEADING, LINK_UNUSED_NONE, findings.unused_links);
    write_link_item(report, LINK_MISSING_HEADING, LINK_MISSING_NONE, findings.missing_links);
}

}  // namespace

void run_model_cross_check(Session& session, TextWriter& report, const DataFileTable& data_files,
                           NetworkNodeSets& node_sets, int& subarea_fatal_total, int& link_fatal_total)
{
    DiagnosticsInputs inputs;
    run_model_cross_check(session, report, data_files, node_sets, subarea_fatal_total, link_fatal_total, inputs);
}

void run_model_cross_check(Session& session, TextWriter& report, const DataFileTable& data_files,
                           NetworkNodeSets& node_sets, int& subarea_fatal_total, int& link_fatal_total,
                           DiagnosticsInputs& inputs)
{
    static const Format heading(CROSS_CHECK_HEADING_FORMAT);
    session.window.clear_screen();
    write_at(session.window, 2, 5, heading.line({}));

    node_sets.clear();
    ScanState state;
    CrossCheckFindings findings;
    for (const std::string& map_name : data_files.data_file_names) {
        cross_check_data_base_with_model(session, map_name, data_files.model_file_extension, inputs, state, node_sets,
                                         findings, subarea_fatal_total, link_fatal_total);
    }
    report_model_cross_check(report, findings);
    // The later steps of the run append to the report on disk.
    report.commit();
}

}  // namespace velm
