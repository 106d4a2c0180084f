// Outlet HGL controls and processing levels: the first step of the balanced
// HGL estimation.  It makes sure the HGL control table names the downstream
// hydraulic control of every system trunk line (a system outlet is a node of
// set E, the unconnected downstream nodes, that is not in set F, the
// unconnected upstream nodes: a node in both is a seam between maps), asks
// the engineer for the control elevations when the settings call for
// user-defined controls and none are stored, saves them in the control file,
// and gives every string of the index its processing level and outlet system
// number.  Level 0 strings end at a control; a level n+1 string discharges
// into a level n string at a confluence.
#pragma once

#include <functional>
#include <vector>

#include "platform/window.h"
#include "records/string_files.h"
#include "shell/run_context.h"

namespace velm {

// A string that no chain of strings joins to a control.
inline constexpr float LEVEL_NOT_REACHED = -99.0f;

// The system outlets: the nodes of set E that are not in set F, in set E
// order, each node once (its first occurrence).
std::vector<float> system_outlets(const std::vector<float>& set_e, const std::vector<float>& set_f);

// Asks the control elevation of each outlet on the window; the elevations
// in outlet order.  TOP, and BACK at the first outlet, start the page over;
// BACK elsewhere takes back the last entry.  EXIT clears the screen and ends
// the program, nothing saved.
std::vector<float> ask_outlet_hgl_controls(Window& window, const std::vector<float>& outlets);

// Processing levels and outlet system numbers of the index's strings:
// level 0 for a string whose outlet is a control node (systems numbered in
// string order), then level L for a string not yet reached whose outlet is
// a confluence node on the links of a level L - 1 string (the first string,
// in list and then record order, to reach it gives it its system).  Values
// 4 to 6 of the records are set; value 6 is the elevation of the last
// control on a level 0 string's outlet, otherwise 0.0.  The string count is
// the string number of the last record.  `read_string` gives the records of string n when the propagation reaches
// it (each reached string is read once).
void assign_processing_levels(StringIndexFile& index, const HglControlTable& controls,
                              const std::vector<float>& confluence_nodes,
                              const std::function<std::vector<StringRecord>(int)>& read_string);

// The run's step: reads the index, identifies the outlets when the control
// table is empty (and asks and saves their elevations under user-defined
// controls), then rewrites the index with the levels.  A missing index or
// string file of a reached string ends the run naming it; a missing set E or
// set F is an empty set.
void enter_outlet_hgl_controls(RunContext& run);

}  // namespace velm
