// The link data base of a map (".ZLL"): one LinkRecord line per link, made
// by the companion hydrology program and rewritten by the analysis steps, the
// link review and the link element editor.  Every writer uses the one layout
// below and every reader reads all 188 values of a record free-form, so the
// layout is the contract between them.  The study-wide link export
// "LINKZZ.ASC" and the baseline copy "LINKZZ.BAS" hold lines of this layout too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/record_columns.h"

namespace velm {

inline constexpr int LINK_RECORD_VALUES = 188;

// One blank before every value, the link identifier between apostrophes:
// lines of 1703 characters.
inline constexpr std::string_view LINK_RECORD_FORMAT =
    "(2(1X,F8.1),2(1X,F8.2),1X,F8.1,1X,'''',A10,'''',1X,I3,1X,F8.2,1X,F7.5,1X,F6.3,1X,F8.2,3(1X,F8.4),1X,F8.2,"
    "3(1X,F8.4),1X,I2,1X,F8.4,2(1X,I3),3(1X,F8.3),1X,F8.4,3(1X,F8.2),1X,F8.4,12(1X,F10.2),6(1X,F8.3),6(1X,F8.2),"
    "18(1X,F8.4),5(1X,F8.2),13(1X,F10.2),1X,I4,2(1X,F8.3),2(1X,F8.5),3(1X,F8.2),1X,F8.5,2(1X,F8.2),2(1X,F8.3),"
    "2(1X,F8.5),3(1X,F8.2),1X,F8.5,2(1X,F8.2),2(1X,F8.3),2(1X,F8.5),3(1X,F8.2),1X,F8.5,2(1X,F8.2),2(1X,I3),"
    "13(1X,F8.2),1X,F8.2,1X,I3,1X,F8.2,1X,F8.2,48(1X,F8.2))";

// Names of the link data base of a map: from the map's data file stem, or
// from the study identifier and the map number.
inline constexpr std::string_view LINK_DATA_BASE_STEM_NAME_FORMAT = "(A8,'.ZLL')";
inline constexpr std::string_view LINK_DATA_BASE_MAP_NAME_FORMAT = "(A2,I4.4,'ZZ.ZLL')";

// A link belongs to the map of its downstream node: the integer part of the
// node number divided by MAP_NUMBER_DIVISOR.
inline constexpr int MAP_NUMBER_DIVISOR = 100;
inline constexpr int STORM_EVENTS = 6;  // columns that hold one value per storm event

// Column 75 holding this value means: use the computed capacity of column 74.
inline constexpr float NO_USER_CAPACITY = -1.0f;

// The as-built, recommended, user or designated element of a link (columns
// 22 and 123 as integers, 110 and 141 as reals).
enum class ElementType { NoElement = 0, Pipe = 1, Box = 2, Channel = 3 };
// Column 62: how a recommended element stands to the existing one (0 = none).
enum class ElementStatus { Replacement = 1, Parallel = 2 };
// Column 100 (0 = not yet set).
enum class CostOpinionStatus { IncludeInCostOpinion = 1, ExcludeFromCostOpinion = 2 };
// Column 143: which dimension of a designated box or channel is solved.
enum class SizingDimension { SolveHeight = 1, SolveWidth = 2, SolveWidthRatio = 3 };

inline constexpr std::array<int, 8> LINK_INTEGER_COLUMNS{7, 19, 21, 22, 91, 122, 123, 138};
inline constexpr int LINK_ID_COLUMN = 6;

// One link.  Elevations, lengths and element sizes in feet, flows and
// capacities in cfs, slopes as decimals.  Columns without a name carry values
// this system does not use; every rewriter writes them back as read.
struct LinkRecord : ColumnRecord<LINK_RECORD_VALUES, LINK_INTEGER_COLUMNS, LINK_ID_COLUMN> {
    static const RecordLayout& layout();
    static const FieldSpec& field(int column) { return layout().field(column); }

    // Key and geometry.
    float& upstream_node() { return column(1); }  // node number; with column 2 the key of the link
    float upstream_node() const { return column(1); }
    float& downstream_node() { return column(2); }  // the link belongs to this node's map
    float downstream_node() const { return column(2); }
    float& upstream_elevation() { return column(3); }  // ft
    float upstream_elevation() const { return column(3); }
    float& downstream_elevation() { return column(4); }  // ft
    float downstream_elevation() const { return column(4); }
    std::string& link_id() { return text(); }  // column 6, 10 characters
    const std::string& link_id() const { return text(); }
    int& process_code() { return integer_column(7); }  // the link's group code in the model file
    int process_code() const { return integer_column(7); }
    float& link_length() { return column(8); }  // ft; codes 21, 22: the initial subarea's flow path
    float link_length() const { return column(8); }
    float& link_slope() { return column(9); }  // (column 3 - column 4) / column 8
    float link_slope() const { return column(9); }

