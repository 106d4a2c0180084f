#include "diagnostics/gis_link_checks.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "diagnostics/confluence_table.h"
#include "diagnostics/report_lines.h"
#include "records/free_form.h"
#include "records/number_keys.h"

namespace velm {

namespace {

constexpr std::string_view HEADER_FORMAT = "(//10X,'PREPROCESSOR VALIDITY CHECKS: LINKS'/10X,'FILE NAME : ',A6,'.ZZL')";
constexpr std::string_view LINK_ROW_FORMAT = "(3X,I3,7X,F8.1,3X,F8.1)";
constexpr std::string_view LINK_COLUMNS_FORMAT =
    "('                  Link ID'/'   Link      Upstream   Downstream'/'  Number       Node        Node')";
constexpr std::string_view ITEM_A_FORMAT =
    "(2X,'A. Upstream Node Number Exceeds Downstream',' Node Number:'/5X,'(EXCEPTIONS need to be at a confluence)'/"
    "5X,'(Note: Any Downstream Node Number = Upstream Node',' Number is FATAL!)')";
constexpr std::string_view ITEM_A_NONE_FORMAT =
    "(2X,'A. NUMBERS of Upstream Node Number Exceeds',' Downstream Node Number = 0')";
constexpr std::string_view ITEM_B_FORMAT =
    "(2X,'B. Upstream Nodes that are NOT unique in the',' Link Database:'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_B_NONE_FORMAT =
    "(2X,'B. Number of Upstream Nodes that are NOT unique'/5X,'in the Link Database = 0'/"
    "5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_C_FORMAT =
    "(2X,'C. Downstream Nodes that are NOT unique in the',' Link Database:'/"
    "5X,'(EXCEPTIONS must be all and only',' confluence nodes)')";
constexpr std::string_view ITEM_C_NONE_FORMAT =
    "(2X,'C. Number of Downstream Nodes that are NOT',' unique'/5X,'in the Link Database = 0')";
constexpr std::string_view OVER_CONNECTED_FORMAT = "(5X,'Node Number ',F8.1,' has more than 5 streams, FATAL!')";
constexpr std::string_view ITEM_D_FORMAT =
    "(2X,'D. Number of LINKS in Set [A] that ','are not an element in Set [C] = ',I3,':'/"
    "5X,'(EXCEPTIONS maybe FATAL!)')";
constexpr std::string_view ITEM_E_FORMAT =
    "(2X,'E. Number of Downstream Nodes that do not connect'/"
    "2X,'   to an Upstream Node located on a downstream Link = ',I3,':'/"
    "5X,'(EXCEPTIONS are: (i) Downstream end of a STRING, and'/5X,'(ii) interface node between MAPs(subregions).)')";
constexpr std::string_view ITEM_F_FORMAT =
    "(2X,'F. Number of Upstream Nodes that do not connect'/"
    "2X,'   to a Downstream Node located on an uptream Link = ',I3,':'/"
    "5X,'(EXCEPTIONS are: (i) headwater node, (ii) MAP(subregion)'/"
    "5X,'interface node, and (iii) User-Defined information node.)')";
constexpr std::string_view ITEM_G_FORMAT =
    "(2X,'G. Length of a Link is less than',' [0.001]:'/5X,'(EXCEPTIONS are FATAL!)'/"
    "'  Upstream   Downstream    Length'/'    Node        Node       (feet)')";
constexpr std::string_view ITEM_G_ROW_FORMAT = "(2X,F8.1,3X,F8.1,4X,F8.2)";
constexpr std::string_view ITEM_G_NONE_FORMAT =
    "(2X,'G. Number of Links where Length is less than or',' equal to [0.001] = ',I3/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_H_FORMAT =
    "(2X,'H. Number of Upstream Nodal Point NUMBERS out of',' range = ',I3,':'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_I_FORMAT =
    "(2X,'I. Number of Downstream Nodal Point NUMBERS out of',' range = ',I3,':'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_J_FORMAT =
    "(2X,'J. Number of Upstream Nodes NOT defined in the',' Node Database = ',I3,':'/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_K_FORMAT =
    "(2X,'K. Number of Downstream Nodes NOT defined in the',' Node Database = ',I3/5X,'(EXCEPTIONS are FATAL!)')";
constexpr std::string_view ITEM_L_FORMAT =
    "(2X,'L. Downstream Elevation is greater than or'/2X,'   equal to Upstream Elevation on a Link:'/"
    "'  Upstream   Downstream    Upstream    Downstream'/'    Node        Node       Elevation   Elevation')";
constexpr std::string_view ITEM_L_ROW_FORMAT = "(2X,F8.1,3X,F8.1,5X,F9.2,3X,F9.2)";
constexpr std::string_view ITEM_L_NONE_FORMAT =
    "(2X,'L. Number of Links that Downstream Elevation is'/"
    "2X,'   greater than or equal to Upstream Elevation on a Link',' = ',I3)";

// The GIS-path table also carries nodes entered from a single upstream node.
constexpr int FEWEST_GIS_CONFLUENCE_TRIBUTARIES = 1;

// Numbered node-pair rows under a heading and the column heading; the
// `none` caption when there is no row.
void write_pair_item(TextWriter& report, std::string_view heading, std::string_view none,
                     const std::vector<NodePair>& pairs)
{
    if (pairs.empty()) {
        write_report_lines(report, none);
        return;
    }
    write_report_lines(report, heading);
    write_report_lines(report, LINK_COLUMNS_FORMAT);
    write_numbered_node_pairs(report, LINK_ROW_FORMAT, pairs);
}

// A node set of one map as one free-form record; nothing without nodes.
void write_node_set_record(TextWriter& file, const std::vector<float>& nodes)
{
    if (nodes.empty()) return;
    file.write_line(free_form_line(std::vector<FreeFormValue>(nodes.begin(), nodes.end())));
}

}  // namespace

std::optional<float> requested_stamp(GisStampRequest request)
{
    switch (request) {
        case GisStampRequest::Checked:
            return stamp_value(GisFileStamp::CheckedStamp);
        case GisStampRequest::Final:
            return stamp_value(GisFileStamp::FinalStamp);
        case GisStampRequest::KeepStamps:
            break;
    }
    return std::nullopt;
}

std::string gis_file_of_map_code(std::string_view map_code, int model_type_code, GisFileKind kind)
{
    std::string stem(map_code.substr(0, 6));
    stem.resize(6, ' ');
    return gis_file_name_from_stem(stem + "ZZ", model_type_code, kind);
}

std::vector<NodePair> find_gis_shared_upstream_nodes(const std::vector<LinkEnds>& links)
{
    // The links leaving each node, in file order, and each link's place there.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> leaving;
    std::vector<std::size_t> place(links.size(), 0);
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (std::isnan(links[i].upstream_node)) continue;
        std::vector<std::size_t>& group = leaving[number_key(links[i].upstream_node)];
        place[i] = group.size();
        group.push_back(i);
    }
    std::vector<NodePair> pairs;
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (std::isnan(links[i].upstream_node)) continue;
        const std::vector<std::size_t>& group = leaving.at(number_key(links[i].upstream_node));
        if (place[i] + 1 >= group.size()) continue;
        const float upstream = links[i].upstream_node;
        pairs.push_back({upstream, links[i].downstream_node});
        for (std::size_t k = place[i] + 1; k < group.size(); ++k)
            pairs.push_back({upstream, links[group[k]].downstream_node});
    }
    return pairs;
}

