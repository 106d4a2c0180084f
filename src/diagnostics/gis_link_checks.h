// The GIS-path link checks: the twin of the analysis run's link checks for
// the per-map GIS link files that the GIS update has just sorted from the
// exports.  One map at a time, the findings go straight into the GIS link
// check report "link.dia", the map's confluences into the GIS-path table
// "SETC.ZZZ" and its unconnected nodes into "SETE.ZZZ" and "SETF.ZZZ".  A map
// without a fatal finding has its GIS link file rewritten with every record
// stamped.
//
// The items, as in the analysis run, with these differences: the lengths are
// those of the GIS link file; B pairs a link only with the later links that
// share its upstream node; the confluence table also carries nodes entered
// from one upstream node; D is not fatal; L lists the links whose downstream
// node stands as high as the upstream one (or either end has no elevation
// above 0) by the elevations of the map's GIS node file.
//   A  reversed links (a closed link is fatal)      G  links shorter than 0.001 ft (fatal)
//   B  shared upstream nodes (fatal)                H, I  node numbers out of range (fatal)
//   C  confluence pairs; more than five streams     J, K  nodes missing from the GIS node
//      into one node is fatal                             file (fatal; with the node file only)
//   D  reversed links off the confluences           L  downstream end not below the upstream
//   E, F  node sets E and F                               end (with the node file only)
#pragma once

#include <string_view>
#include <vector>

#include "diagnostics/link_checks.h"
#include "platform/file_change.h"
#include "platform/text_file.h"
#include "records/gis_files.h"
#include "shell/session.h"

namespace velm {

// Which stamp a clean map's GIS file gets: the GIS update's check (1.0), the
// final pass (3.0), or any other request, which keeps the stamps as read.
enum class GisStampRequest { Checked = 0, Final = 1, KeepStamps = 2 };

// An end of a link without a node in the GIS node file.
inline constexpr float MISSING_NODE_ELEVATION = -99999.99f;  // ft

// B on the GIS path: for each link i whose upstream node is shared by a
// later link, the pairs (upstream node, downstream node of i) and (upstream
// node, downstream node of each later link j), in file order.  m links
// sharing one upstream node give m + (m - 1) + ... + 2 pairs.
std::vector<NodePair> find_gis_shared_upstream_nodes(const std::vector<LinkEnds>& links);

// A link with the elevations of its ends in the GIS node file.
struct LinkElevations {
    float upstream_node = 0.0f;
    float downstream_node = 0.0f;
    float upstream_elevation = 0.0f;    // ft
    float downstream_elevation = 0.0f;  // ft
    bool operator==(const LinkElevations&) const = default;
};
// L on the GIS path: the links whose downstream elevation is at least the
// upstream one, or with an end at 0.0 ft or below; an end without a GIS node
// has MISSING_NODE_ELEVATION, and a node listed twice its last elevation.
std::vector<LinkElevations> find_gis_elevation_exceptions(const std::vector<LinkEnds>& links,
                                                          const std::vector<GisNodeRecord>& nodes);

// The network files of the GIS path, kept open by the caller over its maps.
struct GisNetworkFiles {
    TextWriter& confluence_table;  // "SETC.ZZZ"
    TextWriter& downstream_nodes;  // "SETE.ZZZ", node set E
    TextWriter& upstream_nodes;    // "SETF.ZZZ", node set F
    // The nodes of the table's records entered from more than five upstream
    // nodes, in table order: the fatal block that closes the table.
    std::vector<float> over_connected_nodes{};
};

// The check of one map's GIS link file `map_code` + "ZZ.ZZL" (a missing file
// reads as one without links), with its GIS node file (the region's for
// model types 6 and 9) when `gis_node_switch` is set.  Writes the map's part
// of the report and the network files; returns 1 when the map has a fatal
// finding, else 0, after rewriting the link file stamped as requested.
// Given a change, the GIS files are read as the change sees them and the
// stamped link file becomes a new version of that change.
int check_gis_link_file(Session& session, TextWriter& report, GisNetworkFiles& network, bool gis_node_switch,
                        std::string_view map_code, GisStampRequest stamp_request, int model_type_code,
                        FileChange* change = nullptr);

// The name to read a GIS file from: the change's new version when it has
// one, else the file itself.
inline std::string file_as_seen(const FileChange* change, const std::string& path)
{
    return change != nullptr ? change->current_file(path) : path;
}

// The stamp value written for a request, or nothing when stamps are kept.
std::optional<float> requested_stamp(GisStampRequest request);

// The GIS file of a kind for a six-character map code: "AB1234ZZ.ZZL", or
// the region's "AB1200ZZ.ZZL" for model types 6 and 9.
std::string gis_file_of_map_code(std::string_view map_code, int model_type_code, GisFileKind kind);

}  // namespace velm
