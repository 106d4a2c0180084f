// Section II.D of the diagnostics report: the statistic blocks over the
// working tables of the extraction, then section II.E.
#include "diagnostics/statistics_report.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <deque>
#include <limits>
#include <map>
#include <numeric>
#include <string>

#include "diagnostics/health_check.h"

#include "records/hydrology_model_type.h"
#include "records/process_codes.h"
namespace velm {
namespace {

// ---------------------------------------------------------------------------
// Layouts of the section.

constexpr std::string_view STATISTICS_HEADING_FORMAT =
    "(A/4X,'II.D. MASTER PLAN OF DRAINAGE STATISTICAL ANALYSIS'/32X,'STUDY ID = [',A2,']'//5X,"
    "'1. Subarea SIZE (Acres)'/8X,'Total Number of Subareas = ',I4)";

constexpr std::string_view MAXIMUM_VALUE_FORMAT = "(8X,'Maximum Value = ',F8.2)";
constexpr std::string_view MINIMUM_VALUE_FORMAT = "(8X,'Minimum Value = ',F8.2)";
constexpr std::string_view HISTOGRAM_CAPTION_FORMAT =
    "(35X,'NUMBER'/14X,'Interval            of Values','        % of Total')";
constexpr std::string_view HISTOGRAM_INTERVAL_FORMAT = "(8X,'(',F8.2,',',F8.2,']',8X,I4,13X,F6.2,'%')";

constexpr std::string_view QUARTILE_BLOCK_FORMAT =
    "(/8X,'25th Percentile = ',F8.2/8X,'Median (50th Percentile) = ',F8.2/8X,'75th Percentile = ',F8.2/"
    "8X,'IQR = ',F8.2,' -',F8.2,' =',F8.2/8X,'PROGRAM ASSUMES OUTLIERS ARE OUTSIDE OF INTERVAL'/"
    "8X,'(median - 1.5*IQR, median + 1.5*IQR)'/8X,'= (',F10.3,',',F10.3,')'//8X,'ESTIMATED OUTLIERS ARE:'/"
    "9X,A)";
constexpr std::string_view NO_OUTLIERS_FORMAT = "(8X,'None')";

constexpr std::string_view INITIAL_AREA_NOT_ESTIMATED_FORMAT =
    "(/5X,'2. Initial Subarea Statistics'/6X,'2a. Area (Acres)'/8X,'Statistics NOT estimated! ')";
constexpr std::string_view INITIAL_AREA_HEADING_FORMAT =
    "(/5X,'2. Initial Subarea Statistics'/6X,'2a. Area (Acres)'/8X,'Total Number of Initial Subareas = ',I4)";
constexpr std::string_view TIME_OF_CONCENTRATION_HEADING_FORMAT =
    "(/6X,'2b. Time-of-Concentration (minutes) for Storm Event',' #',I2)";
constexpr std::string_view FLOWPATH_LENGTH_HEADING_FORMAT = "(/6X,'2c. Flowpath Length (feet)')";
constexpr std::string_view TRAVEL_TIME_NOT_ESTIMATED_FORMAT =
    "(/5X,'3. LINK Travel Times (minutes)'/8X,'Statistics NOT estimated! ')";
constexpr std::string_view TRAVEL_TIME_HEADING_FORMAT = "(/5X,'3. Link Travel Times (minutes) for Storm Event #',I2)";
constexpr std::string_view LINK_LENGTH_HEADING_FORMAT = "(/5X,'4. Link Lengths (feet)')";
constexpr std::string_view PEAK_FLOW_RATIO_HEADING_FORMAT = "(/5X,'5. Ratios of Computed Peak Flow:')";
constexpr std::string_view ONE_STORM_EVENT_FORMAT = "(/8X,'This Study Has Only ONE Storm Event!')";
constexpr std::string_view PEAK_FLOW_EVENT_HEADING_FORMAT = "(8X,'T1 = ',F4.0,' Year; T',I1,' = ',F4.0,' Year')";
constexpr std::string_view FLOW_AREA_RATIO_HEADING_FORMAT = "(/5X,'6. Flowrate vs. Total Tributary Area Ratios:')";
constexpr std::string_view FLOW_AREA_EVENT_HEADING_FORMAT =
    "(/8X,'Design Storm Event #',I2,', return frequency = ',F5.0,' years.')";

constexpr std::string_view SUBAREA_ROW_FORMAT = "(10X,F8.1,5X,F10.3)";
constexpr std::string_view LINK_ROW_FORMAT = "(8X,F8.1,4X,F8.1,8X,F8.2)";
constexpr std::string_view PEAK_FLOW_RATIO_ROW_FORMAT = "(8X,F8.1,4X,F8.1,5X,F8.2)";
constexpr std::string_view FLOW_AREA_RATIO_ROW_FORMAT = "(12X,F8.1,4X,F8.2)";

constexpr std::string_view ACREAGE_CAPTION = "SUBAREA ID       ACREAGE";
constexpr std::string_view TIME_OF_CONCENTRATION_CAPTION = "SUBAREA ID       Tc (min.)";
constexpr std::string_view FLOWPATH_LENGTH_CAPTION = "SUBAREA ID    Length(feet)";
constexpr std::string_view TRAVEL_TIME_CAPTION = "U/S Node    D/S Node      Travel Time(min.)";
constexpr std::string_view LINK_LENGTH_CAPTION = "U/S Node    D/S Node      Length (feet)";
constexpr std::string_view PEAK_FLOW_RATIO_CAPTION = "U/S Node    D/S Node      T1/T";
constexpr std::string_view FLOW_AREA_RATIO_CAPTION = "Subarea Number    Ratio";

std::size_t event_index(int event)
{
    return static_cast<std::size_t>(event - 1);
}

// ---------------------------------------------------------------------------
// Report records.

float finite_number(float value)
{
    if (std::isnan(value)) return 0.0f;
    if (std::isinf(value)) return value < 0.0f ? -std::numeric_limits<float>::max() : std::numeric_limits<float>::max();
    return value;
}

const Format& parsed_layout(std::string_view layout)
{
    static std::map<std::string, Format, std::less<>> cache;
    auto found = cache.find(layout);
    if (found == cache.end()) found = cache.emplace(std::string(layout), Format(layout)).first;
    return found->second;
}

// ---------------------------------------------------------------------------
// Statistic blocks.

// One row of a statistic's outlier table: the value it is sorted and judged
// on, whether the statistic may list it, and what its listing line shows.
struct OutlierRow {
    float value = 0.0f;
    bool listable = true;
    std::vector<FormatValue> shown;
};

// The histogram, the quartile block and the outliers of one statistic.
void write_statistic_block(TextWriter& report, std::vector<float> values, const std::vector<OutlierRow>& rows,
                           std::string_view caption, std::string_view row_layout)
{
    const Quartiles quartiles = write_histogram(report, values);
    const float iqr = quartiles.q3 - quartiles.q1;
    const float low = quartiles.median - OUTLIER_IQR_FACTOR * iqr;
    const float high = quartiles.median + OUTLIER_IQR_FACTOR * iqr;
    write_report_records(report, QUARTILE_BLOCK_FORMAT,
                         {quartiles.q1, quartiles.median, quartiles.q3, quartiles.q3, quartiles.q1, iqr, low, high,
                          std::string(caption)});

    std::vector<float> keys;
    keys.reserve(rows.size());
    for (const OutlierRow& row : rows) keys.push_back(row.value);
    bool listed = false;
    for (std::size_t index : exchange_sort_order(keys, SortOrder::Descending)) {
        const OutlierRow& row = rows[index];
        if (!row.listable || !(row.value < low || row.value > high)) continue;
        write_report_records(report, row_layout, row.shown);
        listed = true;
    }
    if (!listed) write_report_records(report, NO_OUTLIERS_FORMAT, {});
}

// Events that a statistic covers: the count of positive values of the first
// row that has any.
template <class Rows, class Values>
int events_of_first_timed_row(const Rows& rows, Values values_of)
{
    for (const auto& row : rows) {
        const auto& values = values_of(row);
        if (!values) continue;
        const int positive =
            static_cast<int>(std::count_if(values->begin(), values->end(), [](float value) { return value > 0.0f; }));
        if (positive > 0) return positive;
    }
    return 0;
}

// Statistics 1, 2a and 2b: the subareas.
void write_subarea_statistics(TextWriter& report, int model_type_code, std::string_view study_id,
                              const std::vector<SubareaStatisticsRecord>& subareas)
{
    write_report_records(report, STATISTICS_HEADING_FORMAT,
                         {std::string(PAGE_BREAK), std::string(study_id), static_cast<int>(subareas.size())});
    {
        std::vector<float> values;
        std::vector<OutlierRow> rows;
        for (const SubareaStatisticsRecord& subarea : subareas) {
            values.push_back(subarea.area);
            rows.push_back({subarea.area, true, {subarea.subarea_number, subarea.area}});
        }
        write_statistic_block(report, std::move(values), rows, ACREAGE_CAPTION, SUBAREA_ROW_FORMAT);
    }

    if (uses_packed_land_use(model_type_code)) {
        write_report_records(report, INITIAL_AREA_NOT_ESTIMATED_FORMAT, {});
    } else {
        std::vector<float> values;
        std::vector<OutlierRow> rows;
        for (const SubareaStatisticsRecord& subarea : subareas) {
            const bool initial = subarea.time_of_concentration[0] > 0.0f;
            if (initial) values.push_back(subarea.area);
            rows.push_back({subarea.area, initial, {subarea.subarea_number, subarea.area}});
        }
        write_report_records(report, INITIAL_AREA_HEADING_FORMAT, {static_cast<int>(values.size())});
        write_statistic_block(report, std::move(values), rows, ACREAGE_CAPTION, SUBAREA_ROW_FORMAT);
    }

    const int events = events_of_first_timed_row(
        subareas, [](const SubareaStatisticsRecord& subarea) { return &subarea.time_of_concentration; });
    for (int event = 1; event <= events; ++event) {
        write_report_records(report, TIME_OF_CONCENTRATION_HEADING_FORMAT, {event});
        std::vector<float> values;
        std::vector<OutlierRow> rows;
        for (const SubareaStatisticsRecord& subarea : subareas) {
            const float tc = subarea.time_of_concentration[event_index(event)];
            const bool timed = tc > 0.0f;
            if (timed) values.push_back(tc);
            rows.push_back({timed ? tc : 0.0f, timed, {subarea.subarea_number, tc}});
        }
        write_statistic_block(report, std::move(values), rows, TIME_OF_CONCENTRATION_CAPTION, SUBAREA_ROW_FORMAT);
    }
}

// Statistics 2c, 3, 4 and 5: the links.
void write_link_statistics(TextWriter& report, int model_type_code, const ReturnFrequencyList& frequencies,
                           const std::vector<LinkStatisticsRecord>& links)
{
    write_report_records(report, FLOWPATH_LENGTH_HEADING_FORMAT, {});
    {
        std::vector<float> values;
        std::vector<OutlierRow> rows;
        for (const LinkStatisticsRecord& link : links) {
            const bool initial = is_initial_subarea_code(link.process_code);
            if (initial) values.push_back(link.length);
            rows.push_back({link.length, initial, {link.downstream_node, link.length}});
        }
        write_statistic_block(report, std::move(values), rows, FLOWPATH_LENGTH_CAPTION, SUBAREA_ROW_FORMAT);
    }

    if (uses_packed_land_use(model_type_code)) {
        write_report_records(report, TRAVEL_TIME_NOT_ESTIMATED_FORMAT, {});
    } else {
        const int events = events_of_first_timed_row(links, [](const LinkStatisticsRecord& link) {
            return is_initial_subarea_code(link.process_code) ? nullptr : &link.travel_time;
        });
        for (int event = 1; event <= events; ++event) {
            write_report_records(report, TRAVEL_TIME_HEADING_FORMAT, {event});
            std::vector<float> values;
            std::vector<OutlierRow> rows;
            for (const LinkStatisticsRecord& link : links) {
                const float time = link.travel_time[event_index(event)];
                const float counted = time > 0.0f ? time : 0.0f;
                const bool conveyance = !is_initial_subarea_code(link.process_code);
                if (conveyance) values.push_back(counted);
                rows.push_back({counted, conveyance, {link.upstream_node, link.downstream_node, counted}});
            }
            write_statistic_block(report, std::move(values), rows, TRAVEL_TIME_CAPTION, LINK_ROW_FORMAT);
        }
    }

    write_report_records(report, LINK_LENGTH_HEADING_FORMAT, {});
    {
        std::vector<float> values;
        std::vector<OutlierRow> rows;
        for (const LinkStatisticsRecord& link : links) {
            values.push_back(link.length);
            rows.push_back({link.length, true, {link.upstream_node, link.downstream_node, link.length}});
        }
        write_statistic_block(report, std::move(values), rows, LINK_LENGTH_CAPTION, LINK_ROW_FORMAT);
    }

    write_report_records(report, PEAK_FLOW_RATIO_HEADING_FORMAT, {});
    if (frequencies[1] == 0.0f) {
        write_report_records(report, ONE_STORM_EVENT_FORMAT, {});
        return;
    }
    for (int event = 2; event <= STORM_EVENTS; ++event) {
        if (frequencies[event_index(event)] == 0.0f) break;
        write_report_records(report, PEAK_FLOW_EVENT_HEADING_FORMAT,
                             {frequencies[0], event, frequencies[event_index(event)]});
        std::vector<float> values;
        std::vector<OutlierRow> rows;
        for (const LinkStatisticsRecord& link : links) {
            const float flow = link.peak_flow[event_index(event)];
            if (flow == 0.0f) continue;
            const float ratio = link.peak_flow[0] / flow;
            values.push_back(ratio);
            rows.push_back({ratio, ratio != 0.0f, {link.upstream_node, link.downstream_node, ratio}});
        }
        const std::string caption = std::string(PEAK_FLOW_RATIO_CAPTION) + static_cast<char>('0' + event);
        write_statistic_block(report, std::move(values), rows, caption, PEAK_FLOW_RATIO_ROW_FORMAT);
    }
}

// Statistic 6: the nodes.
void write_node_statistics(TextWriter& report, const ReturnFrequencyList& frequencies,
                           const std::vector<NodeStatisticsRecord>& nodes)
{
    write_report_records(report, FLOW_AREA_RATIO_HEADING_FORMAT, {});
    for (int event = 1; event <= STORM_EVENTS; ++event) {
        if (frequencies[event_index(event)] == 0.0f) continue;
        write_report_records(report, FLOW_AREA_EVENT_HEADING_FORMAT, {event, frequencies[event_index(event)]});
        std::vector<float> values;
        std::vector<OutlierRow> rows;
        for (const NodeStatisticsRecord& node : nodes) {
            const float ratio = node.flow_area_ratio[event_index(event)];
            values.push_back(ratio);
            rows.push_back({ratio, true, {node.node_number, ratio}});
        }
        write_statistic_block(report, std::move(values), rows, FLOW_AREA_RATIO_CAPTION, FLOW_AREA_RATIO_ROW_FORMAT);
    }
}

}  // namespace

void write_report_records(TextWriter& report, std::string_view layout, std::vector<FormatValue> values)
{
    for (FormatValue& value : values)
        if (float* number = std::get_if<float>(&value)) *number = finite_number(*number);
    for (const std::string& record : parsed_layout(layout).write(values)) report.write_line(record);
}

Quartiles quartiles_of(const std::vector<float>& sorted_values)
{
    const int n = static_cast<int>(sorted_values.size());
    if (n == 0) return {};
    auto value = [&](int position) { return sorted_values[static_cast<std::size_t>(position - 1)]; };
    // Positions beyond the list (the 75th percentile of one or two values)
    // take the last value; positions before it the first.
    auto percentile = [&](float position) {
        if (position >= static_cast<float>(n)) return value(n);
        const float fraction = std::fmod(position, 1.0f);
        const int whole = static_cast<int>(position);
        if (fraction == 0.0f) return value(whole);
        if (whole < 1) return value(1);
        return (1.0f - fraction) * value(whole) + fraction * value(whole + 1);
    };
    Quartiles quartiles;
    quartiles.median = n % 2 == 0 ? (value(n / 2) + value(n / 2 + 1)) * 0.5f : value(n / 2 + 1);
    quartiles.q1 = percentile(static_cast<float>(n + 1) * 0.25f);
    quartiles.q3 = percentile(static_cast<float>(n + 1) * 0.75f);
    return quartiles;
}

Quartiles write_histogram(TextWriter& report, std::vector<float>& values)
{
    const std::size_t n = values.size();
    // Taken from the values themselves, so that no list stays at a starting
    // guess; an empty list shows zeros.
    float maximum = 0.0f;
    float minimum = 0.0f;
    if (n > 0) {
        maximum = values[0];
        minimum = values[0];
        for (float value : values) {
            if (value > maximum) maximum = value;
            if (value < minimum) minimum = value;
        }
    }
    std::vector<float> sorted;
    sorted.reserve(n);
    for (std::size_t index : exchange_sort_order(values, SortOrder::Ascending)) sorted.push_back(values[index]);
    values = std::move(sorted);

    const float width = (maximum - minimum) / 10.0f;
    std::array<float, HISTOGRAM_INTERVAL_COUNT + 1> bounds{};
    bounds[0] = minimum - HISTOGRAM_EDGE_MARGIN;
    bounds[1] = minimum + width;
    for (int k = 2; k < HISTOGRAM_INTERVAL_COUNT; ++k) bounds[k] = bounds[k - 1] + width;
    bounds[HISTOGRAM_INTERVAL_COUNT] = maximum + HISTOGRAM_EDGE_MARGIN;

    std::array<int, HISTOGRAM_INTERVAL_COUNT + 1> counts{};  // 1-based
    for (float value : values) {
        int interval = HISTOGRAM_INTERVAL_COUNT;
        for (int k = 1; k < HISTOGRAM_INTERVAL_COUNT; ++k) {
            if (value <= bounds[k]) {
                interval = k;
                break;
            }
        }
        ++counts[interval];
    }

    write_report_records(report, MAXIMUM_VALUE_FORMAT, {maximum});
    write_report_records(report, MINIMUM_VALUE_FORMAT, {minimum});
    write_report_records(report, HISTOGRAM_CAPTION_FORMAT, {});
    for (int k = 1; k <= HISTOGRAM_INTERVAL_COUNT; ++k) {
        const float percent = n == 0 ? 0.0f : static_cast<float>(counts[k]) / static_cast<float>(n) * 100.0f;
        write_report_records(report, HISTOGRAM_INTERVAL_FORMAT, {bounds[k - 1], bounds[k], counts[k], percent});
    }
    return quartiles_of(values);
}

void write_statistics_report(TextWriter& report, int model_type_code, std::string_view study_id,
                             const ReturnFrequencyList& return_frequencies, StatisticsWorkingFiles tables)
{
    write_subarea_statistics(report, model_type_code, study_id, tables.subareas);
    write_link_statistics(report, model_type_code, return_frequencies, tables.links);
    write_node_statistics(report, return_frequencies, tables.nodes);
    write_health_check(report, model_type_code, std::move(tables.results));
}

}  // namespace velm
