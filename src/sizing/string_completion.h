// The completion of every line of a hydraulic string by the telescoping
// pass: the Manning capacity of the element the link gets, the link's long
// string record in its form (first link, new element, kept element or a line
// without a link of its own), the outcome recorded in the link's table row,
// and at the string's end the user-recommended elements written over the
// pass's own.
//
// A long record holds the link's data as the pass used them and the element
// it chose: values 29 to 34 the element (shape, size, width, side slope,
// freeboard, Manning n; the shape negative for a link marked for the cost
// opinion and for a headwater link), 37 to 41 the parallel element of a
// link whose user status is Parallel, 52 the element's capacity and 65 the
// flow carried down the string, which is cleared once the string is done.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "records/string_files.h"
#include "sizing/telescoping_link_table.h"

namespace velm {

// The running state of one string, seeded by its first line.
struct StringTelescopingState {
    float running_target_flow = 0.0f;  // cfs, the largest target flow met so far
    float carried_flow = 0.0f;         // cfs, carried past the previous link
    int previous_shape = 0;            // 1 pipe, 2 box, 3 channel; 0 none yet
    float previous_area = 0.0f;        // ft2, of the previous link's element
    float previous_size = 0.0f;        // ft
    float element_capacity = 0.0f;     // cfs, of the previous link's element
    // Manning n of the previous line's element: the value 34 of a line
    // without a link of its own.
    float previous_friction_factor = 0.0f;
};

// What the telescoping rules decided for one link after the first of its
// string, handed to its completion.
struct LinkDecision {
    int element_shape = 0;         // 1 pipe, 2 box, 3 channel
    float chosen_size = 0.0f;      // ft, pipe diameter
    float candidate_width = 0.0f;  // ft, base width (pipes: number of pipes)
    float candidate_size = 0.0f;   // ft, height or depth
    float candidate_side_slope = 0.0f;
    float candidate_friction_factor = 0.0f;  // Manning n
    float candidate_freeboard = 0.0f;        // ft
    bool keep_existing = false;              // the link gets no new element
    float carried_flow = 0.0f;               // cfs
    float link_friction_factor = 0.0f;       // the row's Manning n
    float pipe_friction_factor = 0.0f;       // the same, divided by 1.076 under normal-depth capacity
};

// The Manning capacity (cfs) of the element of a decision at the link's
// sizing slope, by the pass's own constants: a pipe of the chosen diameter,
// a box or a trapezoidal channel of the candidate dimensions.  A sizing
// slope of 0 or below carries nothing (0.0).  Nothing for any other shape,
// for a box or channel without dimensions, and where the dimensions or n
// give no number: the caller then keeps the capacity it had.
std::optional<float> compute_element_capacity(const LinkDecision& decision, float sizing_slope);

// The link's long record with the values of its row and its string line:
// every form but that of a line without a row starts from it, with no
// element (values 29 to 34, 37 to 41, 52 and 65 zero).
TelescopedStringRecord long_string_record(const StringRecord& line, const TelescopingLinkRow& row);

// The first line of a string: the record in its first-link form.
TelescopedStringRecord first_string_link_record(const StringRecord& line, const TelescopingLinkRow& row,
                                                float carried_flow);

// A matched line after the first: its capacity, its record, and the
// outcome in its row (the recommended element or the mark that it keeps its
// own).
TelescopedStringRecord complete_string_link(TelescopingLinkRow& row, const StringRecord& line,
                                            const LinkDecision& decision, StringTelescopingState& state,
                                            const TelescopingSettings& settings);

// A line whose node pair matches no link: the six values of the line, the
// Manning n of the previous line's element, and no capacity for the next.
TelescopedStringRecord write_unmatched_string_link(const StringRecord& line, StringTelescopingState& state);

// At the string's end: the user-recommended element of each listed link in
// place of the pass's (value 33 zero), no element for a storage element of
// a curve-number study, and no carried flow on any line.
void apply_user_elements_to_string(std::vector<TelescopedStringRecord>& records, const UserElementList& user_elements,
                                   int model_type_code);

// The records with every value held within its field, so that a string file
// never holds a run of asterisks: a value too wide becomes the widest its
// field holds.
std::vector<TelescopedStringRecord> fit_long_records(std::vector<TelescopedStringRecord> records);

}  // namespace velm
