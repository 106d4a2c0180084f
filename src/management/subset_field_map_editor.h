// The full-screen editor of one data base kind's subset field list: the 60
// subset fields on two pages of 30, each with the global data base column
// mapped into it, a marker the user moves over the entries, and the commands
// A (insert above), B (back one entry), C (change), D (delete), E (exit) and
// R (reinstall the defaults).  The record key (field 1, and field 2 of a
// link) cannot be changed, deleted or shifted.
#pragma once

#include "management/subset_field_map.h"
#include "platform/window.h"

namespace velm {

// Edits the kind's list of `map.global_field` in memory; returns when the
// user types E or moves past field 60.  The caller saves the map.
void edit_subset_field_map(Window& window, SubsetFieldMap& map, DataBaseKind kind);

}  // namespace velm
