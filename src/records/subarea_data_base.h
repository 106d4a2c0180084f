// The subarea data base of a map (".ZSS"): one SubareaRecord line per
// subarea, made by the companion hydrology program.  The system reads it
// (cross-check, subarea checks, statistics, data base management) and writes
// whole records only as copies (the baseline file "SUBAZZ.BAS") and when the
// subarea editor rewrites a record of the study-wide export "SUBSZZ.ASC",
// which holds lines of this layout too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/link_data_base.h"
#include "records/record_columns.h"

namespace velm {

inline constexpr int SUBAREA_RECORD_VALUES = 188;

// The first field in column 1, without a leading blank: lines of 1761 characters.
inline constexpr std::string_view SUBAREA_RECORD_FORMAT =
    "(F8.1,1X,'''',A10,'''',102(1X,F8.3),9(1X,F7.3),24(1X,F9.4),1X,F9.2,1X,F9.1,49(1X,F9.4))";

inline constexpr std::string_view SUBAREA_DATA_BASE_STEM_NAME_FORMAT = "(A8,'.ZSS')";
inline constexpr std::string_view SUBAREA_DATA_BASE_MAP_NAME_FORMAT = "(A2,I4.4,'ZZ.ZSS')";

inline constexpr int LAND_USE_CELLS = 6;  // cells of columns 114-137
inline constexpr int S_GRAPH_VALUES = 5;  // columns 105-109

inline constexpr std::array<int, 0> SUBAREA_INTEGER_COLUMNS{};
inline constexpr int SUBAREA_TEXT_COLUMN = 2;

// One subarea.  Columns without a name carry values this system does not use.
struct SubareaRecord : ColumnRecord<SUBAREA_RECORD_VALUES, SUBAREA_INTEGER_COLUMNS, SUBAREA_TEXT_COLUMN> {
    static const RecordLayout& layout();
    static const FieldSpec& field(int column) { return layout().field(column); }

    float& subarea_number() { return column(1); }  // a node number
    float subarea_number() const { return column(1); }
    std::string& subarea_text() { return text(); }  // column 2, 10 characters
    const std::string& subarea_text() const { return text(); }
    // Time of concentration of storm events 1-6 (columns 99-104, minutes).
    float& time_of_concentration(int event) { return column(98 + checked(event, STORM_EVENTS)); }
    float time_of_concentration(int event) const { return column(98 + checked(event, STORM_EVENTS)); }
    // The S-graph values 1-5 (columns 105-109).
    float& s_graph_value(int i) { return column(104 + checked(i, S_GRAPH_VALUES)); }
    float s_graph_value(int i) const { return column(104 + checked(i, S_GRAPH_VALUES)); }
    // Land-use cell k = 1..6: land-use code, soil code, a value not used
    // here, and the cell's area (acres).  A cell with land use 0 and soil 0
    // is empty.
    float& cell_land_use(int k) { return column(cell_column(k)); }
    float cell_land_use(int k) const { return column(cell_column(k)); }
    float& cell_soil(int k) { return column(cell_column(k) + 1); }
    float cell_soil(int k) const { return column(cell_column(k) + 1); }
    float& cell_third_value(int k) { return column(cell_column(k) + 2); }
    float cell_third_value(int k) const { return column(cell_column(k) + 2); }
    float& cell_area(int k) { return column(cell_column(k) + 3); }
    float cell_area(int k) const { return column(cell_column(k) + 3); }

    // The subarea's area: the sum of the six cell areas, cell 1 first (acres).
    float area() const;

private:
    static int checked(int index, int count);
    static int cell_column(int k) { return 114 + 4 * (checked(k, LAND_USE_CELLS) - 1); }
};

// "AB0101ZZ.ZSS" from the stem "AB0101ZZ", or from "AB" and map 101.
std::string subarea_data_base_name(std::string_view data_file_stem);
std::string subarea_data_base_name(std::string_view study_id, int map_number);

std::vector<SubareaRecord> read_subarea_data_base(std::string_view name, FilePresence presence);
std::optional<SubareaRecord> read_subarea_record(FreeFormReader& reader);
std::string subarea_record_line(const SubareaRecord& record, std::string_view file_name = {}, int record_number = 0);
void write_subarea_data_base(std::string_view name, const std::vector<SubareaRecord>& records);

}  // namespace velm
