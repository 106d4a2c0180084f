// Section II.A of the diagnostics report: the link checks of all maps, items
// A to L, each between rule lines.  The report comparison finds the section
// by its rules and reads each item by its line structure, so the section
// always holds exactly LINK_SECTION_DELIMITERS rules and every caption keeps
// its lines, whatever the checks found.
#pragma once

#include "diagnostics/link_checks.h"
#include "platform/text_file.h"

namespace velm {

// Rule lines (REPORT_SEPARATOR_FORMAT) of section II.A.
inline constexpr int LINK_SECTION_DELIMITERS = 13;

// Writes section II.A from the findings of every map.  The node-pair rows of
// items A to D are numbered from 1 across all maps; the rows of item L are
// printed by slope ascending, in the exchange order of sort_table_rows.
void report_link_checks(TextWriter& report, const LinkCheckFindings& findings);

}  // namespace velm
