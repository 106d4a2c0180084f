// The node checks of every map (report section II.B, items A to D).
#pragma once

#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "shell/session.h"

namespace velm {

// The node part of the diagnostics run: the page break, the window line,
// every map's nodes checked, the window verdict and section II.B.  Returns
// node_fatal_total.
int run_node_checks(Session& session, TextWriter& report, const DataFileTable& data_files,
                    int model_type_code);

}  // namespace velm
