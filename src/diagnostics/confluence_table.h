// The confluence table "SETCZZ.ZZZ": for every node where links from two or
// more upstream nodes meet, one record with the node and up to five of those
// upstream nodes.  The link checks write it map by map; the node-set check,
// the string finder and the outlet HGL controls read it.  A node entered
// from more than five upstream nodes is marked, and the table then ends with
// the confluence fatal block that lists the marked nodes.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/link_checks.h"

namespace velm {

inline constexpr int MAX_TRIBUTARY_LINKS = 5;  // upstream-node slots of a confluence record

// The three heading lines that open the table.
inline constexpr std::string_view CONFLUENCE_TABLE_HEADING_FORMAT =
    "(10X,'* C O N F L U E N C E    L I N K A G E S *'/'   D/S                        UPSTREAM NODES'/'  NODE"
    "       (1)       (2)       (3)       (4)       (5)')";
// A confluence record: the node and five upstream-node slots (0.0 when empty).
inline constexpr std::string_view CONFLUENCE_RECORD_FORMAT = "(1X,F8.1,5(2X,F8.1))";
// A record of a node entered from more than MAX_TRIBUTARY_LINKS upstream
// nodes: the first five, then the marker in columns 60-84.
inline constexpr std::string_view MARKED_CONFLUENCE_RECORD_FORMAT =
    "(1X,F8.1,5(2X,F8.1),' <=== more than 5 streams')";
inline constexpr std::string_view MORE_THAN_FIVE_MARKER = " <=== more than 5 streams";
// The block that closes a table holding marked records, then their nodes six
// to a line.
inline constexpr std::string_view CONFLUENCE_FATAL_BLOCK_FORMAT =
    "(1X,70('-')/1X,'* Fatal Error: the following nodal points have more'/3X,'than 5 tributary links connected"
    " to it:')";
inline constexpr std::string_view CONFLUENCE_FATAL_NODES_FORMAT = "(6(2X,F8.1))";

// Node-set file names.  The link checks write the confluence table and the
// sets of unconnected downstream (E) and upstream (F) nodes; the node-set
// checks read all three.  The table and set E take the study identifier and
// live in the data directory; set F has a bare name in the working
// directory.
inline constexpr std::string_view CONFLUENCE_TABLE_NAME_FORMAT = "(A2,'SETCZZ.ZZZ')";
inline constexpr std::string_view DOWNSTREAM_NODE_SET_NAME_FORMAT = "(A2,'SETEZZ.ZZZ')";
inline constexpr std::string_view UPSTREAM_NODE_SET_NAME = "SETF.ZZZ";

// "ABSETCZZ.ZZZ" for study AB, without the data directory.
std::string confluence_table_name(std::string_view study_id);
// "ABSETEZZ.ZZZ" for study AB, without the data directory.
std::string downstream_node_set_name(std::string_view study_id);

// One confluence: the node, the first five upstream nodes in the order of
// the confluence pairs, and how many upstream nodes enter it in all.
struct ConfluenceRecord {
    float confluence_node = 0.0f;                           // node number
    std::array<float, MAX_TRIBUTARY_LINKS> upstream_nodes{};  // 0.0 in empty slots
    int tributary_count = 0;                                // upstream nodes, also those beyond the slots

    bool over_connected() const { return tributary_count > MAX_TRIBUTARY_LINKS; }
};

// Groups consecutive confluence pairs (item C order) with the same downstream
// node into records.  A group of fewer than `fewest_tributaries` pairs gives
// no record.
std::vector<ConfluenceRecord> group_confluence_pairs(const std::vector<NodePair>& pairs,
                                                     int fewest_tributaries);

std::vector<std::string> confluence_table_heading();
// The record's line, with the marker when it is over-connected.
std::string confluence_record_line(const ConfluenceRecord& record);
// The closing block for the over-connected nodes, in table order.
std::vector<std::string> confluence_fatal_block(const std::vector<float>& over_connected_nodes);

}  // namespace velm
