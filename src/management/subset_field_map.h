// The subset field map: for each of the three per-map data bases (node,
// subarea, link), the list of global data base columns that make up the
// study's subset, in subset field order.  The subset module sets the
// defaults and saves the lists in the study's subset specification
// "TRVLZZ.SST"; the field map editor changes them; the subset writers and the
// differences module select the columns through them.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace velm {

// The data base kinds; the number is also the subset module's menu option
// that edits that kind.
enum class DataBaseKind : int { NodeKind = 1, SubareaKind = 2, LinkKind = 3 };
inline constexpr int DATA_BASE_KINDS = 3;
inline constexpr int MAX_SUBSET_FIELDS = 60;

inline constexpr std::string_view SUBSET_SPECIFICATION_NAME_FORMAT = "(A2,'TRVLZZ.SST')";
// One line per kind: the 60 entries, a blank and three digits each.
inline constexpr std::string_view SUBSET_SPECIFICATION_LINE_FORMAT = "(60(1X,I3))";

using SubsetFieldList = std::array<int, MAX_SUBSET_FIELDS>;  // global column of fields 1..60, 0 = none

struct SubsetFieldMap {
    std::array<SubsetFieldList, DATA_BASE_KINDS> global_field{};
    std::array<SubsetFieldList, DATA_BASE_KINDS> default_global_field{};

    SubsetFieldList& fields(DataBaseKind kind) { return global_field[index(kind)]; }
    const SubsetFieldList& fields(DataBaseKind kind) const { return global_field[index(kind)]; }
    const SubsetFieldList& defaults(DataBaseKind kind) const { return default_global_field[index(kind)]; }

    static std::size_t index(DataBaseKind kind) { return static_cast<std::size_t>(kind) - 1; }
};

// Values in a record of the kind (655 node, 188 subarea, 188 link).
int record_values(DataBaseKind kind);

// Both tables of all three kinds set to the defaults: the record key first,
// then the columns an engineer looks at most.
void set_subset_field_map_defaults(SubsetFieldMap& map);

// n, the number of fields of a subset of the list: its entries that name a
// column.  The header of a subset names the first n entries as they stand;
// a row takes its values from the fields up to the first empty entry and
// writes 0 for the fields from there to n.
int subset_field_count(const SubsetFieldList& list);
// The number of fields before the first empty entry (at most n).
int subset_leading_fields(const SubsetFieldList& list);

// The specification file of the study (with its data directory).  Reading:
// false, and the map unchanged, when the file does not exist; an entry that
// names no column of its kind's record (below 1 or beyond the record) is
// taken as empty; a line that cannot be read as 60 whole numbers is a
// FileError naming the file and the line.  Writing replaces the file whole with the three lines.
bool read_subset_specification(std::string_view file_name, SubsetFieldMap& map);
void write_subset_specification(std::string_view file_name, const SubsetFieldMap& map);

}  // namespace velm
