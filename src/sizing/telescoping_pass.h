// Step 6 of the analysis run: the telescoping pass along every string, with
// the gap report and the remaining report sections.
#pragma once

#include "shell/run_context.h"

namespace velm {

// Telescopes the element sizes along every hydraulic string of the study and
// writes the results back to the string files and the link data bases.
// The gap report follows (not for the curve-number model, type 10), then the
// link data base update with the user-recommended value sections, the
// large-pipe and upgraded-link lists and, when every element was sized
// independently, the mark in the string index.
void run_telescoping_analysis(RunContext& run);

// Value 1 of the string index header set to 1.0: the study's elements were
// last sized independently.  The rest of the index stays as it is.
void mark_string_index_independent_sizing(RunContext& run);

}  // namespace velm
