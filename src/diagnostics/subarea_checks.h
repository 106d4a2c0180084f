// The subarea checks of every map (report section II.C).
#pragma once

#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "shell/session.h"

namespace velm {

// The subarea part of the diagnostics run: the page break and the II.C frame,
// the window line, one row per subarea with an exception, "==> No Errors!"
// when there is none, the closing rule and the window verdict.  Returns
// subarea_fatal_total.
int run_subarea_checks(Session& session, TextWriter& report, const DataFileTable& data_files,
                       int model_type_code);

}  // namespace velm
