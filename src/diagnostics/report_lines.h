// The lines that the check families of the diagnostics run share: the rule
// lines and counted node lists of section II, the window line of each file a
// check examines and the window verdict after a check family; and the
// writing of a layout's records into the report.
#pragma once

#include <string_view>
#include <vector>

#include "platform/text_file.h"
#include "platform/window.h"
#include "records/format.h"

namespace velm {

// Every rule line of section II: a blank, an asterisk, 69 hyphens and an
// asterisk.  The report comparison finds the sections of II.A to II.C by
// these lines, so each check family writes exactly its fixed number of them.
inline constexpr std::string_view REPORT_SEPARATOR_FORMAT = "(1X,'*',69('-'),'*')";

// Node numbers of a counted list, eight to a line.
inline constexpr std::string_view NODE_LIST_FORMAT = "(8(1X,F8.1))";

// Writes the records of a layout into the report, one line each.
void write_records(TextWriter& report, std::string_view layout, const std::vector<FormatValue>& values = {});

void write_report_separator(TextWriter& report);

// A caption with the count of the nodes, then the nodes eight to a line
// when there are any.
void write_counted_node_list(TextWriter& report, std::string_view caption, const std::vector<float>& nodes);

// "   * PROCESSING FILE " and the name (12 characters, without the data
// directory): the window line of each file a check examines.
void write_processing_file(Window& window, std::string_view file_name);

// The window verdict after a check family: no fatal finding, or a pointer
// to the report.
void write_check_verdict(Window& window, int fatal_total);

}  // namespace velm
