// The friction-slope update of the link data bases, the last step of the
// balanced HGL estimation: every map's link data base takes the fitted
// friction slope and the HGLs of its links from the run's balanced HGL
// results, so that the deficiency pass of the same run and the later modules
// find them in the link records; the links whose slope ends at or near the
// minimum friction slope are listed in report section III.
#pragma once

#include "platform/text_file.h"
#include "records/link_data_base.h"
#include "shell/run_context.h"

namespace velm {

// The friction slope a link takes from its result: the fitted slope, the
// link's own slope (column 9) when the fit is exactly 0.0, and at least the
// envelope's minimum friction slope.
float balanced_hgl_friction_slope(const BalancedHglResult& result, const LinkRecord& link,
                                  float envelope_min_friction_slope);

// Updates one link record from its first result (none: nullptr).  With any
// results in the run, columns 139 and 140 are cleared first; a link with a
// result takes its slope in columns 55, 63, 64, 68 and 69 and its upstream
// and downstream HGL in columns 139 and 140.  True when the link belongs on
// the minimum-slope list (a slope at most the minimum plus 0.001).
bool apply_balanced_hgl_result(LinkRecord& link, const BalancedHglResult* result, bool any_results,
                               float envelope_min_friction_slope);

// Rewrites every map's link data base of the run (a missing one is created
// empty) and appends the minimum-slope list, with its heading, to the report.
void update_link_friction_slopes(RunContext& run, TextWriter& report);

}  // namespace velm
