// The cross-check of the data bases against the link-node model files, and
// the network node sets it collects.
#pragma once

#include <array>
#include <vector>

#include "diagnostics/diagnostics_inputs.h"
#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "records/network_node_sets.h"
#include "shell/session.h"

namespace velm {

// The cross-check part of the diagnostics run (model types other than 10):
// the window heading, every map's model file compared with its subarea and
// link data bases, and the seven cross-check items written to the report,
// which is then committed for the steps that append to it.  Adds the subarea
// findings to subarea_fatal_total and the link findings to link_fatal_total
// (one for each item that a map feeds); fills node_sets afresh.  A missing
// model file, or one that does not walk, is a FileError naming the file; a
// missing subarea or link data base holds nothing (and is not created).
void run_model_cross_check(Session& session, TextWriter& report, const DataFileTable& data_files,
                           NetworkNodeSets& node_sets, int& subarea_fatal_total, int& link_fatal_total);
// The same, taking the subarea numbers of a data base that an earlier step
// read from `inputs`.
void run_model_cross_check(Session& session, TextWriter& report, const DataFileTable& data_files,
                           NetworkNodeSets& node_sets, int& subarea_fatal_total, int& link_fatal_total,
                           const DiagnosticsInputs& inputs);

}  // namespace velm
