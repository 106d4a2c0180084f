// The node data base of a map (".ZNN"): one NodeRecord line per node, made by
// the companion hydrology program.  The system reads it (cross-check,
// statistics, data base management) and writes whole records only as copies
// (the baseline file "NODEZZ.BAS"); the study-wide node export "NODEZZ.ASC"
// holds lines of this layout too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/link_data_base.h"
#include "records/record_columns.h"

namespace velm {

inline constexpr int NODE_RECORD_VALUES = 655;

// The first field in column 1, without a leading blank: lines of 5991 characters.
inline constexpr std::string_view NODE_RECORD_FORMAT =
    "(F8.1,1X,F8.2,1X,'''',A10,'''',1X,F8.1,50(1X,F8.2),2(1X,F8.1),1X,F9.3,24(1X,F6.4),96(1X,F7.4),6(1X,F7.3),"
    "6(1X,F7.4),18(1X,F7.4,1X,F7.5),54(1X,F10.2),6(1X,F6.4),2(1X,I2),13(1X,F8.2),100(1X,F8.2,1X,F8.2,1X,F10.2),"
    "5(1X,F8.1),50(1X,F8.2))";

inline constexpr std::string_view NODE_DATA_BASE_STEM_NAME_FORMAT = "(A8,'.ZNN')";
inline constexpr std::string_view NODE_DATA_BASE_MAP_NAME_FORMAT = "(A2,I4.4,'ZZ.ZNN')";

inline constexpr int NODE_LAND_USE_ENTRIES = 100;  // land-use triples of columns 301-600

inline constexpr std::array<int, 2> NODE_INTEGER_COLUMNS{286, 287};
inline constexpr int NODE_TEXT_COLUMN = 3;

// One node.  Columns without a name carry values this system does not use.
struct NodeRecord : ColumnRecord<NODE_RECORD_VALUES, NODE_INTEGER_COLUMNS, NODE_TEXT_COLUMN> {
    static const RecordLayout& layout();
    static const FieldSpec& field(int column) { return layout().field(column); }

    float& node_number() { return column(1); }
    float node_number() const { return column(1); }
    float& node_elevation() { return column(2); }  // ft
    float node_elevation() const { return column(2); }
    std::string& node_text() { return text(); }  // column 3, 10 characters
    const std::string& node_text() const { return text(); }
    static constexpr int TOTAL_TRIBUTARY_AREA_COLUMN = 57;
    float& total_tributary_area() { return column(TOTAL_TRIBUTARY_AREA_COLUMN); }  // acres
    float total_tributary_area() const { return column(TOTAL_TRIBUTARY_AREA_COLUMN); }
    // Peak flow rate at the node of storm events 1-6 (columns 268-273, cfs).
    static constexpr int FIRST_PEAK_FLOW_COLUMN = 268;
    static constexpr int LAST_PEAK_FLOW_COLUMN = 273;
    float& peak_flow_rate(int event) { return column(event_column(event)); }
    float peak_flow_rate(int event) const { return column(event_column(event)); }
    // Entry j = 1..100 of the land-use triples: land-use type, soil group and
    // the area accumulated up to this node (acres).
    float& land_use_type(int j) { return column(triple_column(j)); }
    float land_use_type(int j) const { return column(triple_column(j)); }
    float& soil_group(int j) { return column(triple_column(j) + 1); }
    float soil_group(int j) const { return column(triple_column(j) + 1); }
    float& accumulated_area(int j) { return column(triple_column(j) + 2); }
    float accumulated_area(int j) const { return column(triple_column(j) + 2); }

private:
    static int event_column(int event);
    static int triple_column(int j);
};

// "AB0101ZZ.ZNN" from the stem "AB0101ZZ", or from "AB" and map 101.
std::string node_data_base_name(std::string_view data_file_stem);
std::string node_data_base_name(std::string_view study_id, int map_number);

std::vector<NodeRecord> read_node_data_base(std::string_view name, FilePresence presence);
// The node data base read only as far as column `last_column` of each line
// (see read_records_start): a node line holds 655 values, and most readers
// use a few of its first columns.
std::vector<NodeRecord> read_node_data_base_start(std::string_view name, FilePresence presence, int last_column);
// The node data base read in the given columns only (see
// read_records_columns): every line still counted whole.
std::vector<NodeRecord> read_node_data_base_columns(std::string_view name, FilePresence presence,
                                                    const std::vector<int>& columns);
std::optional<NodeRecord> read_node_record(FreeFormReader& reader);
std::string node_record_line(const NodeRecord& record, std::string_view file_name = {}, int record_number = 0);
void write_node_data_base(std::string_view name, const std::vector<NodeRecord>& records);

}  // namespace velm
