#include "management/subset_data_bases.h"

#include <cmath>
#include <vector>

#include "records/format.h"
#include "records/node_data_base.h"
#include "records/subarea_data_base.h"

namespace velm {

namespace {

// Node columns kept in hundredths in the data base.
constexpr int NODE_PERCENT_FIRST_COLUMN = 606;
constexpr int NODE_PERCENT_LAST_COLUMN = 635;
constexpr float NODE_PERCENT_FACTOR = 100.0f;

constexpr int LINK_STORM_EVENT_COLUMN = 91;
constexpr int LINK_ELEMENT_FIRST_COLUMN = 23;
constexpr int LINK_ELEMENT_LAST_COLUMN = 27;

// Links whose as-built element columns do not describe a conveyance element.
bool element_columns_unused(int process_code)
{
    return process_code == 36 || process_code == 56;
}

// Land-use and soil codes of the six land-use cells: columns 114 and 115,
// 118 and 119, ... 134 and 135.
bool is_land_use_code_column(int column)
{
    return column >= 114 && column <= 135 && (column - 114) % 4 < 2;
}

// One row: for fields 1 to n the value of the field's column, up to the
// first field without a column; 0 for the fields from there on.
template <class ValueOf>
std::string subset_row(const SubsetFieldList& list, ValueOf value_of)
{
    static const Format value_format(SUBSET_VALUE_FORMAT);
    const int n = subset_field_count(list);
    const int leading = subset_leading_fields(list);
    std::string row;
    row.reserve(static_cast<std::size_t>(n) * 13);
    for (int j = 0; j < n; ++j) {
        const float value = j < leading ? value_of(list[static_cast<std::size_t>(j)]) : 0.0f;
        row += value_format.line({value});
    }
    return row;
}

template <class Record, class ValueOf>
void write_subset(int map_index, const SubsetFieldList& list, FreeFormReader& data_base, TextWriter& subset,
                  ValueOf value_of)
{
    if (map_index == 1) subset.write_line(subset_header_line(list));
    while (std::optional<Record> record = read_record<Record>(data_base)) {
        subset.write_line(subset_row(list, [&](int column) { return value_of(*record, column); }));
    }
}

}  // namespace

float node_subset_value(const NodeRecord& record, int column)
{
    if (column < 1 || column == NODE_TEXT_COLUMN) return 0.0f;
    float value = record.number(column);
    if (column >= NODE_PERCENT_FIRST_COLUMN && column <= NODE_PERCENT_LAST_COLUMN) value *= NODE_PERCENT_FACTOR;
    return value;
}

float subarea_subset_value(const SubareaRecord& record, int column)
{
    if (column < 1 || column == SUBAREA_TEXT_COLUMN) return 0.0f;
    const float value = record.number(column);
    return is_land_use_code_column(column) ? std::trunc(value) : value;
}

float link_subset_value(const LinkRecord& record, int column, const ReturnFrequencyTable& return_frequencies)
{
    if (column < 1 || column == LINK_ID_COLUMN) return 0.0f;
    if (element_columns_unused(record.process_code()) && column >= LINK_ELEMENT_FIRST_COLUMN &&
        column <= LINK_ELEMENT_LAST_COLUMN) {
        return 0.0f;
    }
    if (column == LINK_STORM_EVENT_COLUMN) {
        // The storm event of the link's largest deficiency, 1 to 6; none (0)
        // has no return frequency.
        const int event = record.max_deficiency_event();
        if (event < 1 || event > STORM_EVENTS) return 0.0f;
        return static_cast<float>(return_frequencies[static_cast<std::size_t>(event - 1)]);
    }
    return record.number(column);
}

std::string subset_header_line(const SubsetFieldList& list)
{
    static const Format field_format(SUBSET_HEADER_FIELD_FORMAT);
    const int n = subset_field_count(list);
    std::string header;
    for (int j = 0; j < n; ++j) {
        if (j > 0) header += SUBSET_HEADER_FIELD_SEPARATOR;
        header += field_format.line({list[static_cast<std::size_t>(j)]});
    }
    return header;
}

void write_node_subset(int map_index, const SubsetFieldList& list, FreeFormReader& data_base, TextWriter& subset)
{
    write_subset<NodeRecord>(map_index, list, data_base, subset, node_subset_value);
}

void write_subarea_subset(int map_index, const SubsetFieldList& list, FreeFormReader& data_base, TextWriter& subset)
{
    write_subset<SubareaRecord>(map_index, list, data_base, subset, subarea_subset_value);
}

void write_link_subset(int map_index, const SubsetFieldList& list, const ReturnFrequencyTable& return_frequencies,
                       FreeFormReader& data_base, TextWriter& subset)
{
    write_subset<LinkRecord>(map_index, list, data_base, subset, [&](const LinkRecord& record, int column) {
        return link_subset_value(record, column, return_frequencies);
    });
}

}  // namespace velm
