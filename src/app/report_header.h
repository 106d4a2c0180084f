// The opening of the diagnostics report "<study>TRVLZZ.DIA": the title box
// and section I, the postprocessor options and settings the analysis run
// uses.  Section II and the later sections follow it in the same file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text_file.h"
#include "records/diagnostics_report.h"
#include "shell/control_settings.h"

namespace velm {

// The title box and section I for the study and settings, one text per
// report line.  An option value outside its set writes none of its texts.
std::vector<std::string> report_header_lines(std::string_view study_id, const ControlParameters& controls);

// Writes those lines to the report, from its current end.
void write_report_header(TextWriter& report, std::string_view study_id, const ControlParameters& controls);

}  // namespace velm
