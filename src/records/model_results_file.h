// The model results file of a map (".ZZZ"): written by the companion
// hydrology program after it has run the map's link-node model, one group of
// binary records per model element.  Only the statistics of the diagnostics
// report read it.
//
// A group is eight kinds of records, in this order:
//   1  one REAL (nothing taken; the end of the file before it ends the file)
//   2  40 values: 1 upstream node, 2 downstream node, 3 process code
//      (INTEGER), 8 the count N of the triples of record 3 (INTEGER);
//      INTEGER also at 22, 29 and 38
//   3  3 x N REALs (present, and empty, when N is 0)
//   4  26 values: 3 time of concentration at the downstream node (minutes),
//      4 subarea-added area, 6 total tributary area, 17 travel time
//      (minutes); INTEGER at 13, 24 and 26
//   5  20 values, INTEGER at 19 and 20
//   6  one INTEGER: M, the count of records 7
//   7  M records of an INTEGER and four REALs
//   8  55 records of an INTEGER and four REALs
// Every record is read whole by its length and its values are picked by
// position, so a record that holds more values than these is read all the
// same, and the counts N and M never decide where the next record begins.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr std::string_view MODEL_RESULTS_FILE_NAME_FORMAT = "(A8,'.ZZZ')";

inline constexpr int RESULTS_ELEMENT_VALUES = 40;    // record 2
inline constexpr int RESULTS_HYDROLOGY_VALUES = 26;  // record 4
inline constexpr int RESULTS_ROUTING_VALUES = 20;    // record 5
inline constexpr int RESULTS_TABLE_ROW_VALUES = 5;   // records 7 and 8
inline constexpr int RESULTS_FIXED_TABLE_ROWS = 55;  // records 8

// The values the system takes from one group.
struct ModelResultsGroup {
    float upstream_node = 0.0f;                     // record 2, value 1
    float downstream_node = 0.0f;                   // record 2, value 2
    int process_code = 0;                           // record 2, value 3
    float downstream_time_of_concentration = 0.0f;  // minutes; record 4, value 3
    float subarea_added_area = 0.0f;                // acres; record 4, value 4
    float total_tributary_area = 0.0f;              // acres; record 4, value 6
    float travel_time = 0.0f;                       // minutes; record 4, value 17

    bool operator==(const ModelResultsGroup&) const = default;
};

// "AB0101ZZ.ZZZ" from the map's data file stem "AB0101ZZ".
std::string model_results_file_name(std::string_view data_file_stem);

// Every group of a results file, in file order.  The file must exist.
// FileError naming the file and the record for a file that is not a record
// file, a group cut short by the end of the file, a record too short for
// the values its kind must hold, or a count of table records (record 6)
// that is negative or beyond the records the file still holds.
std::vector<ModelResultsGroup> read_model_results_file(std::string_view name);

// Writes a results file of these groups as a whole new file, atomically:
// the taken values at their places, every other value 0, no triples in
// record 3 and no records 7.  The companion program writes these files; the
// system has no use for the writer but to lay out studies for its tests and
// its sample.
void write_model_results_file(std::string_view name, const std::vector<ModelResultsGroup>& groups);

}  // namespace velm
