#include "diagnostics/confluence_table.h"

#include "records/format.h"
#include "records/study_names.h"

namespace velm {

std::vector<ConfluenceRecord> group_confluence_pairs(const std::vector<NodePair>& pairs, int fewest_tributaries)
{
    std::vector<ConfluenceRecord> records;
    std::size_t first = 0;
    while (first < pairs.size()) {
        ConfluenceRecord record;
        record.confluence_node = pairs[first].downstream_node;
        std::size_t next = first;
        while (next < pairs.size() && pairs[next].downstream_node == record.confluence_node) {
            if (record.tributary_count < MAX_TRIBUTARY_LINKS)
                record.upstream_nodes[static_cast<std::size_t>(record.tributary_count)] = pairs[next].upstream_node;
            ++record.tributary_count;
            ++next;
        }
        // A node that equals nothing (not a number) still ends its group.
        if (next == first) ++next;
        if (record.tributary_count >= fewest_tributaries) records.push_back(record);
        first = next;
    }
    return records;
}

}  // namespace velm
