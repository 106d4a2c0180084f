#include "diagnostics/link_checks.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "diagnostics/confluence_table.h"
#include "diagnostics/link_check_report.h"
#include "diagnostics/node_checks.h"
#include "diagnostics/report_lines.h"
#include "records/format.h"
#include "records/free_form.h"
#include "records/gis_files.h"
#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"
#include "records/link_table.h"
#include "records/number_keys.h"
#include "records/study_id.h"
#include "shell/dialogue.h"

namespace velm {

namespace {

constexpr std::string_view LINK_CHECKS_WINDOW_FORMAT = "(/5X,'**** LINK VALIDITY CHECKS ***')";

// The heading of section II in the report, after its page break.
constexpr std::string_view DIAGNOSTICS_SECTION_HEADING_FORMAT = "(/24X,'II. DIAGNOSTICS REPORT'/)";

// The analysis run's confluence table holds only nodes entered from two or
// more upstream nodes.
constexpr int FEWEST_CONFLUENCE_TRIBUTARIES = 2;

// A code-22 link of a model type 6 study that has no elevations is checked
// with these values in their place.
constexpr int REPAIRED_PROCESS_CODE = 22;
constexpr float REPAIRED_UPSTREAM_ELEVATION = 100.0f;   // ft
constexpr float REPAIRED_DOWNSTREAM_ELEVATION = 98.0f;  // ft
constexpr float REPAIRED_LINK_LENGTH = 1000.0f;         // ft

float node_at(const LinkEnds& link, LinkEnd end)
{
    return end == LinkEnd::Upstream ? link.upstream_node : link.downstream_node;
}

// The links of each node, in file order.
class NodeIndex {
public:
    NodeIndex(const std::vector<LinkEnds>& links, LinkEnd end)
    {
        for (std::size_t i = 0; i < links.size(); ++i) {
            const float node = node_at(links[i], end);
            if (!std::isnan(node)) links_[number_key(node)].push_back(i);
        }
    }
    const std::vector<std::size_t>& links_at(float node) const
    {
        static const std::vector<std::size_t> none;
        if (std::isnan(node)) return none;
        const auto found = links_.find(number_key(node));
        return found == links_.end() ? none : found->second;
    }

private:
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> links_;
};

std::uint64_t pair_key(const NodePair& pair)
{
    return node_pair_key(pair.upstream_node, pair.downstream_node);
}
bool is_number(const NodePair& pair)
{
    return !std::isnan(pair.upstream_node) && !std::isnan(pair.downstream_node);
}

template <class T>
void append_to(std::vector<T>& to, const std::vector<T>& more)
{
    to.insert(to.end(), more.begin(), more.end());
}

// A node-set group: a free-form record with the count, then one free-form
// record with the nodes in the order found.
void write_node_set_group(TextWriter& file, const std::vector<float>& nodes)
{
    if (nodes.empty()) return;
    file.write_line(free_form_line({static_cast<int>(nodes.size())}));
    std::vector<FreeFormValue> values(nodes.begin(), nodes.end());
    file.write_line(free_form_line(values));
}

}  // namespace

void write_numbered_node_pairs(TextWriter& report, std::string_view row_layout, const std::vector<NodePair>& pairs)
{
    const Format row(row_layout);
    int number = 0;
    for (const NodePair& pair : pairs)
        report.write_line(row.line({++number, pair.upstream_node, pair.downstream_node}));
}

void LinkCheckFindings::append(const LinkCheckFindings& more)
{
    append_to(reversed_links, more.reversed_links);
    append_to(shared_upstream_nodes, more.shared_upstream_nodes);
    append_to(confluence_pairs, more.confluence_pairs);
    append_to(reversed_links_off_confluences, more.reversed_links_off_confluences);
    append_to(unconnected_downstream_nodes, more.unconnected_downstream_nodes);
    append_to(unconnected_upstream_nodes, more.unconnected_upstream_nodes);
    append_to(short_links, more.short_links);
    append_to(upstream_nodes_out_of_range, more.upstream_nodes_out_of_range);
    append_to(downstream_nodes_out_of_range, more.downstream_nodes_out_of_range);
    append_to(upstream_nodes_not_in_gis, more.upstream_nodes_not_in_gis);
    append_to(downstream_nodes_not_in_gis, more.downstream_nodes_not_in_gis);
    append_to(topographic_slopes, more.topographic_slopes);
}

std::vector<NodePair> find_reversed_links(const std::vector<LinkEnds>& links)
{
    std::vector<NodePair> reversed;
    for (const LinkEnds& link : links)
        if (link.downstream_node <= link.upstream_node) reversed.push_back({link.upstream_node, link.downstream_node});
    return reversed;
}

bool has_closed_link(const std::vector<NodePair>& reversed_links)
{
    for (const NodePair& pair : reversed_links)
        if (pair.downstream_node == pair.upstream_node) return true;
    return false;
}

std::vector<NodePair> find_shared_upstream_nodes(const std::vector<LinkEnds>& links)
{
    const NodeIndex leaving(links, LinkEnd::Upstream);
    std::vector<NodePair> pairs;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const std::vector<std::size_t>& group = leaving.links_at(links[i].upstream_node);
        if (group.size() < 2) continue;
        const float upstream = links[i].upstream_node;
        pairs.push_back({upstream, links[i].downstream_node});
        for (std::size_t j : group)
            if (j != i) pairs.push_back({upstream, links[j].downstream_node});
    }
    return pairs;
}

