// The link checks of every map: report section II.A with items A to L, the
// confluence table "SETCZZ.ZZZ" and the node sets "SETEZZ.ZZZ" and
// "SETF.ZZZ", and the confluence overflow block.
#pragma once

#include "platform/text_file.h"
#include "records/data_file_table.h"
#include "shell/session.h"

namespace velm {

// The link part of the diagnostics run: the window line of the link checks,
// the three node-set files started afresh, every map's link data base
// checked, the window verdict, section II.A written to the report, and the
// confluence overflow block appended to the confluence table.  Returns
// link_fatal_total.
int run_link_checks(Session& session, TextWriter& report, const DataFileTable& data_files,
                    int model_type_code);

}  // namespace velm
