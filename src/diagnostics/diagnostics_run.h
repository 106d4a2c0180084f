// Step 2 of the analysis run: the diagnostics of every map of the study and
// section II of the diagnostics report.
#pragma once

#include <string>
#include <string_view>

#include "diagnostics/model_cross_check.h"
#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "records/diagnostics_report.h"
#include "shell/run_context.h"
#include "shell/session.h"

namespace velm {

// Runs the link, node and subarea checks, the confluence overflow check, the
// cross-check against the model files, the node-set checks and the
// statistics, writing section II to the report (open, after section I).  The
// report is committed to disk where the run closes it; later writers append.
// Returns the number of fatal findings; the analysis run does not stop on it.
// For model type 10, which runs no cross-check, the report is committed
// before the return, so that for every model type the later steps of the run
// append to the file and the writer is no longer used.
int run_diagnostics(Session& session, TextWriter& report, const DataFileTable& data_files, int model_type_code,
                    NetworkNodeSets& node_sets);

// The diagnostics step of the analysis run: the above for the run's maps,
// model type and node sets, with the fatal findings left in run.fatal_count.
void run_diagnostics(RunContext& run, TextWriter& report);

}  // namespace velm
