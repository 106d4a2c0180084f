// The telescoping rules along one hydraulic string.  The string is walked
// from its most upstream link down; its first link seeds the running state
// (target flow, carried flow, shape, area, size and capacity of the element
// upstream), and every later link gets its decision:
//   - the flow its element must carry never falls below the target flow
//     upstream (capacity telescoping "string basis": a pipe is re-sized for
//     the running target flow);
//   - under the area settings ("no area reduction") an element is not
//     smaller in cross-section than the one upstream: a pipe takes the larger
//     diameter, a box or channel the dimensions that give the area upstream;
//   - at a change of shape the interface setting decides;
//   - an existing element that is not deficient may be kept, by the
//     existing-element setting.
// The decision is then completed into the link's long record (see
// string_completion.h).
#pragma once

#include <vector>

#include "records/string_files.h"
#include "sizing/string_completion.h"
#include "sizing/telescoping_link_table.h"

namespace velm {

// The first line of a string: seeds the running state from its link and
// returns the line's record in its first-link form.
TelescopedStringRecord start_string(const StringRecord& line, const TelescopingLinkRow& row,
                                    StringTelescopingState& state, const TelescopingSettings& settings);

// The decision for a link after the first of its string, with the values it
// carries down (running target flow, carried flow, size, area, shape).  The
// link's row keeps the link flow, the size and the carried flow, and, for a
// box or channel brought up to the area upstream, its new dimensions.
LinkDecision decide_link_telescoping(TelescopingLinkRow& row, StringTelescopingState& state,
                                     const TelescopingSettings& settings);

// The next constructible pipe diameter above `diameter` (ft): quarter feet
// up to 8.0 ft, half feet above; an exact step also moves up one.
float next_constructible_pipe_size(float diameter);

// The whole walk of one string from its finder-form lines: every line's long
// record, the user-recommended elements applied, with the rows of its links
// updated in the table.
std::vector<TelescopedStringRecord> telescope_string(const std::vector<StringRecord>& lines, TelescopingTables& tables,
                                                     const TelescopingSettings& settings);

}  // namespace velm
