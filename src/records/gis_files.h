// The GIS files of a map or region: node (".ZZN"), link (".ZZL") and subarea
// (".ZZS") values of the study's GIS exports in a short fixed-column form.
// The GIS update builds them with stamp 0, the GIS-path checks rewrite them
// with a processed stamp, the analysis run's checks and the GIS update read
// them.  Lines are written by the layouts below and read back free-form, a
// whole record per read; no file has a header.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/record_columns.h"

namespace velm {

inline constexpr int GIS_NODE_RECORD_VALUES = 3;
inline constexpr int GIS_LINK_RECORD_VALUES = 20;
inline constexpr int GIS_SUBAREA_RECORD_VALUES = 31;

// 26 characters.
inline constexpr std::string_view GIS_NODE_RECORD_FORMAT = "(F8.1,1X,F8.2,1X,F8.2)";
// 167 characters.
inline constexpr std::string_view GIS_LINK_RECORD_FORMAT =
    "(2(1X,F8.1),1X,F8.2,1X,F6.3,1X,F8.2,3(1X,F8.4),1X,F8.2,3(1X,F8.4),1X,I2,1X,F8.4,1X,I3,3(1X,F8.3),1X,F8.4,"
    "1X,F8.2)";
// 205 characters.
inline constexpr std::string_view GIS_SUBAREA_RECORD_FORMAT =
    "(1X,F8.1,1X,F5.2,10(1X,F5.2),6(1X,F6.2,1X,F5.1,1X,F7.2),1X,F3.1)";

// File names: per map for every model type but 6 and 9, per region (the
// whole part of the number divided by 10000) for types 6 and 9.
inline constexpr std::string_view GIS_MAP_FILE_NAME_FORMAT = "(A2,I4.4,'ZZ.',A3)";
inline constexpr std::string_view GIS_REGION_FILE_NAME_FORMAT = "(A2,I2.2,'00ZZ.',A3)";
// The analysis run derives the name from a map's data file stem: its first
// six characters, or for model types 6 and 9 the region file from its first
// four (a type-9 study keeps every per-map file per region).
inline constexpr std::string_view GIS_STEM_FILE_NAME_FORMAT = "(A6,'ZZ.',A3)";
inline constexpr std::string_view GIS_REGION_STEM_FILE_NAME_FORMAT = "(A4,'00ZZ.',A3)";

inline constexpr int REGION_NUMBER_DIVISOR = 10000;

enum class GisFileKind { Node, Link, Subarea };

// The processed stamp, the last value of every GIS record: 0 as the GIS
// update writes a file, CheckedStamp after a check without fatal findings
// (pass flag 0), FinalStamp on the final pass (pass flag 1).
enum class GisFileStamp { Unprocessed = 0, CheckedStamp = 1, FinalStamp = 3 };
inline float stamp_value(GisFileStamp stamp)
{
    return static_cast<float>(static_cast<int>(stamp));
}

inline constexpr std::array<int, 0> GIS_NODE_INTEGER_COLUMNS{};
inline constexpr std::array<int, 2> GIS_LINK_INTEGER_COLUMNS{13, 15};
inline constexpr std::array<int, 0> GIS_SUBAREA_INTEGER_COLUMNS{};

// A node of the map, or the upstream node from another map of a link of the map.
struct GisNodeRecord : ColumnRecord<GIS_NODE_RECORD_VALUES, GIS_NODE_INTEGER_COLUMNS> {
    static const RecordLayout& layout();
    static const FieldSpec& field(int column) { return layout().field(column); }

    float& node_number() { return column(1); }
    float node_number() const { return column(1); }
    float& node_elevation() { return column(2); }  // ft
    float node_elevation() const { return column(2); }
    float& processed_stamp() { return column(3); }
    float processed_stamp() const { return column(3); }
};

// A link: its key, length, street section and as-built element (the link
// record columns of the same names).
struct GisLinkRecord : ColumnRecord<GIS_LINK_RECORD_VALUES, GIS_LINK_INTEGER_COLUMNS> {
    static const RecordLayout& layout();
    static const FieldSpec& field(int column) { return layout().field(column); }

