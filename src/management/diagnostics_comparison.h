// The comparison of the scenario's diagnostics report "TRVLZZ.DIA" with the
// baseline's copy "TRVLZ1.DIA": the exception report appended to the
// scenario's report at the end of a subset run in toolset mode.
#pragma once

#include <string_view>

#include "shell/session.h"

namespace velm {

void compare_diagnostics_files(Session& session, std::string_view study_id);

}  // namespace velm
