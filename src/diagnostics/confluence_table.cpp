#include "diagnostics/confluence_table.h"

#include "records/format.h"
#include "records/study_names.h"

namespace velm {

std::string confluence_table_name(std::string_view study_id) {
    return study_file_name(CONFLUENCE_TABLE_NAME_FORMAT, study_id);
}

std::string downstream_node_set_name(std::string_view study_id) {
    return study_file_name(DOWNSTREAM_NODE_SET_NAME_FORMAT, study_id);
}

std::vector<ConfluenceRecord> group_confluence_pairs(const std::vector<NodePair>& pairs,
                                                     int fewest_tributaries) {
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

std::vector<std::string> confluence_table_heading() {
    static const Format heading(CONFLUENCE_TABLE_HEADING_FORMAT);
    return heading.write({});
}

std::string confluence_record_line(const ConfluenceRecord& record) {
    static const Format plain(CONFLUENCE_RECORD_FORMAT);
    static const Format marked(MARKED_CONFLUENCE_RECORD_FORMAT);
    std::vector<FormatValue> values{record.confluence_node};
    for (float node : record.upstream_nodes) values.emplace_back(node);
    return record.over_connected() ? marked.line(values) : plain.line(values);
}

std::vector<std::string> confluence_fatal_block(const std::vector<float>& over_connected_nodes) {
    static const Format block(CONFLUENCE_FATAL_BLOCK_FORMAT);
    static const Format nodes(CONFLUENCE_FATAL_NODES_FORMAT);
    std::vector<std::string> lines = block.write({});
    std::vector<FormatValue> values(over_connected_nodes.begin(), over_connected_nodes.end());
    for (std::string& line : nodes.write(values)) lines.push_back(std::move(line));
    return lines;
}

}  // namespace velm
