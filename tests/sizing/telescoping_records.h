// Link records for the telescoping tests, given by their columns.
#pragma once

#include <initializer_list>
#include <utility>

#include "records/link_data_base.h"

namespace velm::test {

// Sets any numeric column of a record, the whole-number columns included.
inline void set_column(LinkRecord& record, int column, float value)
{
    if (LinkRecord::kind(column) == ColumnKind::Integer) {
        record.integer_column(column) = static_cast<int>(value);
    } else {
        record.column(column) = value;
    }
}

// A link from `upstream` to `downstream` with the given (column, value) pairs.
inline LinkRecord link_with(float upstream, float downstream, std::initializer_list<std::pair<int, float>> columns)
{
    LinkRecord record;
    record.upstream_node() = upstream;
    record.downstream_node() = downstream;
    for (const auto& [column, value] : columns) set_column(record, column, value);
    return record;
}

}  // namespace velm::test
