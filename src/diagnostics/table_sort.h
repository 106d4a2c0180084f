// The exchange sort of the report tables (the slopes of the link checks, the
// outlier tables of the statistics).  Its order of comparisons decides where
// rows with equal keys end up, and that order shows in the reports, so it is
// kept exactly rather than replaced by a faster sort.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace velm {

// A row of up to four columns; the columns a table does not use stay 0.
using TableRow = std::array<float, 4>;

enum class TableSortOrder { Ascending, Descending };

// Sorts the rows in place on column `key_column` (1 to 4); every column
// moves with its row.  For j = 2..n and, for each j, i = 1..j-1 in order,
// rows i and j are exchanged when the key of row j is below (ascending) or
// above (descending) the key of row i.  Equal keys are never exchanged, yet
// they do not keep their order: rows read with keys 0.5, 0.5, 0.1 come out
// as the third, the second, the first.
void sort_table_rows(std::vector<TableRow>& rows, int key_column, TableSortOrder order);

// The same sort over a column of keys alone: the row numbers (0-based) in the
// order the sort leaves the rows.
std::vector<std::size_t> exchange_sort_order(const std::vector<float>& keys, TableSortOrder order);

}  // namespace velm
