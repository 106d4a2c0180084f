// The node-set files of the network and the confluence table, as the link
// checks and the node-set checks write them and the strings, the outlet HGL
// controls and the management modules read them.
//
//   "<study>SETCZZ.ZZZ"  confluence table: three heading lines, then for every
//                        node entered from two or more upstream nodes the node
//                        and five upstream-node slots; a table holding nodes
//                        with more than five ends with the fatal block.
//   "<study>SETEZZ.ZZZ"  unconnected downstream nodes (set E), and
//   "SETF.ZZZ"           unconnected upstream nodes (set F): groups of a count
//                        and that many nodes, one group per map.
//   "SETG.ZZZ"           outlets, "<study>SETHZZ.ZZZ" headwaters and
//   "<study>SETXZZ.ZZZ"  seams: the count, then the nodes ten to a line.
// The study-named files live in the data directory; SETF, SETG have bare
// names in the working directory.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr std::string_view CONFLUENCE_TABLE_NAME_FORMAT = "(A2,'SETCZZ.ZZZ')";
inline constexpr std::string_view DOWNSTREAM_NODE_SET_NAME_FORMAT = "(A2,'SETEZZ.ZZZ')";
inline constexpr std::string_view UPSTREAM_NODE_SET_NAME = "SETF.ZZZ";
inline constexpr std::string_view OUTLET_SET_NAME = "SETG.ZZZ";
inline constexpr std::string_view HEADWATER_SET_NAME_FORMAT = "(A2,'SETHZZ.ZZZ')";
inline constexpr std::string_view SEAM_SET_NAME_FORMAT = "(A2,'SETXZZ.ZZZ')";

// The node numbers of a counted node-set file, ten to a line after the count.
inline constexpr std::string_view NODE_SET_LINE_FORMAT = "(10(1X,F8.1))";

inline constexpr int MAX_TRIBUTARY_LINKS = 5;  // upstream-node slots of a confluence record
inline constexpr int CONFLUENCE_HEADING_LINES = 3;
inline constexpr int CONFLUENCE_ENTRY_VALUES = 6;  // the node, five upstream nodes

// The three heading lines that open the table.
inline constexpr std::string_view CONFLUENCE_TABLE_HEADING_FORMAT =
    "(10X,'* C O N F L U E N C E    L I N K A G E S *'/'   D/S                        UPSTREAM NODES'/'  NODE"
    "       (1)       (2)       (3)       (4)       (5)')";
// A confluence record: the node and five upstream-node slots (0.0 when empty).
inline constexpr std::string_view CONFLUENCE_RECORD_FORMAT = "(1X,F8.1,5(2X,F8.1))";
// A record of a node entered from more than MAX_TRIBUTARY_LINKS upstream
// nodes: the first five, then the marker in columns 60-84.
inline constexpr std::string_view MARKED_CONFLUENCE_RECORD_FORMAT = "(1X,F8.1,5(2X,F8.1),' <=== more than 5 streams')";
inline constexpr std::string_view MORE_THAN_FIVE_MARKER = " <=== more than 5 streams";
// The block that closes a table holding marked records, then their nodes six
// to a line.
inline constexpr std::string_view CONFLUENCE_FATAL_BLOCK_FORMAT =
    "(1X,70('-')/1X,'* Fatal Error: the following nodal points have more'/3X,'than 5 tributary links connected"
    " to it:')";
inline constexpr std::string_view CONFLUENCE_FATAL_NODES_FORMAT = "(6(2X,F8.1))";

// "ABSETCZZ.ZZZ", "ABSETEZZ.ZZZ" for study AB, without the data directory.
std::string confluence_table_name(std::string_view study_id);
std::string downstream_node_set_name(std::string_view study_id);

// One confluence: the node, the first five upstream nodes in the order of
// the confluence pairs, and how many upstream nodes enter it in all.
struct ConfluenceRecord {
    float confluence_node = 0.0f;                             // node number
    std::array<float, MAX_TRIBUTARY_LINKS> upstream_nodes{};  // 0.0 in empty slots
    int tributary_count = 0;                                  // upstream nodes, also those beyond the slots

    bool over_connected() const { return tributary_count > MAX_TRIBUTARY_LINKS; }
};

std::vector<std::string> confluence_table_heading();
// The record's line, with the marker when it is over-connected.
std::string confluence_record_line(const ConfluenceRecord& record);
// The closing block for the over-connected nodes, in table order.
std::vector<std::string> confluence_fatal_block(const std::vector<float>& over_connected_nodes);

// A row of the table as read back: the node and its five slots.
using ConfluenceEntry = std::array<float, CONFLUENCE_ENTRY_VALUES>;

// The readers take the file's name (for messages) and the file to read it
// from (during an analysis run, the run's new version of it).

// Sets E and F: group after group, a count and then that many node numbers,
// to the end of the file.  A missing file is an empty set.
std::vector<float> read_node_set_groups(const std::string& name, const std::string& source);

// The rows of the confluence table: after its three heading lines, up to the
// end of the file or the fatal block; a row whose node is 0.0 holds nothing
// and is left out.  A missing table, or one shorter than its heading, is a
// FileError naming it.
std::vector<ConfluenceEntry> read_confluence_table(const std::string& name, const std::string& source);

// The lines of a counted node-set file (SETG, SETH, SETX): the count
// free-form, then the nodes ten to a line (an empty line when there are none).
std::vector<std::string> counted_node_set_lines(const std::vector<float>& nodes);

}  // namespace velm
