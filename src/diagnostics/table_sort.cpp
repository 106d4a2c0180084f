#include "diagnostics/table_sort.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace velm {

void sort_table_rows(std::vector<TableRow>& rows, int key_column, TableSortOrder order) {
    if (key_column < 1 || key_column > static_cast<int>(TableRow{}.size()))
        throw std::invalid_argument("no table column " + std::to_string(key_column));
    const std::size_t key = static_cast<std::size_t>(key_column - 1);
    const bool ascending = order == TableSortOrder::Ascending;
    for (std::size_t j = 1; j < rows.size(); ++j) {
        for (std::size_t i = 0; i < j; ++i) {
            const bool exchange = ascending ? rows[j][key] < rows[i][key] : rows[j][key] > rows[i][key];
            if (exchange) std::swap(rows[i], rows[j]);
        }
    }
}

}  // namespace velm