    // Street section.
    float& curb_height() { return column(10); }  // ft; a street section only when positive
    float curb_height() const { return column(10); }
    float& street_half_width() { return column(11); }  // ft, curb to crown
    float street_half_width() const { return column(11); }
    float& gutter_lip() { return column(12); }  // ft
    float gutter_lip() const { return column(12); }
    float& gutter_width() { return column(13); }  // ft
    float gutter_width() const { return column(13); }
    float& gutter_hike() { return column(14); }  // ft
    float gutter_hike() const { return column(14); }
    float& crown_to_gradebreak_distance() { return column(15); }  // ft
    float crown_to_gradebreak_distance() const { return column(15); }
    float& center_lane_crossfall() { return column(16); }  // decimal
    float center_lane_crossfall() const { return column(16); }
    float& outside_lane_crossfall() { return column(17); }  // decimal
    float outside_lane_crossfall() const { return column(17); }
    float& parkway_crossfall() { return column(18); }  // decimal; 100 = no flow on the parkway
    float parkway_crossfall() const { return column(18); }
    int& street_side_count() { return integer_column(19); }  // sides that carry flow
    int street_side_count() const { return integer_column(19); }
    float& street_friction_factor() { return column(20); }  // Manning n of the street
    float street_friction_factor() const { return column(20); }

    // As-built primary element.
    int& element_type() { return integer_column(22); }  // ElementType
    int element_type() const { return integer_column(22); }
    float& element_height() { return column(23); }  // ft: diameter, height or channel depth
    float element_height() const { return column(23); }
    float& element_base_width() { return column(24); }  // ft; for a pipe the number of pipes
    float element_base_width() const { return column(24); }
    float& element_side_slope() { return column(25); }  // channel side slope Z (h/v)
    float element_side_slope() const { return column(25); }
    float& element_friction_factor() { return column(26); }  // Manning n
    float element_friction_factor() const { return column(26); }
    float& channel_freeboard() { return column(27); }  // ft
    float channel_freeboard() const { return column(27); }
    float& specified_friction_slope() { return column(30); }  // user-specified friction slope
    float specified_friction_slope() const { return column(30); }

    // Storm events 1..6.
    float& upstream_peak_flow(int event) { return column(event_column(31, event)); }  // cfs
    float upstream_peak_flow(int event) const { return column(event_column(31, event)); }
    float& downstream_peak_flow(int event) { return column(event_column(37, event)); }  // cfs
    float downstream_peak_flow(int event) const { return column(event_column(37, event)); }
    float& street_flow_depth(int event) { return column(event_column(43, event)); }  // ft
    float street_flow_depth(int event) const { return column(event_column(43, event)); }
    float& street_capacity(int event) { return column(event_column(49, event)); }  // cfs
    float street_capacity(int event) const { return column(event_column(49, event)); }

    // Friction slopes.
    float& balanced_hgl_friction_slope() { return column(55); }
    float balanced_hgl_friction_slope() const { return column(55); }
    float& hgl_excess_gradient() { return column(56); }
    float hgl_excess_gradient() const { return column(56); }
    float& user_element_status() { return column(62); }  // ElementStatus, 0 = none
    float user_element_status() const { return column(62); }
    float& computed_friction_slope() { return column(64); }
    float computed_friction_slope() const { return column(64); }
    float& user_friction_slope() { return column(65); }  // 0 = none
    float user_friction_slope() const { return column(65); }

    // Capacities and deficiencies.
    float& existing_element_capacity() { return column(73); }  // cfs
    float existing_element_capacity() const { return column(73); }
    float& computed_capacity() { return column(74); }  // cfs
    float computed_capacity() const { return column(74); }
    float& user_capacity() { return column(75); }  // cfs; NO_USER_CAPACITY = use column 74
    float user_capacity() const { return column(75); }
    float& total_capacity(int event) { return column(event_column(78, event)); }  // cfs, element plus street
    float total_capacity(int event) const { return column(event_column(78, event)); }
    float& event_deficiency(int event) { return column(event_column(84, event)); }  // cfs
    float event_deficiency(int event) const { return column(event_column(84, event)); }
    float& max_deficiency() { return column(90); }  // cfs, largest of the six events (largest_deficiency)
    float max_deficiency() const { return column(90); }
    int& max_deficiency_event() { return integer_column(91); }  // 0 = none
    int max_deficiency_event() const { return integer_column(91); }

    // Required element of the deficiency sizing.
    float& required_element_height() { return column(92); }  // ft
    float required_element_height() const { return column(92); }
    float& required_element_base_width() { return column(93); }  // ft, or number of barrels
    float required_element_base_width() const { return column(93); }
    float& required_element_side_slope() { return column(94); }  // Z
    float required_element_side_slope() const { return column(94); }
    float& required_element_friction_factor() { return column(95); }  // Manning n
    float required_element_friction_factor() const { return column(95); }
    float& required_element_freeboard() { return column(96); }  // ft
    float required_element_freeboard() const { return column(96); }
    float& required_element_flow() { return column(97); }  // cfs
    float required_element_flow() const { return column(97); }