// The links entering a node are first met at the first of them; all of
// them are then candidates, so later links of the same node add nothing.
std::vector<NodePair> find_confluence_pairs(const std::vector<LinkEnds>& links)
{
    const NodeIndex entering(links, LinkEnd::Downstream);
    std::vector<NodePair> pairs;
    std::unordered_set<std::uint64_t> kept;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const std::vector<std::size_t>& group = entering.links_at(links[i].downstream_node);
        if (group.size() < 2 || group.front() != i) continue;
        for (std::size_t j : group) {
            const NodePair pair{links[j].upstream_node, links[i].downstream_node};
            // A pair that is not a number is never found among the kept ones.
            if (!is_number(pair) || kept.insert(pair_key(pair)).second) pairs.push_back(pair);
        }
    }
    return pairs;
}

std::vector<NodePair> find_reversed_links_off_confluences(const std::vector<NodePair>& reversed_links,
                                                          const std::vector<NodePair>& confluence_pairs)
{
    std::unordered_set<std::uint64_t> confluences;
    for (const NodePair& pair : confluence_pairs) confluences.insert(pair_key(pair));
    std::vector<NodePair> off;
    for (const NodePair& pair : reversed_links)
        if (!is_number(pair) || !confluences.contains(pair_key(pair))) off.push_back(pair);
    return off;
}

// E and F: a link counts as "another link" at the node unless it is the
// link itself.
std::vector<float> find_unconnected_downstream_nodes(const std::vector<LinkEnds>& links)
{
    const NodeIndex leaving(links, LinkEnd::Upstream);
    std::vector<float> nodes;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const std::vector<std::size_t>& others = leaving.links_at(links[i].downstream_node);
        const bool only_itself = others.size() == 1 && others.front() == i;
        if (others.empty() || only_itself) nodes.push_back(links[i].downstream_node);
    }
    return nodes;
}

std::vector<float> find_unconnected_upstream_nodes(const std::vector<LinkEnds>& links)
{
    const NodeIndex entering(links, LinkEnd::Downstream);
    std::vector<float> nodes;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const std::vector<std::size_t>& others = entering.links_at(links[i].upstream_node);
        const bool only_itself = others.size() == 1 && others.front() == i;
        if (others.empty() || only_itself) nodes.push_back(links[i].upstream_node);
    }
    return nodes;
}

std::vector<LinkValue> find_short_links(const std::vector<LinkEnds>& links)
{
    std::vector<LinkValue> short_links;
    for (const LinkEnds& link : links)
        if (link.link_length < MIN_LINK_LENGTH)
            short_links.push_back({link.upstream_node, link.downstream_node, link.link_length});
    return short_links;
}

std::vector<float> find_nodes_out_of_range(const std::vector<LinkEnds>& links, LinkEnd end)
{
    std::vector<float> nodes;
    for (const LinkEnds& link : links) {
        const float node = node_at(link, end);
        if (node < MIN_NODE_NUMBER || node > MAX_NODE_NUMBER) nodes.push_back(node);
    }
    return nodes;
}

// A region's GIS node file holds far more nodes than one map's links name:
// only the nodes of the links are looked for, in one pass over the file.
std::vector<float> find_nodes_missing_from(const std::vector<LinkEnds>& links, LinkEnd end,
                                           const std::vector<float>& gis_node_numbers)
{
    std::unordered_map<std::uint32_t, bool> defined;  // node of a link -> found in the GIS file
    for (const LinkEnds& link : links) {
        const float node = node_at(link, end);
        if (!std::isnan(node)) defined.emplace(number_key(node), false);
    }
    for (float node : gis_node_numbers) {
        if (std::isnan(node)) continue;
        const auto found = defined.find(number_key(node));
        if (found != defined.end()) found->second = true;
    }
    std::vector<float> nodes;
    for (const LinkEnds& link : links) {
        const float node = node_at(link, end);
        if (std::isnan(node) || !defined.at(number_key(node))) nodes.push_back(node);
    }
    return nodes;
}

