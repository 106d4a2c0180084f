// Step 6 of the analysis run: the telescoping pass along every string, with
// the gap report and the remaining report sections.
#pragma once

#include "shell/run_context.h"

namespace velm {

// Telescopes the element sizes along every hydraulic string of the study and
// writes the results back to the string files and the link data bases.
void run_telescoping_analysis(RunContext& run);

}  // namespace velm