    // Computer-recommended elements.
    float& parallel_element_height() { return column(98); }  // ft
    float parallel_element_height() const { return column(98); }
    float& parallel_element_friction_factor() { return column(99); }
    float parallel_element_friction_factor() const { return column(99); }
    float& cost_opinion_status() { return column(100); }  // CostOpinionStatus
    float cost_opinion_status() const { return column(100); }
    float& deficiency_flag() { return column(101); }  // 1.0 when a deficiency was sized
    float deficiency_flag() const { return column(101); }
    float& replacement_element_height() { return column(102); }  // ft
    float replacement_element_height() const { return column(102); }
    float& replacement_element_base_width() { return column(103); }  // ft, or number of pipes
    float replacement_element_base_width() const { return column(103); }
    float& replacement_element_side_slope() { return column(104); }  // h/v
    float replacement_element_side_slope() const { return column(104); }
    float& replacement_element_friction_factor() { return column(105); }
    float replacement_element_friction_factor() const { return column(105); }
    float& recommended_element_type() { return column(110); }  // ElementType as a real
    float recommended_element_type() const { return column(110); }

    // User-recommended element (a positive value overrides, 0 = none).
    float& user_element_height() { return column(112); }  // ft
    float user_element_height() const { return column(112); }
    float& user_element_base_width() { return column(113); }  // ft, or number of pipes
    float user_element_base_width() const { return column(113); }
    float& user_element_side_slope() { return column(114); }  // h/v
    float user_element_side_slope() const { return column(114); }
    float& user_element_friction_factor() { return column(115); }
    float user_element_friction_factor() const { return column(115); }
    int& user_element_type() { return integer_column(123); }  // ElementType
    int user_element_type() const { return integer_column(123); }

    float& unit_cost_opinion() { return column(136); }  // per unit of link length
    float unit_cost_opinion() const { return column(136); }
    float& link_upstream_hgl() { return column(139); }  // ft
    float link_upstream_hgl() const { return column(139); }
    float& link_downstream_hgl() { return column(140); }  // ft
    float link_downstream_hgl() const { return column(140); }

    // User-designated mitigation element.
    float& designated_element_type() { return column(141); }  // ElementType 1-3
    float designated_element_type() const { return column(141); }
    float& designated_friction_hundredths()
    {
        return column(142);
    }  // Manning n x 100 (designated_friction_factor_x100)
    float designated_friction_hundredths() const { return column(142); }
    float& designated_sizing_dimension() { return column(143); }  // SizingDimension
    float designated_sizing_dimension() const { return column(143); }
    float& designated_dimension_value() { return column(144); }  // ft, or width ratio (designated_sizing_value)
    float designated_dimension_value() const { return column(144); }
    float& designated_side_slope() { return column(145); }  // Z
    float designated_side_slope() const { return column(145); }
    float& designated_freeboard() { return column(146); }  // ft
    float designated_freeboard() const { return column(146); }
    float& link_travel_time(int event) { return column(event_column(147, event)); }  // minutes
    float link_travel_time(int event) const { return column(event_column(147, event)); }

    // The map the link belongs to: that of its downstream node.
    int map_number() const;
    // Storm events of a file: the count of positive downstream peak flows of
    // its first record.
    int storm_event_count() const;

private:
    static int event_column(int first_column, int event);
};

// The map of a node or subarea number: its integer part divided by 100.  A
// number read from a damaged file that is not a number, or lies beyond any
// map, belongs to no map: NO_MAP_NUMBER.
inline constexpr int NO_MAP_NUMBER = -1;
int map_number_of(float node_number);

// "AB0101ZZ.ZLL" from the stem "AB0101ZZ", or from "AB" and map 101.  In a
// study of model type 9 the links are kept per region: pass the map number
// rounded down to a multiple of 100 (region_map_number).
std::string link_data_base_name(std::string_view data_file_stem);
std::string link_data_base_name(std::string_view study_id, int map_number);
int region_map_number(int map_number);

// What every rewriter of a link data base does to each record it writes
// back: a designation of no known element type (column 141 above 3.0) is
// cleared with its columns 141 to 146, and the working columns 153 to 188
// are cleared.
void clear_stale_link_columns(LinkRecord& record);

// Every record of a link data base, in file order.  A missing file that must
// exist, or a record that cannot be read, is a FileError naming the file
// (and the line).
std::vector<LinkRecord> read_link_data_base(std::string_view name, FilePresence presence);
// The next record of an open file; std::nullopt at its end.
std::optional<LinkRecord> read_link_record(FreeFormReader& reader);
// One line in the link layout; RecordWriteError when a value cannot be written.
std::string link_record_line(const LinkRecord& record, std::string_view file_name = {}, int record_number = 0);
// Writes the records as the whole new file, atomically.
void write_link_data_base(std::string_view name, const std::vector<LinkRecord>& records);

}  // namespace velm
