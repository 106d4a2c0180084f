// The differences of the scenario's map data bases from the baseline data
// bases, record by record, for the columns of the subset specification: one
// differences entry for every record of which a selected value changed by
// more than the tolerance.  Records are paired by position: the n-th record
// of the scenario's maps, in model-list order, with the n-th record of the
// baseline file of its kind, as the scenario module wrote it.
//
// An entry shows the baseline values in parentheses, the scenario values
// beneath and the differences last, 13 characters a value; node and link
// rows hold 30 values a line (two lines), subarea scenario and difference
// rows all 60 on one line.  The link pass also sums the cost opinion
// (column 136 times column 8) of every scenario and every baseline link.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "management/subset_field_map.h"
#include "platform/text_file.h"
#include "records/free_form.h"

namespace velm {

enum class DifferencesReportOption : int { SkipReport = 1, CostChangeOnly = 2, FullReport = 3 };

inline constexpr float ONE_PERCENT_TOLERANCE = 0.01f;
inline constexpr float TENTH_PERCENT_TOLERANCE = 0.001f;
inline constexpr float DIFFERENCE_FLOOR = 0.001f;  // smaller changes are round-off

inline constexpr std::string_view DIFFERENCES_BASELINE_VALUE_FORMAT = "('(',F11.4,')')";
inline constexpr std::string_view DIFFERENCES_VALUE_FORMAT = "(1X,F11.4,1X)";
inline constexpr std::string_view DIFFERENCES_COLUMN_NUMBER_FORMAT = "(7X,I3,3X)";
inline constexpr std::string_view DIFFERENCES_ENTRY_SEPARATOR = "  ";
inline constexpr int DIFFERENCES_VALUES_PER_LINE = 30;
inline constexpr std::size_t DIFFERENCES_FIELD_WIDTH = 13;

using DifferenceValues = std::array<float, MAX_SUBSET_FIELDS>;

// The values of positions 1..60 of a record for the kind's list: the
// selected columns up to the first empty entry (text columns as 0, node
// columns 606-635 times 100, link columns 23-27 as 0 for process codes 36
// and 56), 0 from there on.
template <class Record>
DifferenceValues selected_values(const Record& record, const SubsetFieldList& list);

// D of each position: the scenario value at the key positions (1, and 2 for
// links); elsewhere the change S - B when it is above the floor and its
// relative size (against B, or S when B is 0) reaches the tolerance, else 0.
DifferenceValues record_differences(const DifferenceValues& scenario, const DifferenceValues& baseline, float tolerance,
                                    int key_positions);
bool record_changed(const DifferenceValues& differences, int key_positions);

// The column-number line: the 60 entries of the list up to its first empty
// one, each over its values, 0 from there on.
std::string differences_column_number_line(const SubsetFieldList& list);

// The lines of one entry.
std::vector<std::string> differences_entry_lines(const DifferenceValues& baseline, const DifferenceValues& scenario,
                                                 const DifferenceValues& differences, bool one_line_rows);

// What a pass has found, kept by the caller from map to map.
struct DifferencesPass {
    float tolerance = TENTH_PERCENT_TOLERANCE;
    DifferencesReportOption report_option = DifferencesReportOption::SkipReport;
    std::array<bool, DATA_BASE_KINDS> changed{};
    float scenario_cost = 0.0f;  // dollars, every scenario link
    float baseline_cost = 0.0f;  // dollars, every baseline link
};

// One map of one kind: reads the scenario records to their end and the
// baseline records in step, and appends the entries of changed records to
// the kind's differences lines.  The link writer also sums the costs.
void write_node_differences(const SubsetFieldList& list, FreeFormReader& scenario, FreeFormReader& baseline,
                            DifferencesPass& pass, std::vector<std::string>& differences);
void write_subarea_differences(const SubsetFieldList& list, FreeFormReader& scenario, FreeFormReader& baseline,
                               DifferencesPass& pass, std::vector<std::string>& differences);
void write_link_differences(const SubsetFieldList& list, FreeFormReader& scenario, FreeFormReader& baseline,
                            DifferencesPass& pass, std::vector<std::string>& differences);
// After the last map: the cost of the baseline links that no scenario link
// was paired with.
void add_unpaired_baseline_link_costs(const SubsetFieldList& list, FreeFormReader& baseline, DifferencesPass& pass);

}  // namespace velm
