// The study-wide subset files "NODEZZ.SST", "SUBAZZ.SST" and "LINKZZ.SST":
// the chosen columns (the subset field map) of every record of every map
// data base, maps in the order of the study's data file list.  Line 1 names
// the global column of each subset field; every further line is one record,
// one 12-character fixed-point value with 4 decimals and a comma per field.
//
// Column treatments: the text column of each record (node column 3, subarea
// column 2, link ID column 6) is written as 0; node columns 606 to 635 are
// multiplied by 100; the land-use and soil codes of the six subarea land-use
// cells are truncated to whole numbers; a link's column 91 (the storm event
// of its largest deficiency) is replaced by that event's return frequency,
// and the as-built element columns 23 to 27 count as 0 for links of process
// codes 36 and 56.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "management/subset_field_map.h"
#include "platform/text_file.h"
#include "records/free_form.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/subarea_data_base.h"

namespace velm {

inline constexpr std::string_view NODE_SUBSET_NAME_FORMAT = "(A2,'NODEZZ.SST')";
inline constexpr std::string_view SUBAREA_SUBSET_NAME_FORMAT = "(A2,'SUBAZZ.SST')";
inline constexpr std::string_view LINK_SUBSET_NAME_FORMAT = "(A2,'LINKZZ.SST')";

inline constexpr std::string_view SUBSET_HEADER_FIELD_FORMAT = "(7X,I3,',')";
inline constexpr std::string_view SUBSET_HEADER_FIELD_SEPARATOR = "  ";
inline constexpr std::string_view SUBSET_VALUE_FORMAT = "(F12.4,',')";

// Return frequency (years) of storm events 1 to 6, read from header value 12
// of the first map's model files; 0 for an event without a model file.
using ReturnFrequencyTable = std::array<int, STORM_EVENTS>;

// The selected value of a column of each record kind, with the kind's column
// treatments.  Column 0 (no column) gives 0.
float node_subset_value(const NodeRecord& record, int column);
float subarea_subset_value(const SubareaRecord& record, int column);
float link_subset_value(const LinkRecord& record, int column, const ReturnFrequencyTable& return_frequencies);

// The header line of a subset of the list (its n fields as they stand).
std::string subset_header_line(const SubsetFieldList& list);

// Each writer reads its map's data base from the reader to its end and
// appends one row per record to the subset file; the first map of the pass
// (map_index 1) writes the header first.  A record that cannot be read is a
// FileError naming the data base and the line.
void write_node_subset(int map_index, const SubsetFieldList& list, FreeFormReader& data_base, TextWriter& subset);
void write_subarea_subset(int map_index, const SubsetFieldList& list, FreeFormReader& data_base, TextWriter& subset);
void write_link_subset(int map_index, const SubsetFieldList& list, const ReturnFrequencyTable& return_frequencies,
                       FreeFormReader& data_base, TextWriter& subset);

}  // namespace velm
