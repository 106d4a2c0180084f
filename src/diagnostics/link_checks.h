// The link checks of every map: report section II.A with items A to L, the
// confluence table "SETCZZ.ZZZ" and the node sets "SETEZZ.ZZZ" and
// "SETF.ZZZ", and the confluence overflow block.
//
// The items, as the checks of one map's links find them (node numbers are
// compared by exact equality of their single-precision values):
//   A  reversed links: downstream node number not above the upstream one
//   B  upstream nodes shared by two or more links
//   C  confluence pairs: the upstream nodes of links that share a downstream node
//   D  reversed links that are no confluence pair
//   E  downstream nodes that are the upstream node of no other link (set E)
//   F  upstream nodes that are the downstream node of no other link (set F)
//   G  links shorter than MIN_LINK_LENGTH
//   H  upstream node numbers out of range;  I  the same for downstream nodes
//   J  upstream nodes missing from the map's GIS node file;  K  downstream nodes
//   L  topographic slopes outside SLOPE_LOWER_LIMIT .. SLOPE_UPPER_LIMIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/diagnostics_inputs.h"
#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "shell/session.h"

namespace velm {

inline constexpr float MIN_LINK_LENGTH = 0.001f;     // ft
inline constexpr float MIN_NODE_NUMBER = 10000.0f;   // lowest node number in range
inline constexpr float MAX_NODE_NUMBER = 999999.9f;  // highest node number in range
inline constexpr float SLOPE_LOWER_LIMIT = 0.002f;   // a slope at or below it is listed
inline constexpr float SLOPE_UPPER_LIMIT = 0.100f;   // a slope above it is listed

// The values of a link that the checks use (link record columns 1-4 and 8).
struct LinkEnds {
    float upstream_node = 0.0f;
    float downstream_node = 0.0f;
    float upstream_elevation = 0.0f;    // ft
    float downstream_elevation = 0.0f;  // ft
    float link_length = 0.0f;           // ft
};

struct NodePair {
    float upstream_node = 0.0f;
    float downstream_node = 0.0f;
    bool operator==(const NodePair&) const = default;
};

// A link and one value of it: its length (item G, ft) or its topographic
// slope (item L).
struct LinkValue {
    float upstream_node = 0.0f;
    float downstream_node = 0.0f;
    float value = 0.0f;
    bool operator==(const LinkValue&) const = default;
};

enum class LinkEnd { Upstream, Downstream };

// The exceptions of items A to L, in the order they were found; over all
// maps, map after map.
struct LinkCheckFindings {
    std::vector<NodePair> reversed_links;                  // A
    std::vector<NodePair> shared_upstream_nodes;           // B
    std::vector<NodePair> confluence_pairs;                // C
    std::vector<NodePair> reversed_links_off_confluences;  // D
    std::vector<float> unconnected_downstream_nodes;       // E, set E
    std::vector<float> unconnected_upstream_nodes;         // F, set F
    std::vector<LinkValue> short_links;                    // G, value = length (ft)
    std::vector<float> upstream_nodes_out_of_range;        // H
    std::vector<float> downstream_nodes_out_of_range;      // I
    std::vector<float> upstream_nodes_not_in_gis;          // J
    std::vector<float> downstream_nodes_not_in_gis;        // K
    std::vector<LinkValue> topographic_slopes;             // L, value = slope

    void append(const LinkCheckFindings& more);
};

// The items one at a time, over the links of one map in file order.

// A: every link whose downstream node number is not above its upstream one.
// The node-pair rows of items A to D, numbered 1, 2, ... by the row
// layout (the link number, then the upstream and the downstream node).
void write_numbered_node_pairs(TextWriter& report, std::string_view row_layout, const std::vector<NodePair>& pairs);

std::vector<NodePair> find_reversed_links(const std::vector<LinkEnds>& links);
// A link that ends where it starts: the fatal case of item A.
bool has_closed_link(const std::vector<NodePair>& reversed_links);
// B: for each link i whose upstream node is shared, the group of downstream
// nodes (link i's own first, then those of the other links in file order),
// one pair per entry.  m links sharing a node give m x m pairs.
std::vector<NodePair> find_shared_upstream_nodes(const std::vector<LinkEnds>& links);
// C: the pairs (upstream node, downstream node) of the links that enter a
// node entered by two or more links, each pair once; the pairs of one node
// lie together, in the order of the first link that enters it, its upstream
// nodes in file order.
std::vector<NodePair> find_confluence_pairs(const std::vector<LinkEnds>& links);
// D: the reversed links, in item A order, that are no confluence pair.
std::vector<NodePair> find_reversed_links_off_confluences(const std::vector<NodePair>& reversed_links,
                                                          const std::vector<NodePair>& confluence_pairs);
// E: the downstream node of every link that no other link leaves (once per
// such link, so an outlet entered twice is listed twice).
std::vector<float> find_unconnected_downstream_nodes(const std::vector<LinkEnds>& links);
// F: the upstream node of every link that no other link enters.
std::vector<float> find_unconnected_upstream_nodes(const std::vector<LinkEnds>& links);
// G: the links shorter than MIN_LINK_LENGTH, with their length.
std::vector<LinkValue> find_short_links(const std::vector<LinkEnds>& links);
// H, I: the node numbers of one end outside MIN_NODE_NUMBER .. MAX_NODE_NUMBER.
std::vector<float> find_nodes_out_of_range(const std::vector<LinkEnds>& links, LinkEnd end);
// J, K: the node numbers of one end that the GIS node numbers do not hold.
std::vector<float> find_nodes_missing_from(const std::vector<LinkEnds>& links, LinkEnd end,
                                           const std::vector<float>& gis_node_numbers);
// L: the links whose topographic slope, (upstream elevation - downstream
// elevation) / length, is at most SLOPE_LOWER_LIMIT or above
// SLOPE_UPPER_LIMIT.  A link of zero length has no slope: item G reports it.
std::vector<LinkValue> find_topographic_slope_exceptions(const std::vector<LinkEnds>& links);

// All items of one map, and whether any finding is fatal: a closed link
// under A, anything under B, D, G, H, I, J or K, or a node entered from more
// than five upstream nodes.
struct MapLinkCheck {
    LinkCheckFindings findings;
    bool fatal = false;
};
MapLinkCheck check_links(const std::vector<LinkEnds>& links, const std::vector<float>& gis_node_numbers);

// The check of one map (`map_stem` such as "AB0101ZZ"): shows the file on
// the window, reads the map's link data base and its GIS node file (both
// must exist: a missing one is a FileError naming it) and checks the links.
// In a study of model type 6 a code-22 link with both elevations at 0.0 or
// below is checked as 100.0 ft to 98.0 ft over 1000.0 ft; the data base is
// not changed.  A study of model type 9 keeps its link data bases and GIS
// files per region: a map's stem "AB1234ZZ" reads "AB1200ZZ.ZLL" and
// "AB1200ZZ.ZZN", and the run checks each region's links once.
MapLinkCheck check_link_data_base(Session& session, std::string_view map_stem, int model_type_code);

// The link part of the diagnostics run: the window line of the link checks,
// the three node-set files started afresh, every map's link data base
// checked, the window verdict, section II.A written to the report, and the
// confluence overflow block appended to the confluence table.  Returns
// link_fatal_total.
int run_link_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code);
// The same, keeping the GIS nodes it reads in `inputs` for the node checks.
int run_link_checks(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code,
                    DiagnosticsInputs& inputs);

}  // namespace velm
