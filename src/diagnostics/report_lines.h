// The lines that the check families of the diagnostics run share: the rule
// lines and counted node lists of section II, the window line of each file a
// check examines and the window verdict after a check family.  The records of
// a layout go into the report through write_report_lines
// (records/diagnostics_report.h).
#pragma once

#include <string_view>
#include <vector>

#include "platform/text_file.h"
#include "platform/window.h"
#include "records/diagnostics_report.h"
#include "records/format.h"

namespace velm {

// Node numbers of a counted list, eight to a line.
inline constexpr std::string_view NODE_LIST_FORMAT = "(8(1X,F8.1))";

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
