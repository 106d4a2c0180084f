#include "records/gis_files.h"

#include <cmath>
#include <stdexcept>

#include "records/hydrology_model_type.h"
#include "records/link_data_base.h"

namespace velm {

namespace {

bool kept_per_region(int model_type)
{
    return uses_packed_land_use(model_type) || uses_region_files(model_type);
}

// The region of a node or subarea number: its whole part divided by 10000;
// a number that is not a number, or lies beyond any region, has none.
int region_number_of(float number)
{
    const float quotient = number / static_cast<float>(REGION_NUMBER_DIVISOR);
    if (!(std::fabs(quotient) < 1.0e9f)) return NO_MAP_NUMBER;
    return static_cast<int>(quotient);
}

}  // namespace

std::string gis_file_extension(GisFileKind kind)
{
    switch (kind) {
        case GisFileKind::Node:
            return "ZZN";
        case GisFileKind::Link:
            return "ZZL";
        case GisFileKind::Subarea:
            return "ZZS";
    }
    return {};
}

const RecordLayout& GisNodeRecord::layout()
{
    static const RecordLayout layout(GIS_NODE_RECORD_FORMAT, column_kinds());
    return layout;
}

const RecordLayout& GisLinkRecord::layout()
{
    static const RecordLayout layout(GIS_LINK_RECORD_FORMAT, column_kinds());
    return layout;
}

const RecordLayout& GisSubareaRecord::layout()
{
    static const RecordLayout layout(GIS_SUBAREA_RECORD_FORMAT, column_kinds());
    return layout;
}

int GisSubareaRecord::checked(int index, int count)
{
    if (index < 1 || index > count) throw std::out_of_range("index " + std::to_string(index) + " out of range");
    return index;
}

std::string gis_file_name(std::string_view study_id, float number, int model_type, GisFileKind kind)
{
    if (kept_per_region(model_type)) {
        return format_line(GIS_REGION_FILE_NAME_FORMAT,
                           {std::string(study_id), region_number_of(number), gis_file_extension(kind)});
    }
    const int map = map_number_of(number);
    return format_line(GIS_MAP_FILE_NAME_FORMAT, {std::string(study_id), map, gis_file_extension(kind)});
}

std::string gis_file_name_from_stem(std::string_view data_file_stem, int model_type, GisFileKind kind)
{
    std::string stem(data_file_stem);
    stem.resize(8, ' ');
    if (kept_per_region(model_type))
        return format_line(GIS_REGION_STEM_FILE_NAME_FORMAT, {stem.substr(0, 4), gis_file_extension(kind)});
    return format_line(GIS_STEM_FILE_NAME_FORMAT, {stem.substr(0, 6), gis_file_extension(kind)});
}

std::vector<GisNodeRecord> read_gis_node_file(std::string_view name, FilePresence presence)
{
    return read_records<GisNodeRecord>(name, presence);
}

std::vector<GisLinkRecord> read_gis_link_file(std::string_view name, FilePresence presence)
{
    return read_records<GisLinkRecord>(name, presence);
}

std::vector<GisSubareaRecord> read_gis_subarea_file(std::string_view name, FilePresence presence)
{
    return read_records<GisSubareaRecord>(name, presence);
}

std::string gis_node_record_line(const GisNodeRecord& record, std::string_view file_name, int record_number)
{
    return record_line(record, file_name, record_number);
}

std::string gis_link_record_line(const GisLinkRecord& record, std::string_view file_name, int record_number)
{
    return record_line(record, file_name, record_number);
}

std::string gis_subarea_record_line(const GisSubareaRecord& record, std::string_view file_name, int record_number)
{
    return record_line(record, file_name, record_number);
}

void write_gis_node_file(std::string_view name, const std::vector<GisNodeRecord>& records)
{
    write_record_file(name, records);
}

void write_gis_link_file(std::string_view name, const std::vector<GisLinkRecord>& records)
{
    write_record_file(name, records);
}

void write_gis_subarea_file(std::string_view name, const std::vector<GisSubareaRecord>& records)
{
    write_record_file(name, records);
}

}  // namespace velm
