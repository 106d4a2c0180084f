// Sections II.D (statistics) and II.E (health check) of the diagnostics
// report.
#pragma once

#include <string>

#include "diagnostics/diagnostics_inputs.h"
#include "records/data_file_table.h"
#include "shell/session.h"

namespace velm {

// Extracts the statistics of the study's links, subareas, nodes and model
// results and appends sections II.D and II.E to the report (`study_name` is
// the first map's stem).
void run_data_base_statistics(Session& session, const std::string& study_name, int model_type_code,
                              const DataFileTable& data_files);
// The same, taking what an earlier step read of a map's files from `inputs`.
void run_data_base_statistics(Session& session, const std::string& study_name, int model_type_code,
                              const DataFileTable& data_files, const DiagnosticsInputs& inputs);

}  // namespace velm
