#include "records/link_data_base.h"

#include <cmath>
#include <stdexcept>

namespace velm {

const RecordLayout& LinkRecord::layout()
{
    static const RecordLayout layout(LINK_RECORD_FORMAT, column_kinds());
    return layout;
}

int LinkRecord::event_column(int first_column, int event)
{
    if (event < 1 || event > STORM_EVENTS) throw std::out_of_range("no storm event " + std::to_string(event));
    return first_column + event - 1;
}

int LinkRecord::map_number() const
{
    return map_number_of(downstream_node());
}

int LinkRecord::storm_event_count() const
{
    int count = 0;
    for (int event = 1; event <= STORM_EVENTS; ++event)
        if (downstream_peak_flow(event) > 0.0f) ++count;
    return count;
}

int map_number_of(float node_number)
{
    const float quotient = node_number / static_cast<float>(MAP_NUMBER_DIVISOR);
    if (!(std::fabs(quotient) < 1.0e9f)) return NO_MAP_NUMBER;
    return static_cast<int>(quotient);
}

int region_map_number(int map_number)
{
    return map_number / 100 * 100;
}

std::string link_data_base_name(std::string_view data_file_stem)
{
    return format_line(LINK_DATA_BASE_STEM_NAME_FORMAT, {std::string(data_file_stem)});
}

std::string link_data_base_name(std::string_view study_id, int map_number)
{
    return format_line(LINK_DATA_BASE_MAP_NAME_FORMAT, {std::string(study_id), map_number});
}

void clear_stale_link_columns(LinkRecord& record)
{
    if (record.designated_element_type() > 3.0f) {
        for (int c = 141; c <= 146; ++c) record.column(c) = 0.0f;
    }
    for (int c = 153; c <= LINK_RECORD_VALUES; ++c) record.column(c) = 0.0f;
}

std::vector<LinkRecord> read_link_data_base(std::string_view name, FilePresence presence)
{
    return read_records<LinkRecord>(name, presence);
}

std::optional<LinkRecord> read_link_record(FreeFormReader& reader)
{
    return read_record<LinkRecord>(reader);
}

std::string link_record_line(const LinkRecord& record, std::string_view file_name, int record_number)
{
    return record_line(record, file_name, record_number);
}

void write_link_data_base(std::string_view name, const std::vector<LinkRecord>& records)
{
    write_record_file(name, records);
}

}  // namespace velm
