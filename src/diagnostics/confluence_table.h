// The confluence records of the link checks, grouped from their confluence
// pairs; the table's file format is records/node_set_files.h.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/link_checks.h"
#include "records/node_set_files.h"

namespace velm {

// Groups consecutive confluence pairs (item C order) with the same downstream
// node into records.  A group of fewer than `fewest_tributaries` pairs gives
// no record.
std::vector<ConfluenceRecord> group_confluence_pairs(const std::vector<NodePair>& pairs, int fewest_tributaries);

}  // namespace velm
