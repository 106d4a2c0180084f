#include "records/node_data_base.h"

#include <stdexcept>

namespace velm {

const RecordLayout& NodeRecord::layout()
{
    static const RecordLayout layout(NODE_RECORD_FORMAT, column_kinds());
    return layout;
}

int NodeRecord::event_column(int event)
{
    if (event < 1 || event > STORM_EVENTS) throw std::out_of_range("no storm event " + std::to_string(event));
    return FIRST_PEAK_FLOW_COLUMN + event - 1;
}

int NodeRecord::triple_column(int j)
{
    if (j < 1 || j > NODE_LAND_USE_ENTRIES) throw std::out_of_range("no land-use entry " + std::to_string(j));
    return 301 + 3 * (j - 1);
}

std::string node_data_base_name(std::string_view data_file_stem)
{
    return format_line(NODE_DATA_BASE_STEM_NAME_FORMAT, {std::string(data_file_stem)});
}

std::string node_data_base_name(std::string_view study_id, int map_number)
{
    return format_line(NODE_DATA_BASE_MAP_NAME_FORMAT, {std::string(study_id), map_number});
}

std::vector<NodeRecord> read_node_data_base(std::string_view name, FilePresence presence)
{
    return read_records<NodeRecord>(name, presence);
}

std::vector<NodeRecord> read_node_data_base_start(std::string_view name, FilePresence presence, int last_column)
{
    return read_records_start<NodeRecord>(name, presence, last_column);
}

std::vector<NodeRecord> read_node_data_base_columns(std::string_view name, FilePresence presence,
                                                    const std::vector<int>& columns)
{
    return read_records_columns<NodeRecord>(name, presence, columns);
}

std::optional<NodeRecord> read_node_record(FreeFormReader& reader)
{
    return read_record<NodeRecord>(reader);
}

std::string node_record_line(const NodeRecord& record, std::string_view file_name, int record_number)
{
    return record_line(record, file_name, record_number);
}

void write_node_data_base(std::string_view name, const std::vector<NodeRecord>& records)
{
    write_record_file(name, records);
}

}  // namespace velm