    float& upstream_node() { return column(1); }
    float upstream_node() const { return column(1); }
    float& downstream_node() { return column(2); }
    float downstream_node() const { return column(2); }
    float& link_length() { return column(3); }  // ft
    float link_length() const { return column(3); }
    float& curb_height() { return column(4); }  // ft
    float curb_height() const { return column(4); }
    float& street_half_width() { return column(5); }  // ft
    float street_half_width() const { return column(5); }
    float& gutter_lip() { return column(6); }  // ft
    float gutter_lip() const { return column(6); }
    float& gutter_width() { return column(7); }  // ft
    float gutter_width() const { return column(7); }
    float& gutter_hike() { return column(8); }  // ft
    float gutter_hike() const { return column(8); }
    float& crown_to_gradebreak_distance() { return column(9); }  // ft
    float crown_to_gradebreak_distance() const { return column(9); }
    float& center_lane_crossfall() { return column(10); }
    float center_lane_crossfall() const { return column(10); }
    float& outside_lane_crossfall() { return column(11); }
    float outside_lane_crossfall() const { return column(11); }
    float& parkway_crossfall() { return column(12); }
    float parkway_crossfall() const { return column(12); }
    int& street_side_count() { return integer_column(13); }
    int street_side_count() const { return integer_column(13); }
    float& street_friction_factor() { return column(14); }
    float street_friction_factor() const { return column(14); }
    int& element_type() { return integer_column(15); }  // ElementType
    int element_type() const { return integer_column(15); }
    float& element_height() { return column(16); }  // ft
    float element_height() const { return column(16); }
    float& element_base_width() { return column(17); }  // ft, or number of pipes
    float element_base_width() const { return column(17); }
    float& element_side_slope() { return column(18); }
    float element_side_slope() const { return column(18); }
    float& element_friction_factor() { return column(19); }
    float element_friction_factor() const { return column(19); }
    float& processed_stamp() { return column(20); }
    float processed_stamp() const { return column(20); }
};

// A subarea: six parameters, the five S-graph values and six land-use cells.
struct GisSubareaRecord : ColumnRecord<GIS_SUBAREA_RECORD_VALUES, GIS_SUBAREA_INTEGER_COLUMNS> {
    static const RecordLayout& layout();
    static const FieldSpec& field(int column) { return layout().field(column); }

    float& subarea_number() { return column(1); }
    float subarea_number() const { return column(1); }
    // Parameters 1-6 (values 2-7): subarea columns 3 (93 in model type 5,
    // 94 in type 6), 5, 6, 8, 9 and 11.
    float& subarea_parameter(int i) { return column(1 + checked(i, 6)); }
    float subarea_parameter(int i) const { return column(1 + checked(i, 6)); }
    // S-graph values 1-5 (values 8-12).
    float& s_graph_value(int i) { return column(7 + checked(i, 5)); }
    float s_graph_value(int i) const { return column(7 + checked(i, 5)); }
    // Land-use cell k = 1..6: land use, soil and area (acres).
    float& cell_land_use(int k) { return column(cell_column(k)); }
    float cell_land_use(int k) const { return column(cell_column(k)); }
    float& cell_soil(int k) { return column(cell_column(k) + 1); }
    float cell_soil(int k) const { return column(cell_column(k) + 1); }
    float& cell_area(int k) { return column(cell_column(k) + 2); }
    float cell_area(int k) const { return column(cell_column(k) + 2); }
    float& processed_stamp() { return column(31); }
    float processed_stamp() const { return column(31); }

private:
    static int checked(int index, int count);
    static int cell_column(int k) { return 13 + 3 * (checked(k, 6) - 1); }
};

// "ZZN", "ZZL" or "ZZS".
std::string gis_file_extension(GisFileKind kind);

// The name of the GIS file that holds a node or subarea number (for a link:
// its downstream node), without the data directory.
std::string gis_file_name(std::string_view study_id, float number, int model_type, GisFileKind kind);
// The name the analysis run reads for a map data file stem "AB0101ZZ".
std::string gis_file_name_from_stem(std::string_view data_file_stem, int model_type, GisFileKind kind);

// Reading a missing GIS file is an error only when it must exist; an optional
// one reads as a file without records and is not created.
std::vector<GisNodeRecord> read_gis_node_file(std::string_view name, FilePresence presence);
std::vector<GisLinkRecord> read_gis_link_file(std::string_view name, FilePresence presence);
std::vector<GisSubareaRecord> read_gis_subarea_file(std::string_view name, FilePresence presence);

std::string gis_node_record_line(const GisNodeRecord& record, std::string_view file_name = {}, int record_number = 0);
std::string gis_link_record_line(const GisLinkRecord& record, std::string_view file_name = {}, int record_number = 0);
std::string gis_subarea_record_line(const GisSubareaRecord& record, std::string_view file_name = {},
                                    int record_number = 0);

// Write the records as the whole new file, atomically.
void write_gis_node_file(std::string_view name, const std::vector<GisNodeRecord>& records);
void write_gis_link_file(std::string_view name, const std::vector<GisLinkRecord>& records);
void write_gis_subarea_file(std::string_view name, const std::vector<GisSubareaRecord>& records);

}  // namespace velm
