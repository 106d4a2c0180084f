// The column pages of a differences file for the full report: its entries
// laid out again in pages of six values, each page after the first led by
// the record's key (two keys for links), so that the report prints within
// 150 characters.  The legend pages in front stay as they are.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "management/record_differences.h"
#include "management/subset_field_map.h"
#include "platform/text_file.h"

namespace velm {

inline constexpr int VALUES_PER_PAGE = 6;
inline constexpr int MAX_COLUMN_PAGES = 5;
inline constexpr std::size_t DIFFERENCES_REPORT_LINE_LENGTH = 150;

// The line cut or blank-padded to the report's 150 characters; a page
// break is its form feed and 149 blanks, as every line of the report is
// 150 characters long.
std::string report_line(std::string line);

// Lays the file's lines out in column pages in place and returns the
// number of entries.  `selected_columns` is the number of legend lines.
// Subarea rows that hold all 60 values on one line are paged as two
// halves of 30, as the baseline rows are, so no value is left off.
int split_differences_file(std::vector<std::string>& lines, DataBaseKind kind, int selected_columns);
// The same for a file read from the disk: its lines in column pages go to
// `write` one by one, each 150 characters; the file is read once for the
// legend and once for each page.
int write_differences_column_pages(TextReader& lines, DataBaseKind kind, int selected_columns,
                                   const std::function<void(const std::string&)>& write);

}  // namespace velm
