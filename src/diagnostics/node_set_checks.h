// The network node-set checks: "SETG.ZZZ", "SETHZZ.ZZZ", "SETXZZ.ZZZ" and the
// headwater, confluence and seam exceptions of the report.
#pragma once

#include <string>

#include "diagnostics/model_cross_check.h"
#include "shell/session.h"

namespace velm {

// Splits the node sets the link checks wrote, writes the three node-set
// files and appends the node-set exceptions to the study's report
// (`study_name` is the first map's stem); the report is left as it is when
// there are none.  Returns node_set_flag (0 or 1).  A missing set file is an
// empty set (and is not created); a missing confluence table, or a line of a
// set file or of the table that cannot be read, is a FileError naming the
// file (and the line).
int check_network_node_sets(Session& session, const std::string& study_name,
                            const NetworkNodeSets& node_sets);

}  // namespace velm
