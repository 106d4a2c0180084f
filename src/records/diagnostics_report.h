// The frame of the study's diagnostics report "<study>TRVLZZ.DIA": its file
// name, the title box that opens it (whose first rule, line 2 of the file, is
// the signature by which the comparison of two reports knows a diagnostics
// report), the rule line that separates the items of section II, and the
// writer of a layout's records into the report.  Each section's own texts
// stay with the step that writes it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text_file.h"
#include "records/format.h"

namespace velm {

// The study's diagnostics report, without the data directory.
inline constexpr std::string_view DIAGNOSTICS_REPORT_FILE_NAME_FORMAT = "(A2,'TRVLZZ.DIA')";
std::string diagnostics_report_file_name(std::string_view study_id);

// The title box: an empty line, then the box in columns 21 to 45, and the
// heading of section I.
inline constexpr std::string_view REPORT_TITLE_FORMAT =
    "(/20X,'*-----------------------*'/20X,'* POST-PROCESSOR REPORT *'/"
    "20X,'*   FOR STUDY ID [',A2,']   *'/20X,'*-----------------------*'//"
    "5X,'I. USER-SELECTED POSTPROCESSOR OPTIONS AND SETTINGS:'//"
    "4X,'*FRICTION-SLOPE MODEL to be used for ','estimating the normal depth'/"
    "5X,'(or pressure flow)',' friction-slope, Sf, for each link:'/"
    "5X,'(Note: Selected Sf model will be used as a parameter to',' model'/"
    "5X,'existing system elements and also for sizing',' new system elements.)')";
// Line 2 of every diagnostics report holds this rule in columns 21 to 45.
inline constexpr std::string_view REPORT_SIGNATURE = "*-----------------------*";
inline constexpr int REPORT_SIGNATURE_LINE = 2;
inline constexpr int REPORT_SIGNATURE_COLUMN = 21;

// Whether the lines are those of a diagnostics report, by the signature.
bool has_report_signature(const std::vector<std::string>& lines);

// Every rule line of section II: a blank, an asterisk, 69 hyphens and an
// asterisk.  The report comparison finds the sections of II.A to II.C by
// these lines, so each check family writes exactly its fixed number of them.
inline constexpr std::string_view REPORT_SEPARATOR_FORMAT = "(1X,'*',69('-'),'*')";

// Writes the records of a layout into the report, one line each.
void write_report_lines(TextWriter& report, std::string_view layout, const std::vector<FormatValue>& values = {});

}  // namespace velm
