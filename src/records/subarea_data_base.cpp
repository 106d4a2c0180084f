#include "records/subarea_data_base.h"

#include <stdexcept>

namespace velm {

const RecordLayout& SubareaRecord::layout()
{
    static const RecordLayout layout(SUBAREA_RECORD_FORMAT, column_kinds());
    return layout;
}

int SubareaRecord::checked(int index, int count)
{
    if (index < 1 || index > count) throw std::out_of_range("index " + std::to_string(index) + " out of range");
    return index;
}

float SubareaRecord::area() const
{
    float sum = 0.0f;
    for (int k = 1; k <= LAND_USE_CELLS; ++k) sum += cell_area(k);
    return sum;
}

std::string subarea_data_base_name(std::string_view data_file_stem)
{
    return format_line(SUBAREA_DATA_BASE_STEM_NAME_FORMAT, {std::string(data_file_stem)});
}

std::string subarea_data_base_name(std::string_view study_id, int map_number)
{
    return format_line(SUBAREA_DATA_BASE_MAP_NAME_FORMAT, {std::string(study_id), map_number});
}

std::vector<SubareaRecord> read_subarea_data_base(std::string_view name, FilePresence presence)
{
    return read_records<SubareaRecord>(name, presence);
}

std::optional<SubareaRecord> read_subarea_record(FreeFormReader& reader)
{
    return read_record<SubareaRecord>(reader);
}

std::string subarea_record_line(const SubareaRecord& record, std::string_view file_name, int record_number)
{
    return record_line(record, file_name, record_number);
}

void write_subarea_data_base(std::string_view name, const std::vector<SubareaRecord>& records)
{
    write_record_file(name, records);
}

}  // namespace velm
