// Section II.E of the diagnostics report: the subarea-area check and the
// travel-time checks over the model results of the whole study.
#include "diagnostics/health_check.h"

#include <string_view>

#include "diagnostics/statistics_report.h"

#include "records/hydrology_model_type.h"
namespace velm {
namespace {

constexpr std::string_view AREA_CHECK_HEADING_FORMAT =
    "(A/4X,'II.E. MASTER PLAN OF DRAINAGE HEALTH CHECK'/5X,'1. The following links have subarea-added AREA "
    "that is'/8X,'equal to or greater than 35% of the mainline',' tributary area:'/17X,'Link ID           "
    "Mainline    Subarea'/12X,'U/S Node   D/S Node      Area        Area       Sum',7X,'Ratio')";
constexpr std::string_view AREA_CHECK_ROW_FORMAT = "(10X,F9.2,3X,F9.2,3X,F10.2,2X,F9.2,2X,F10.2,2X,F6.2)";

constexpr std::string_view TRAVEL_TIME_CHECK_2A_HEADING_FORMAT =
    "(/5X,'2a. The following links have estimated flow runoff TRAVEL'/9X,'TIMES greater than 3 minutes, AND "
    "time-of-concentration'/9X,'values less than 30 minutes:'/17X,' Link ID           Travel    Estimated "
    "Tc'/12X,'U/S Node   D/S Node     Time      at U/S Node')";
constexpr std::string_view TRAVEL_TIME_CHECK_2B_HEADING_FORMAT =
    "(/5X,'2b. The following links have estimated flow runoff TRAVEL'/9X,'TIMES greater than 5 minutes, AND "
    "time-of-concentration'/9X,'values less than 60 minutes:'/17X,' Link ID           Travel    Estimated "
    "Tc'/12X,'U/S Node   D/S Node     Time      at U/S Node')";
constexpr std::string_view TRAVEL_TIME_CHECK_2C_HEADING_FORMAT =
    "(/5X,'2c. The following links have estimated flow runoff TRAVEL'/9X,'TIMES greater than 10 minutes, AND "
    "time-of-concentration'/9X,'values greater than or equal to 60 minutes:'/17X,' Link ID           Travel    "
    "Estimated Tc'/12X,'U/S Node   D/S Node     Time      at U/S Node')";
constexpr std::string_view TRAVEL_TIME_CHECK_ROW_FORMAT = "(10X,F9.2,3X,F9.2,3X,F10.2,2X,F9.2)";

constexpr std::string_view NONE_FORMAT = "(8X,'None')";
constexpr std::string_view NONE_OF_CHECK_2C_FORMAT = "(28X,'** None **')";

constexpr int ADDED_SUBAREA_CODE = 82;  // the area check's only code in types 6 and 9
constexpr int SUBAREA_AT_NODE_CODE = 81;

struct ResultRow {
    ResultStatisticsRecord record;
    float ratio = 0.0f;

    float estimated_upstream_tc() const { return record.downstream_tc - record.travel_time; }
};

// A travel-time check: travel time above a limit with an estimated Tc at the
// upstream node below (or at least) a bound.
struct TravelTimeCheck {
    std::string_view heading;
    float travel_time_above;  // minutes
    float tc_bound;           // minutes
    bool tc_at_least;         // true: Tc >= bound; false: Tc < bound
    std::string_view none;
};

constexpr TravelTimeCheck TRAVEL_TIME_CHECKS[] = {
    {TRAVEL_TIME_CHECK_2A_HEADING_FORMAT, 3.0f, 30.0f, false, NONE_FORMAT},
    {TRAVEL_TIME_CHECK_2B_HEADING_FORMAT, 5.0f, 60.0f, false, NONE_FORMAT},
    {TRAVEL_TIME_CHECK_2C_HEADING_FORMAT, 10.0f, 60.0f, true, NONE_OF_CHECK_2C_FORMAT},
};

std::vector<ResultRow> sorted_descending(const std::vector<ResultRow>& rows, float (*key)(const ResultRow&))
{
    std::vector<float> keys;
    keys.reserve(rows.size());
    for (const ResultRow& row : rows) keys.push_back(key(row));
    std::vector<ResultRow> sorted;
    sorted.reserve(rows.size());
    for (std::size_t index : exchange_sort_order(keys, SortOrder::Descending)) sorted.push_back(rows[index]);
    return sorted;
}

}  // namespace

float subarea_area_ratio(const ResultStatisticsRecord& row, int model_type_code)
{
    const int code = static_cast<int>(row.process_code);
    // Conduits and channels whose added area is routed along the reach (31,
    // 36, 41, 42, 46 to 59) are left out; in Los Angeles County and region
    // studies only subareas added at a node are looked at.
    const bool covered_code = code == ADDED_SUBAREA_CODE ||
                              (!uses_packed_land_use(model_type_code) && !uses_region_files(model_type_code) &&
                               (code <= 45 || code >= 60) && code != 31 && code != 36 && code != 41 && code != 42);
    if (!(row.subarea_area > 0.0f) || !covered_code) return 0.0f;
    const float mainline = row.total_area - row.subarea_area;
    return mainline > 0.0f ? row.subarea_area / mainline : 0.0f;
}

void write_health_check(TextWriter& report, int model_type_code, std::vector<ResultStatisticsRecord> records)
{
    std::vector<ResultRow> rows;
    rows.reserve(records.size());
    for (const ResultStatisticsRecord& record : records)
        rows.push_back({record, subarea_area_ratio(record, model_type_code)});

    write_report_records(report, AREA_CHECK_HEADING_FORMAT, {std::string(PAGE_BREAK)});
    rows = sorted_descending(rows, [](const ResultRow& row) { return row.ratio; });
    bool listed = false;
    for (const ResultRow& row : rows) {
        if (!(row.ratio >= SUBAREA_AREA_RATIO_LIMIT)) continue;
        const ResultStatisticsRecord& r = row.record;
        write_report_records(report, AREA_CHECK_ROW_FORMAT,
                             {r.upstream_node, r.downstream_node, r.total_area - r.subarea_area, r.subarea_area,
                              r.total_area, row.ratio});
        listed = true;
    }
    if (!listed) write_report_records(report, NONE_FORMAT, {});

    if (uses_packed_land_use(model_type_code)) return;

    rows = sorted_descending(rows, [](const ResultRow& row) { return row.record.travel_time; });
    for (const TravelTimeCheck& check : TRAVEL_TIME_CHECKS) {
        write_report_records(report, check.heading, {});
        listed = false;
        for (const ResultRow& row : rows) {
            if (static_cast<int>(row.record.process_code) == SUBAREA_AT_NODE_CODE) continue;
            const float tc = row.estimated_upstream_tc();
            const bool tc_meets = check.tc_at_least ? tc >= check.tc_bound : tc < check.tc_bound;
            if (!(row.record.travel_time > check.travel_time_above && tc_meets)) continue;
            write_report_records(report, TRAVEL_TIME_CHECK_ROW_FORMAT,
                                 {row.record.upstream_node, row.record.downstream_node, row.record.travel_time, tc});
            listed = true;
        }
        if (!listed) write_report_records(report, check.none, {});
    }
}

}  // namespace velm
