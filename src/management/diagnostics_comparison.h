// The comparison of the scenario's diagnostics report "TRVLZZ.DIA" with the
// baseline's copy "TRVLZ1.DIA" (made when a scenario was adopted and its
// copy batch run): a "DIAGNOSTICS EXCEPTION REPORT" appended to the
// scenario's report at the end of a subset run in toolset mode.  It lists
// the settings that differ between the two control files, then, check item
// by check item of section II, the entries that stand in one report only,
// and last the toolset entry check.
//
// Each report is divided into numbered sections by its delimiter lines: the
// rule lines of the link, node and subarea checks (1 to 20), the headings of
// the data base versus model cross-check (21 to 29), the heading of the
// statistics (30), and the rule lines of an exception report appended
// earlier (31 to 34).  A report is compared only when it has 30 or 34 of
// them.  Sections are matched by number; within a section the heading lines
// come first, then one entry a line as the check wrote it; the first line
// that is not an entry ends the entries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/session.h"

namespace velm {

inline constexpr std::string_view BASELINE_REPORT_NAME_FORMAT = "(A2,'TRVLZ1.DIA')";
inline constexpr int COMPLETE_REPORT_DELIMITERS = 30;
inline constexpr int REPORT_WITH_EXCEPTIONS_DELIMITERS = 34;
inline constexpr std::size_t EXCEPTION_REPORT_LINE_LENGTH = 80;

// Appends the exception report to the scenario's report; true once it is
// appended.  Returns false without writing anything when either report,
// either control file or the tool-status file is missing or short, after
// naming the file and the reason on the window and waiting for Return (an
// end of the input there ends the program, refused).  A report that is not
// a diagnostics report, or not a complete one, is named on the window and,
// after Return, ends the program, refused.  `written` says what the run
// wrote before the comparison ("THE SUBSET DATA BASES WERE WRITTEN"); each
// of these messages shows it on the row above its own.
bool compare_diagnostics_files(Session& session, std::string_view study_id, std::string_view written = {});

// What would refuse the comparison whatever the files hold, checked before
// a toolset run changes anything: something other than a file at the name
// of either report, either control file or the tool-status file, and, when
// all five stand, a scenario report that cannot be replaced (read-only, in
// a directory that cannot be written).  FileError naming the file; nothing
// is read or written.  A missing file is left to the comparison, which
// tells it.
void check_diagnostics_comparison_files(Session& session, std::string_view study_id);

// The difference groups of the exception report for two complete reports'
// lines, from the link checks' heading to the network diagnostics group.
struct ReportLines {
    std::string name;  // as shown (12 characters, without the data directory)
    std::vector<std::string> lines;
};
std::vector<std::string> exception_report_difference_groups(const ReportLines& baseline, const ReportLines& scenario,
                                                            std::string_view study_id);

}  // namespace velm