std::vector<LinkValue> find_topographic_slope_exceptions(const std::vector<LinkEnds>& links)
{
    std::vector<LinkValue> slopes;
    for (const LinkEnds& link : links) {
        if (link.link_length == 0.0f) continue;
        const float slope = (link.upstream_elevation - link.downstream_elevation) / link.link_length;
        if (slope <= SLOPE_LOWER_LIMIT || slope > SLOPE_UPPER_LIMIT)
            slopes.push_back({link.upstream_node, link.downstream_node, slope});
    }
    return slopes;
}

MapLinkCheck check_links(const std::vector<LinkEnds>& links, const std::vector<float>& gis_node_numbers)
{
    MapLinkCheck check;
    LinkCheckFindings& found = check.findings;
    found.reversed_links = find_reversed_links(links);
    found.shared_upstream_nodes = find_shared_upstream_nodes(links);
    found.confluence_pairs = find_confluence_pairs(links);
    found.reversed_links_off_confluences =
        find_reversed_links_off_confluences(found.reversed_links, found.confluence_pairs);
    found.unconnected_downstream_nodes = find_unconnected_downstream_nodes(links);
    found.unconnected_upstream_nodes = find_unconnected_upstream_nodes(links);
    found.short_links = find_short_links(links);
    found.upstream_nodes_out_of_range = find_nodes_out_of_range(links, LinkEnd::Upstream);
    found.downstream_nodes_out_of_range = find_nodes_out_of_range(links, LinkEnd::Downstream);
    found.upstream_nodes_not_in_gis = find_nodes_missing_from(links, LinkEnd::Upstream, gis_node_numbers);
    found.downstream_nodes_not_in_gis = find_nodes_missing_from(links, LinkEnd::Downstream, gis_node_numbers);
    found.topographic_slopes = find_topographic_slope_exceptions(links);

    bool over_connected = false;
    for (const ConfluenceRecord& record : group_confluence_pairs(found.confluence_pairs, FEWEST_CONFLUENCE_TRIBUTARIES))
        over_connected = over_connected || record.over_connected();
    check.fatal = has_closed_link(found.reversed_links) || over_connected || !found.shared_upstream_nodes.empty() ||
                  !found.reversed_links_off_confluences.empty() || !found.short_links.empty() ||
                  !found.upstream_nodes_out_of_range.empty() || !found.downstream_nodes_out_of_range.empty() ||
                  !found.upstream_nodes_not_in_gis.empty() || !found.downstream_nodes_not_in_gis.empty();
    return check;
}

namespace {

// The node numbers of the GIS node files, each file read once: the maps of
// a region share the region's file (model type 6).  The nodes read are kept
// in `inputs` for the node checks.
class GisNodeNumbers {
public:
    explicit GisNodeNumbers(DiagnosticsInputs& inputs) : inputs_(inputs) {}

    const std::vector<float>& of(Session& session, const std::string& node_file)
    {
        const auto known = files_.find(node_file);
        if (known != files_.end()) return known->second;
        const std::string path = session.study_file(node_file);
        const std::vector<GisNodeRecord>& nodes =
            inputs_.keep_gis_nodes(path, read_gis_node_file(path, FilePresence::MustExist));
        std::vector<float> numbers;
        numbers.reserve(nodes.size());
        for (const GisNodeRecord& node : nodes) numbers.push_back(node.node_number());
        return files_.emplace(node_file, std::move(numbers)).first->second;
    }

private:
    DiagnosticsInputs& inputs_;
    std::unordered_map<std::string, std::vector<float>> files_;  // by GIS node file name
};

// The link data base of a map: a study of model type 9 keeps its links per
// region, the file of the map number rounded down to a multiple of 100.
std::string map_link_file(std::string_view map_stem, int model_type_code)
{
    std::string stem(map_stem);
    if (uses_region_files(model_type_code) && stem.size() >= 6) stem.replace(4, 2, "00");
    return link_data_base_name(stem);
}

MapLinkCheck check_map_links(Session& session, std::string_view map_stem, int model_type_code,
                             GisNodeNumbers& gis_nodes)
{
    const std::string link_file = map_link_file(map_stem, model_type_code);
    write_processing_file(session.window, link_file.substr(0, 12));

    std::vector<LinkEnds> links;
    std::vector<LinkRecord> read;
    for (const LinkRecord& record :
         link_data_base_records(session.link_table, session.study_file(link_file), FilePresence::MustExist, read)) {
        LinkEnds link{record.upstream_node(), record.downstream_node(), record.upstream_elevation(),
                      record.downstream_elevation(), record.link_length()};
        if (is_model_type(model_type_code, HydrologyModelType::LosAngelesCounty) &&
            record.process_code() == REPAIRED_PROCESS_CODE && link.upstream_elevation <= 0.0f &&
            link.downstream_elevation <= 0.0f) {
            link.upstream_elevation = REPAIRED_UPSTREAM_ELEVATION;
            link.downstream_elevation = REPAIRED_DOWNSTREAM_ELEVATION;
            link.link_length = REPAIRED_LINK_LENGTH;
        }
        links.push_back(link);
    }

    const std::string node_file = gis_file_name_from_stem(map_stem, model_type_code, GisFileKind::Node);
    return check_links(links, gis_nodes.of(session, node_file));
}

}  // namespace

