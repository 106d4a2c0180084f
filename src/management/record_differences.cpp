#include "management/record_differences.h"

#include <cmath>

#include "management/subset_data_bases.h"
#include "records/format.h"
#include "records/link_data_base.h"
#include "records/node_data_base.h"
#include "records/subarea_data_base.h"

namespace velm {

namespace {

constexpr int LINK_STORM_EVENT_COLUMN = 91;

float difference_value(const NodeRecord& record, int column)
{
    return node_subset_value(record, column);
}

float difference_value(const SubareaRecord& record, int column)
{
    return column == SUBAREA_TEXT_COLUMN ? 0.0f : record.number(column);
}

// Column 91 is compared as the storm event number it holds.
float difference_value(const LinkRecord& record, int column)
{
    static const ReturnFrequencyTable no_frequencies{};
    if (column == LINK_STORM_EVENT_COLUMN) return record.number(column);
    return link_subset_value(record, column, no_frequencies);
}

float cost_opinion(const LinkRecord& record)
{
    return record.unit_cost_opinion() * record.link_length();
}

// Every value of an entry or the column-number line stands in its own
// 13-character field (the trailing blanks of a field included).
std::string value_field(std::string text)
{
    text.resize(DIFFERENCES_FIELD_WIDTH, ' ');
    return text;
}

std::string row_line(std::string_view layout, const DifferenceValues& values, int first, int count)
{
    static const Format baseline_format(DIFFERENCES_BASELINE_VALUE_FORMAT);
    static const Format value_format(DIFFERENCES_VALUE_FORMAT);
    const Format& format = layout == DIFFERENCES_BASELINE_VALUE_FORMAT ? baseline_format : value_format;
    std::string line;
    for (int i = first; i < first + count; ++i) line += value_field(format.line({values[static_cast<std::size_t>(i)]}));
    return line;
}

template <class Record>
void write_differences(const SubsetFieldList& list, FreeFormReader& scenario, FreeFormReader& baseline,
                       DifferencesPass& pass, std::vector<std::string>& differences, DataBaseKind kind)
{
    const int key_positions = kind == DataBaseKind::LinkKind ? 2 : 1;
    const bool one_line_rows = kind == DataBaseKind::SubareaKind;
    const bool links = kind == DataBaseKind::LinkKind;
    const bool sum_costs =
        links && pass.report_option != DifferencesReportOption::SkipReport && subset_leading_fields(list) > 0;
    bool baseline_ended = false;
    while (std::optional<Record> record = read_record<Record>(scenario)) {
        if constexpr (std::is_same_v<Record, LinkRecord>) {
            if (sum_costs) pass.scenario_cost += cost_opinion(*record);
        }
        if (baseline_ended) continue;
        std::optional<Record> base = read_record<Record>(baseline);
        if (!base) {
            baseline_ended = true;
            continue;
        }
        if constexpr (std::is_same_v<Record, LinkRecord>) {
            if (sum_costs) pass.baseline_cost += cost_opinion(*base);
        }
        const DifferenceValues s = selected_values(*record, list);
        const DifferenceValues b = selected_values(*base, list);
        const DifferenceValues d = record_differences(s, b, pass.tolerance, key_positions);
        if (!record_changed(d, key_positions)) continue;
        pass.changed[SubsetFieldMap::index(kind)] = true;
        if (pass.report_option == DifferencesReportOption::CostChangeOnly) continue;
        for (std::string& line : differences_entry_lines(b, s, d, one_line_rows))
            differences.push_back(std::move(line));
    }
}

}  // namespace

template <class Record>
DifferenceValues selected_values(const Record& record, const SubsetFieldList& list)
{
    DifferenceValues values{};
    const int leading = subset_leading_fields(list);
    for (int i = 0; i < leading; ++i) {
        values[static_cast<std::size_t>(i)] = difference_value(record, list[static_cast<std::size_t>(i)]);
    }
    return values;
}
template DifferenceValues selected_values(const NodeRecord&, const SubsetFieldList&);
template DifferenceValues selected_values(const SubareaRecord&, const SubsetFieldList&);
template DifferenceValues selected_values(const LinkRecord&, const SubsetFieldList&);

DifferenceValues record_differences(const DifferenceValues& scenario, const DifferenceValues& baseline, float tolerance,
                                    int key_positions)
{
    DifferenceValues differences{};
    for (std::size_t i = 0; i < differences.size(); ++i) {
        if (static_cast<int>(i) < key_positions) {
            differences[i] = scenario[i];
            continue;
        }
        const float d = scenario[i] - baseline[i];
        if (std::fabs(d) <= DIFFERENCE_FLOOR) continue;
        const float relative =
            baseline[i] != 0.0f ? std::fabs(d) / std::fabs(baseline[i]) : std::fabs(d) / std::fabs(scenario[i]);
        if (relative >= tolerance) differences[i] = d;
    }
    return differences;
}

bool record_changed(const DifferenceValues& differences, int key_positions)
{
    for (std::size_t i = static_cast<std::size_t>(key_positions); i < differences.size(); ++i) {
        if (differences[i] != 0.0f) return true;
    }
    return false;
}

std::string differences_column_number_line(const SubsetFieldList& list)
{
    static const Format number_format(DIFFERENCES_COLUMN_NUMBER_FORMAT);
    const int leading = subset_leading_fields(list);
    std::string line;
    for (int i = 0; i < MAX_SUBSET_FIELDS; ++i) {
        line += value_field(number_format.line({i < leading ? list[static_cast<std::size_t>(i)] : 0}));
    }
    return line;
}

std::vector<std::string> differences_entry_lines(const DifferenceValues& baseline, const DifferenceValues& scenario,
                                                 const DifferenceValues& differences, bool one_line_rows)
{
    constexpr int half = DIFFERENCES_VALUES_PER_LINE;
    std::vector<std::string> lines;
    lines.push_back(row_line(DIFFERENCES_BASELINE_VALUE_FORMAT, baseline, 0, half));
    lines.push_back(row_line(DIFFERENCES_BASELINE_VALUE_FORMAT, baseline, half, half));
    for (const DifferenceValues* row : {&scenario, &differences}) {
        if (one_line_rows) {
            lines.push_back(row_line(DIFFERENCES_VALUE_FORMAT, *row, 0, MAX_SUBSET_FIELDS));
        } else {
            lines.push_back(row_line(DIFFERENCES_VALUE_FORMAT, *row, 0, half));
            lines.push_back(row_line(DIFFERENCES_VALUE_FORMAT, *row, half, half));
        }
    }
    lines.emplace_back(DIFFERENCES_ENTRY_SEPARATOR);
    return lines;
}

void write_node_differences(const SubsetFieldList& list, FreeFormReader& scenario, FreeFormReader& baseline,
                            DifferencesPass& pass, std::vector<std::string>& differences)
{
    write_differences<NodeRecord>(list, scenario, baseline, pass, differences, DataBaseKind::NodeKind);
}

void write_subarea_differences(const SubsetFieldList& list, FreeFormReader& scenario, FreeFormReader& baseline,
                               DifferencesPass& pass, std::vector<std::string>& differences)
{
    write_differences<SubareaRecord>(list, scenario, baseline, pass, differences, DataBaseKind::SubareaKind);
}

void write_link_differences(const SubsetFieldList& list, FreeFormReader& scenario, FreeFormReader& baseline,
                            DifferencesPass& pass, std::vector<std::string>& differences)
{
    write_differences<LinkRecord>(list, scenario, baseline, pass, differences, DataBaseKind::LinkKind);
}

void add_unpaired_baseline_link_costs(const SubsetFieldList& list, FreeFormReader& baseline, DifferencesPass& pass)
{
    if (pass.report_option == DifferencesReportOption::SkipReport || subset_leading_fields(list) == 0) return;
    while (std::optional<LinkRecord> record = read_record<LinkRecord>(baseline)) {
        pass.baseline_cost += cost_opinion(*record);
    }
}

}  // namespace velm
