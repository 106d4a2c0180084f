// Step 3 of the analysis run: the string finder, which resolves the network
// into hydraulic strings and writes the string files and their index.
#pragma once

#include "shell/run_context.h"

namespace velm {

// Finds the study's hydraulic strings from the confluence table and the node
// sets the diagnostics left, sets run.string_count and writes the string
// files and the string index.
void run_string_finder(RunContext& run);

}  // namespace velm
