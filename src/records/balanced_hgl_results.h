// The per-link results of the balanced HGL estimation, kept in memory for the
// rest of the analysis run: the friction-slope update of the link data bases
// takes a link's first entry, the deficiency pass its last.
#pragma once

#include <vector>

namespace velm {

// One fitted link, identified by its node pair (exact float equality).
struct BalancedHglResult {
    float upstream_node = 0.0f;    // node number, one decimal
    float downstream_node = 0.0f;  // node number, one decimal
    float friction_slope = 0.0f;   // ft/ft, the slope of the fitted HGL along the link
    float downstream_hgl = 0.0f;   // ft, HGL at the downstream node
    float upstream_hgl = 0.0f;     // ft, HGL at the upstream node
};

// Entries in processing order: level by level from the outlets upstream,
// within a level in work-list order, within a string from its outlet link
// upward.  Study-wide; emptied at the start of each estimation.
struct BalancedHglResultTable {
    std::vector<BalancedHglResult> results;

    int result_count() const { return static_cast<int>(results.size()); }
    void clear() { results.clear(); }
};

}  // namespace velm
