// Step 5 of the analysis run, for one map: the deficiency pass over the
// map's link data base (capacities, friction slope, deficiency and
// mitigation sizing of every link).
#pragma once

#include <string>

#include "shell/run_context.h"

namespace velm {

// Analyses every link of the link data base `link_data_base` (its name with
// the data directory), which exists, with the run's settings and the
// balanced-HGL results, and rewrites it with the computed values.
void analyze_link_file_deficiencies(RunContext& run, const std::string& link_data_base);

}  // namespace velm
