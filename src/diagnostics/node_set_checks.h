// The network node-set checks: "SETG.ZZZ", "SETHZZ.ZZZ", "SETXZZ.ZZZ" and the
// headwater, confluence and seam exceptions of the report.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/model_cross_check.h"
#include "records/node_set_files.h"
#include "shell/session.h"

namespace velm {

// Splits the node sets the link checks wrote, writes the three node-set
// files and appends the node-set exceptions to the study's report
// (`study_name` is the first map's stem); the report is left as it is when
// there are none.  Returns node_set_flag (0 or 1).  A missing set file is an
// empty set (and is not created); a missing confluence table, or a line of a
// set file or of the table that cannot be read, is a FileError naming the
// file (and the line).
// (The node-set file names and formats: records/node_set_files.h.)

// A node-set file of the link checks ("SETEZZ.ZZZ", "SETF.ZZZ"): group after
// group, a count and then that many node numbers, to the end of the file.  A
// missing file is an empty set.  Both readers read this run's new version of
// the file during an analysis run.
std::vector<float> read_node_set_groups(const Session& session, const std::string& name);

// The rows of the confluence table: after its three heading lines, the node
// and its five upstream-node slots, up to the end of the file or the fatal
// block; a row whose node is 0.0 holds nothing and is left out.  A missing
// table, or one shorter than its heading, is a FileError naming it.
std::vector<ConfluenceEntry> read_confluence_table(const Session& session, const std::string& name);

int check_network_node_sets(Session& session, const std::string& study_name, const NetworkNodeSets& node_sets);

}  // namespace velm