MapLinkCheck check_link_data_base(Session& session, std::string_view map_stem, int model_type_code)
{
    DiagnosticsInputs inputs;
    GisNodeNumbers gis_nodes(inputs);
    return check_map_links(session, map_stem, model_type_code, gis_nodes);
}

int run_link_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code)
{
    DiagnosticsInputs inputs;
    return run_link_checks(session, report, data_files, model_type_code, inputs);
}

int run_link_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code,
                    DiagnosticsInputs& inputs)
{
    report.write_page_break();
    write_report_lines(report, DIAGNOSTICS_SECTION_HEADING_FORMAT);
    write_screen_records(session.window, LINK_CHECKS_WINDOW_FORMAT);

    // The three network files start afresh: the confluence table with its
    // heading, the node sets empty, so nothing of an earlier run survives.
    // The study-named files take the study from the first map, or from the
    // table itself when the model list names no map: the node-set check
    // reads them all the same.
    const StudyId study = study_of_data_files(data_files);
    const std::string& study_id = study.file_prefix();
    const bool has_study = !study.unknown();
    std::optional<TextWriter> confluence_table;
    std::optional<TextWriter> downstream_node_set;
    if (has_study) {
        confluence_table.emplace(session.output_file(session.study_file(confluence_table_name(study_id))));
        for (const std::string& line : confluence_table_heading()) confluence_table->write_line(line);
        confluence_table->commit();
        downstream_node_set.emplace(session.output_file(session.study_file(downstream_node_set_name(study_id))));
        downstream_node_set->commit();
    }
    TextWriter upstream_node_set{session.output_file(UPSTREAM_NODE_SET_NAME)};
    upstream_node_set.commit();

    int link_fatal_total = 0;
    LinkCheckFindings findings;
    std::vector<float> over_connected_nodes;
    GisNodeNumbers gis_nodes(inputs);
    std::unordered_set<std::string> checked;  // link data bases: a type-9 region's maps share one
    for (const std::string& map_stem : data_files.data_file_names) {
        const std::string link_file = map_link_file(map_stem, model_type_code);
        if (!checked.insert(link_file).second) {
            write_processing_file(session.window, link_file.substr(0, 12));
            continue;
        }
        const MapLinkCheck map = check_map_links(session, map_stem, model_type_code, gis_nodes);
        if (map.fatal) ++link_fatal_total;
        for (const ConfluenceRecord& record :
             group_confluence_pairs(map.findings.confluence_pairs, FEWEST_CONFLUENCE_TRIBUTARIES)) {
            confluence_table->write_line(confluence_record_line(record));
            if (record.over_connected()) over_connected_nodes.push_back(record.confluence_node);
        }
        write_node_set_group(*downstream_node_set, map.findings.unconnected_downstream_nodes);
        write_node_set_group(upstream_node_set, map.findings.unconnected_upstream_nodes);
        findings.append(map.findings);
    }
    write_check_verdict(session.window, link_fatal_total);
    if (has_study) {
        confluence_table->commit();
        downstream_node_set->commit();
    }
    upstream_node_set.commit();

    report_link_checks(report, findings);

    // The confluence overflow: the table ends with the nodes entered from
    // more than five upstream nodes.  It adds nothing to the fatal total.
    if (!over_connected_nodes.empty()) {
        for (const std::string& line : confluence_fatal_block(over_connected_nodes)) confluence_table->write_line(line);
        confluence_table->commit();
    }
    return link_fatal_total;
}

}  // namespace velm
