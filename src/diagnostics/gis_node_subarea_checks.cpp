#include "diagnostics/gis_node_subarea_checks.h"

#include "diagnostics/node_checks.h"
#include "diagnostics/report_lines.h"
#include "records/hydrology_model_type.h"

namespace velm {

namespace {

constexpr std::string_view NODE_HEADER_FORMAT =
    "(//10X,'PREPROCESSOR VALIDITY CHECKS: NODES'/10X,'FILE NAME : ',A6,'.ZZN')";
constexpr std::string_view SUBAREA_HEADER_FORMAT =
    "(//10X,'PREPROCESSOR VALIDITY CHECKS: SUBAREAS'/10X,'FILE NAME : ',A12)";

constexpr float HIGHEST_SUBAREA_NUMBER = 999999.0f;
constexpr float LOWEST_SUBAREA_NUMBER = 10100.0f;
constexpr float LOWEST_REGION_SUBAREA_NUMBER = 10000.0f;  // model types 6, 7 and 9
constexpr float SMALLEST_CELL_AREA = 0.001f;              // acres

bool outside(float value, float low, float high)
{
    return value < low || value > high;
}

float lowest_subarea_number(int model_type_code)
{
    const bool region_numbers = is_model_type(model_type_code, HydrologyModelType::LosAngelesCounty) ||
                                is_model_type(model_type_code, HydrologyModelType::LotSizeLandUse) ||
                                is_model_type(model_type_code, HydrologyModelType::LosAngelesCity);
    return region_numbers ? LOWEST_REGION_SUBAREA_NUMBER : LOWEST_SUBAREA_NUMBER;
}

// GIS value 2 is the rainfall of model types 5 and 6, value 3 that of type 9.
SubareaFlag gis_rainfall_flag(const GisSubareaRecord& subarea, int model_type_code)
{
    switch (model_type_code) {
        case 5:
            return outside(subarea.subarea_parameter(1), 8.0f, 20.0f) ? SubareaFlag::Marked : SubareaFlag::Blank;
        case 6: {
            const float rainfall = subarea.subarea_parameter(1);
            return outside(rainfall, 1.0f, 5.0f) && outside(rainfall, 10.0f, 100.0f) ? SubareaFlag::NotApplicable
                                                                                     : SubareaFlag::Blank;
        }
        case 9:
            return outside(subarea.subarea_parameter(2), 1.3f, 2.7f) ? SubareaFlag::NotApplicable : SubareaFlag::Blank;
        default:
            return SubareaFlag::Blank;
    }
}

// The cells up to the first one whose land use and soil are both 0.
void test_gis_cells(const GisSubareaRecord& subarea, int model_type_code, SubareaCheckFlags& flags)
{
    for (int k = 1; k <= 6; ++k) {
        const float land_use = subarea.cell_land_use(k);
        const float soil = subarea.cell_soil(k);
        if (land_use == 0.0f && soil == 0.0f) break;
        if (uses_packed_land_use(model_type_code)) {
            const float code = land_use - 100.0f;
            if (code <= 0.0f || code >= 25.0f) flags.land_use = SubareaFlag::Marked;
            if (outside(soil, 2.0f, 172.0f)) flags.soil = SubareaFlag::Marked;
        } else {
            if (outside(land_use, 1.0f, largest_land_use_code(model_type_code))) flags.land_use = SubareaFlag::Marked;
            if (outside(soil, 1.0f, largest_soil_code(model_type_code))) flags.soil = SubareaFlag::Marked;
        }
        if (subarea.cell_area(k) < SMALLEST_CELL_AREA) flags.area = SubareaFlag::Marked;
    }
}

template <class R>
bool holds_final_stamp(const std::vector<R>& records)
{
    for (const R& record : records)
        if (record.processed_stamp() == stamp_value(GisFileStamp::FinalStamp)) return true;
    return false;
}

template <class R>
void stamp_records(std::vector<R>& records, GisStampRequest request)
{
    if (const std::optional<float> stamp = requested_stamp(request))
        for (R& record : records) record.processed_stamp() = *stamp;
}

}  // namespace

std::vector<SubareaCheckRow> find_gis_subarea_exceptions(const std::vector<GisSubareaRecord>& subareas,
                                                         int model_type_code)
{
    std::vector<float> numbers;
    for (const GisSubareaRecord& subarea : subareas) numbers.push_back(subarea.subarea_number());
    const std::vector<bool> repeated = find_repeated_numbers(numbers);
    std::vector<SubareaCheckRow> rows;
    for (std::size_t i = 0; i < subareas.size(); ++i) {
        const GisSubareaRecord& subarea = subareas[i];
        SubareaCheckRow row{subarea.subarea_number(), {}};
        if (outside(row.subarea_number, lowest_subarea_number(model_type_code), HIGHEST_SUBAREA_NUMBER))
            row.flags.subarea_number = SubareaFlag::Marked;
        if (repeated[i]) row.flags.uniqueness = SubareaFlag::Marked;
        row.flags.rainfall = gis_rainfall_flag(subarea, model_type_code);
        test_gis_cells(subarea, model_type_code, row.flags);
        if (row.flags.any()) rows.push_back(row);
    }
    return rows;
}

GisCheckResult check_gis_node_file(Session& session, TextWriter& report, bool link_file_switch,
                                   std::string_view map_code, GisStampRequest stamp_request, int model_type_code,
                                   FileChange* change)
{
    const std::string node_file = gis_file_of_map_code(map_code, model_type_code, GisFileKind::Node);
    write_processing_file(session.window, node_file.substr(0, 12));
    const std::string node_path = session.study_file(node_file);
    std::vector<GisNodeRecord> nodes = read_gis_node_file(file_as_seen(change, node_path), FilePresence::Optional);
    if (stamp_request == GisStampRequest::Final && holds_final_stamp(nodes)) return {0, true};

    std::vector<GisLinkRecord> links;
    if (link_file_switch)
        links = read_gis_link_file(
            file_as_seen(change, session.study_file(gis_file_of_map_code(map_code, model_type_code, GisFileKind::Link))),
            FilePresence::Optional);
    const NodeCheckExceptions exceptions = find_node_exceptions(nodes, link_file_switch ? &links : nullptr);
    write_report_lines(report, NODE_HEADER_FORMAT, {std::string(map_code.substr(0, 6))});
    write_report_separator(report);
    write_node_check_items(report, exceptions, link_file_switch);

    const int result = exceptions.map_result();
    if (result == 0) {
        stamp_records(nodes, stamp_request);
        write_gis_node_file(change != nullptr ? change->new_file(node_path) : node_path, nodes);
    }
    return {result, false};
}

GisCheckResult check_gis_subarea_file(Session& session, TextWriter& report, std::string_view map_code,
                                      int model_type_code, GisStampRequest stamp_request, FileChange* change)
{
    const std::string subarea_file = gis_file_of_map_code(map_code, model_type_code, GisFileKind::Subarea);
    write_processing_file(session.window, subarea_file.substr(0, 12));
    const std::string path = session.study_file(subarea_file);
    std::vector<GisSubareaRecord> subareas = read_gis_subarea_file(file_as_seen(change, path), FilePresence::Optional);
    if (stamp_request == GisStampRequest::Final && !subareas.empty() &&
        subareas.front().processed_stamp() == stamp_value(GisFileStamp::FinalStamp))
        return {0, true};

    write_report_lines(report, SUBAREA_HEADER_FORMAT, {subarea_file});
    write_report_separator(report);
    write_subarea_column_heading(report);
    const std::vector<SubareaCheckRow> rows = find_gis_subarea_exceptions(subareas, model_type_code);
    for (const SubareaCheckRow& row : rows) report.write_line(subarea_check_row_line(row));
    const int row_count = static_cast<int>(rows.size());
    write_subarea_checks_closing(report, row_count);
    if (row_count == 0) {
        stamp_records(subareas, stamp_request);
        write_gis_subarea_file(change != nullptr ? change->new_file(path) : path, subareas);
    }
    return {row_count, false};
}

}  // namespace velm