std::vector<LinkElevations> find_gis_elevation_exceptions(const std::vector<LinkEnds>& links,
                                                          const std::vector<GisNodeRecord>& nodes)
{
    std::unordered_map<std::uint32_t, float> elevation;  // the last record of each node wins
    for (const GisNodeRecord& node : nodes)
        if (!std::isnan(node.node_number())) elevation[number_key(node.node_number())] = node.node_elevation();
    auto elevation_of = [&elevation](float node) {
        if (std::isnan(node)) return MISSING_NODE_ELEVATION;
        const auto found = elevation.find(number_key(node));
        return found == elevation.end() ? MISSING_NODE_ELEVATION : found->second;
    };
    std::vector<LinkElevations> listed;
    for (const LinkEnds& link : links) {
        const LinkElevations ends{link.upstream_node, link.downstream_node, elevation_of(link.upstream_node),
                                  elevation_of(link.downstream_node)};
        if (ends.downstream_elevation >= ends.upstream_elevation || ends.upstream_elevation <= 0.0f ||
            ends.downstream_elevation <= 0.0f)
            listed.push_back(ends);
    }
    return listed;
}

int check_gis_link_file(Session& session, TextWriter& report, GisNetworkFiles& network, bool gis_node_switch,
                        std::string_view map_code, GisStampRequest stamp_request, int model_type_code,
                        FileChange* change)
{
    const std::string link_file = gis_file_of_map_code(map_code, 0, GisFileKind::Link);
    write_processing_file(session.window, link_file.substr(0, 12));
    const std::string link_path = session.study_file(link_file);
    std::vector<GisLinkRecord> records = read_gis_link_file(file_as_seen(change, link_path), FilePresence::Optional);
    std::vector<GisNodeRecord> nodes;
    if (gis_node_switch)
        nodes = read_gis_node_file(
            file_as_seen(change, session.study_file(gis_file_of_map_code(map_code, model_type_code, GisFileKind::Node))),
            FilePresence::Optional);

    std::vector<LinkEnds> links;
    for (const GisLinkRecord& record : records)
        links.push_back({record.upstream_node(), record.downstream_node(), 0.0f, 0.0f, record.link_length()});

    bool fatal = false;
    write_report_lines(report, HEADER_FORMAT, {std::string(map_code.substr(0, 6))});
    write_report_separator(report);

    // A
    const std::vector<NodePair> reversed = find_reversed_links(links);
    write_pair_item(report, ITEM_A_FORMAT, ITEM_A_NONE_FORMAT, reversed);
    fatal = fatal || has_closed_link(reversed);
    write_report_separator(report);
    // B
    const std::vector<NodePair> shared = find_gis_shared_upstream_nodes(links);
    write_pair_item(report, ITEM_B_FORMAT, ITEM_B_NONE_FORMAT, shared);
    fatal = fatal || !shared.empty();
    write_report_separator(report);
    // C and the confluence records
    const std::vector<NodePair> confluence_pairs = find_confluence_pairs(links);
    write_pair_item(report, ITEM_C_FORMAT, ITEM_C_NONE_FORMAT, confluence_pairs);
    for (const ConfluenceRecord& record : group_confluence_pairs(confluence_pairs, FEWEST_GIS_CONFLUENCE_TRIBUTARIES)) {
        if (record.over_connected()) {
            write_report_lines(report, OVER_CONNECTED_FORMAT, {record.confluence_node});
            network.over_connected_nodes.push_back(record.confluence_node);
            fatal = true;
        }
        network.confluence_table.write_line(confluence_record_line(record));
    }
    write_report_separator(report);
    // D
    const std::vector<NodePair> off = find_reversed_links_off_confluences(reversed, confluence_pairs);
    write_report_lines(report, ITEM_D_FORMAT, {static_cast<int>(off.size())});
    if (!off.empty()) {
        write_report_lines(report, LINK_COLUMNS_FORMAT);
        write_numbered_node_pairs(report, LINK_ROW_FORMAT, off);
    }
    write_report_separator(report);
    // E, F
    const std::vector<float> set_e = find_unconnected_downstream_nodes(links);
    write_counted_node_list(report, ITEM_E_FORMAT, set_e);
    write_node_set_record(network.downstream_nodes, set_e);
    write_report_separator(report);
    const std::vector<float> set_f = find_unconnected_upstream_nodes(links);
    write_counted_node_list(report, ITEM_F_FORMAT, set_f);
    write_node_set_record(network.upstream_nodes, set_f);
    write_report_separator(report);
    // G
    const std::vector<LinkValue> short_links = find_short_links(links);
    if (short_links.empty()) {
        write_report_lines(report, ITEM_G_NONE_FORMAT, {0});
    } else {
        write_report_lines(report, ITEM_G_FORMAT);
        for (const LinkValue& link : short_links)
            write_report_lines(report, ITEM_G_ROW_FORMAT, {link.upstream_node, link.downstream_node, link.value});
        fatal = true;
    }
    write_report_separator(report);
    // H, I
    const std::vector<float> upstream_out = find_nodes_out_of_range(links, LinkEnd::Upstream);
    write_counted_node_list(report, ITEM_H_FORMAT, upstream_out);
    write_report_separator(report);
    const std::vector<float> downstream_out = find_nodes_out_of_range(links, LinkEnd::Downstream);
    write_counted_node_list(report, ITEM_I_FORMAT, downstream_out);
    fatal = fatal || !upstream_out.empty() || !downstream_out.empty();
    // J, K, L
    if (gis_node_switch) {
        std::vector<float> numbers;
        for (const GisNodeRecord& node : nodes) numbers.push_back(node.node_number());
        const std::vector<float> upstream_missing = find_nodes_missing_from(links, LinkEnd::Upstream, numbers);
        const std::vector<float> downstream_missing = find_nodes_missing_from(links, LinkEnd::Downstream, numbers);
        write_report_separator(report);
        write_counted_node_list(report, ITEM_J_FORMAT, upstream_missing);
        write_report_separator(report);
        write_counted_node_list(report, ITEM_K_FORMAT, downstream_missing);
        fatal = fatal || !upstream_missing.empty() || !downstream_missing.empty();
        write_report_separator(report);
        const std::vector<LinkElevations> uphill = find_gis_elevation_exceptions(links, nodes);
        if (uphill.empty()) {
            write_report_lines(report, ITEM_L_NONE_FORMAT, {0});
        } else {
            write_report_lines(report, ITEM_L_FORMAT);
            for (const LinkElevations& link : uphill)
                write_report_lines(
                    report, ITEM_L_ROW_FORMAT,
                    {link.upstream_node, link.downstream_node, link.upstream_elevation, link.downstream_elevation});
        }
    }
    write_report_separator(report);

    if (!fatal) {
        if (const std::optional<float> stamp = requested_stamp(stamp_request))
            for (GisLinkRecord& record : records) record.processed_stamp() = *stamp;
        write_gis_link_file(change != nullptr ? change->new_file(link_path) : link_path, records);
    }
    return fatal ? 1 : 0;
}

}  // namespace velm
