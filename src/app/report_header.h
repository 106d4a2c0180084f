// The opening of the diagnostics report "<study>TRVLZZ.DIA": the title box
// and section I, the postprocessor options and settings the analysis run
// uses.  Section II and the later sections follow it in the same file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text_file.h"
#include "shell/control_settings.h"

namespace velm {

// The title box: an empty line, then the box in columns 21 to 45.  Its first
// rule, line 2 of the report, is the signature by which the comparison of two
// reports knows a diagnostics report; the heading of section I follows.
inline constexpr std::string_view REPORT_TITLE_FORMAT =
    "(/20X,'*-----------------------*'/20X,'* POST-PROCESSOR REPORT *'/"
    "20X,'*   FOR STUDY ID [',A2,']   *'/20X,'*-----------------------*'//"
    "5X,'I. USER-SELECTED POSTPROCESSOR OPTIONS AND SETTINGS:'//"
    "4X,'*FRICTION-SLOPE MODEL to be used for ','estimating the normal depth'/"
    "5X,'(or pressure flow)',' friction-slope, Sf, for each link:'/"
    "5X,'(Note: Selected Sf model will be used as a parameter to',' model'/"
    "5X,'existing system elements and also for sizing',' new system elements.)')";

// The hydraulic control model in force for the run: the topographic
// friction-slope models (1 and 3) build no HGL envelopes, so their trunk-line
// controls are always the user's.
HydraulicControlModel effective_hydraulic_control_model(const ControlParameters& controls);

// The title box and section I for the study and settings, one text per
// report line.  An option value outside its set writes none of its texts.
std::vector<std::string> report_header_lines(std::string_view study_id, const ControlParameters& controls);

// Writes those lines to the report, from its current end.
void write_report_header(TextWriter& report, std::string_view study_id, const ControlParameters& controls);

}  // namespace velm
