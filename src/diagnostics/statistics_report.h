// Section II.D of the diagnostics report, "MASTER PLAN OF DRAINAGE
// STATISTICAL ANALYSIS": the distribution of subarea sizes, initial subarea
// areas, times of concentration and flowpath lengths, link travel times and
// lengths, peak flow ratios between storm events and node flow per unit of
// tributary area over the whole study.  Each distribution is shown the same
// way: maximum and minimum, a histogram of ten equal intervals, the quartiles
// and interquartile range, the outlier interval (median - 1.5 IQR,
// median + 1.5 IQR) and the elements whose value lies outside it.
#pragma once

#include "diagnostics/table_sort.h"

#include <string_view>
#include <vector>

#include "diagnostics/statistics_extraction.h"
#include "platform/text_file.h"
#include "records/format.h"

namespace velm {

inline constexpr int HISTOGRAM_INTERVAL_COUNT = 10;
inline constexpr float HISTOGRAM_EDGE_MARGIN = 0.01f;
inline constexpr float OUTLIER_IQR_FACTOR = 1.5f;

// Writes sections II.D and II.E to the report (open for appending) from the
// working tables of the extraction.
void write_statistics_report(TextWriter& report, int model_type_code, std::string_view study_id,
                             const ReturnFrequencyList& return_frequencies, StatisticsWorkingFiles tables);

struct Quartiles {
    float q1 = 0.0f;      // 25th percentile
    float median = 0.0f;  // 50th percentile
    float q3 = 0.0f;      // 75th percentile
};

// The histogram block of a value list: maximum, minimum and the ten
// intervals with their counts and percentages.  Sorts the values ascending
// and returns their quartiles.  An empty list shows zeros throughout.
Quartiles write_histogram(TextWriter& report, std::vector<float>& values);

// The quartiles of values sorted ascending.  A percentile's position is
// interpolated between its neighbours and kept within the list; an empty
// list gives zeros.
Quartiles quartiles_of(const std::vector<float>& sorted_values);

// The report's tables are ordered by the one exchange sort of the report
// tables (diagnostics/table_sort.h: exchange_sort_order).
using SortOrder = TableSortOrder;

// Writes the records of a report layout with these values.  Every field
// keeps its width, so that each line keeps its columns for the report
// comparison: a number too wide for its field is the field's run of
// asterisks, as everywhere in the report.  NaN is written as 0 and an
// infinity as the largest float of its sign (asterisks).
void write_report_records(TextWriter& report, std::string_view layout, std::vector<FormatValue> values);

}  // namespace velm
