// Step 4 of the analysis run: the balanced HGL estimation, run only under the
// balanced-HGL friction-slope models (2 and 4).
#pragma once

#include "shell/run_context.h"

namespace velm {

// Estimates a balanced HGL for every string connected to a downstream
// control, fills run.balanced_hgl_results (afresh) for the deficiency pass,
// writes report section III and the fitted friction slopes into the link
// data bases.
void run_balanced_hgl_estimation(RunContext& run);

}  // namespace velm
